// The language picker answered by the test as a translator would.
#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "langedit/frmLangSelector.h"
#include "platform/QtText.h"

namespace {
struct PickerScript {
  int row = -1;       // row to select, -1 for none
  int button = 0;     // 0 OK, 1 Cancel, 2 close the window
  QString caption, label;
  std::vector<QString> rows;
};

long Pick(PickerScript& s, const std::vector<std::pair<Text, long>>& rows) {
  auto prev = frmLangSelector::SetShowHandler([&s](frmLangSelector& d) {
    s.caption = d.windowTitle();
    s.label = d.lblLanguages->text();
    for (int i = 0; i < d.lstLanguages->count(); ++i) s.rows.push_back(d.lstLanguages->item(i)->text());
    if (s.row < 0) d.lstLanguages->clearSelection();
    else d.lstLanguages->setCurrentRow(s.row);
    if (s.button == 0) d.cmdOK->click();
    else if (s.button == 1) d.cmdCancel->click();
    else d.close();
  });
  long r = frmLangSelector::Choose(nullptr, u"Copy strings from", rows);
  frmLangSelector::SetShowHandler(prev);
  return r;
}
}  // namespace

TEST(LangSelector, AnswersTheRememberedIndexOfTheChosenRowOnlyOnOK) {
  const std::vector<std::pair<Text, long>> rows = {{u"English (en)", 1}, {u"de", 3}};
  struct Case {
    int row, button;
    long expected;
  } cases[] = {
      {1, 0, 3},   // the row's index, not its position
      {0, 0, 1},
      {1, 1, 0},   // Cancel
      {1, 2, 0},   // closing the window
      {-1, 0, 0},  // OK without a selection
  };
  for (const Case& c : cases) {
    PickerScript s;
    s.row = c.row;
    s.button = c.button;
    EXPECT_EQ(Pick(s, rows), c.expected) << c.row << "/" << c.button;
    EXPECT_EQ(s.caption, QStringLiteral("Copy strings from"));
    EXPECT_EQ(s.label, QStringLiteral("Available languages :"));
    EXPECT_EQ(s.rows, (std::vector<QString>{QStringLiteral("English (en)"), QStringLiteral("de")}));
  }
}

TEST(LangSelector, EmptyListAnswersNothing) {
  PickerScript s;
  s.row = 0;
  EXPECT_EQ(Pick(s, {}), 0);
  EXPECT_TRUE(s.rows.empty());
}
