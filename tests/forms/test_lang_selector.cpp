// The language picker answered by the test as a translator would.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>

#include "forms/frmLangSelector.h"
#include "platform/QtText.h"

TEST(LangSelector, AnswersTheRememberedIndexOfTheChosenRowOnlyOnOK) {
  const std::vector<std::pair<Text, long>> rows = {{u"English (en)", 1}, {u"de", 3}};
  // row: -1 for none; button: 0 OK, 1 Cancel, 2 close the window
  struct Case { int row, button; bool empty; long expected; } cases[] = {
      {1, 0, false, 3},  // the row's index, not its position
      {1, 1, false, 0}, {1, 2, false, 0}, {-1, 0, false, 0}, {0, 0, true, 0},
  };
  for (const Case& c : cases) {
    auto prev = frmLangSelector::SetShowHandler([&](frmLangSelector& d) {
      if (c.row < 0) d.lstLanguages->clearSelection();
      else d.lstLanguages->setCurrentRow(c.row);
      if (c.button == 0) d.cmdOK->click();
      else if (c.button == 1) d.cmdCancel->click();
      else d.close();
    });
    long r = frmLangSelector::Choose(nullptr, u"Copy strings from", c.empty ? decltype(rows){} : rows);
    frmLangSelector::SetShowHandler(prev);
    EXPECT_EQ(r, c.expected) << c.row << "/" << c.button << "/" << c.empty;
  }
}
