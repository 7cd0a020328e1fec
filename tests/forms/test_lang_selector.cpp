// The language picker answered by the test as a translator would.
#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "forms/frmLangSelector.h"
#include "platform/QtText.h"

TEST(LangSelector, AnswersTheRememberedIndexOfTheChosenRowOnlyOnOK) {
  const std::vector<std::pair<Text, long>> rows = {{u"English (en)", 1}, {u"de", 3}};
  struct Case {
    int row;     // row to select, -1 for none
    int button;  // 0 OK, 1 Cancel, 2 close the window
    bool empty;  // an empty list
    long expected;
  } cases[] = {
      {1, 0, false, 3},  // the row's index, not its position
      {0, 0, false, 1},  {1, 1, false, 0}, {1, 2, false, 0},
      {-1, 0, false, 0},  // OK without a selection
      {0, 0, true, 0},
  };
  for (const Case& c : cases) {
    QString label;
    auto prev = frmLangSelector::SetShowHandler([&](frmLangSelector& d) {
      label = d.lblLanguages->text();
      if (c.row < 0) d.lstLanguages->clearSelection();
      else d.lstLanguages->setCurrentRow(c.row);
      if (c.button == 0) d.cmdOK->click();
      else if (c.button == 1) d.cmdCancel->click();
      else d.close();
    });
    long r = frmLangSelector::Choose(nullptr, u"Copy strings from", c.empty ? decltype(rows){} : rows);
    frmLangSelector::SetShowHandler(prev);
    EXPECT_EQ(r, c.expected) << c.row << "/" << c.button << "/" << c.empty;
    EXPECT_EQ(label, QStringLiteral("Available languages :"));
  }
}
