// The conflict dialog answered as a translator would: per row, for all, OK or Cancel.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "forms/frmMergeConflicts.h"
#include "platform/QtText.h"

TEST(MergeConflicts, RowsShowTheThreeTextsAndOnlyOKWritesTheAnswers) {
  using K = cLangMerge::Kind;
  const std::vector<cLangMerge::Conflict> shown = {
      {K::String, u"Config.Labels.Title", u"Menu", u"Le menu", u"Menu ici\\nsuite", false},
      {K::String, u"Menu.File.Quit", u"Quitter", u"", u"Sortir", false},
      {K::Attribute, u"version", u"1", u"2", u"3", false},
  };
  struct Case {
    const char* what;
    std::function<void(frmMergeConflicts&)> click;
    bool ok;
    std::vector<bool> theirs;
  } cases[] = {
      {"row by row", [](frmMergeConflicts& d) { d.SetTakeTheirs(1, true); d.cmdOK->click(); }, true, {false, true, false}},
      {"all theirs, then one mine", [](frmMergeConflicts& d) {
         d.cmdTakeAllTheirs->click();
         d.SetTakeTheirs(0, false);
         d.cmdOK->click();
       }, true, {false, true, true}},
      {"all theirs, all mine", [](frmMergeConflicts& d) {
         d.cmdTakeAllTheirs->click();
         d.cmdKeepAllMine->click();
         d.cmdOK->click();
       }, true, {false, false, false}},
      {"cancel", [](frmMergeConflicts& d) { d.cmdTakeAllTheirs->click(); d.cmdCancel->click(); }, false, {false, false, false}},
      {"closed", [](frmMergeConflicts& d) { d.cmdTakeAllTheirs->click(); d.close(); }, false, {false, false, false}},
  };
  for (const Case& c : cases) {
    std::vector<cLangMerge::Conflict> conflicts = shown;
    QStringList cells;
    QString info;
    auto prev = frmMergeConflicts::SetShowHandler([&](frmMergeConflicts& d) {
      info = d.lblInfo->text();
      for (int r = 0; r < d.tblConflicts->rowCount(); ++r)
        for (int col = 0; col < 4; ++col) cells << d.tblConflicts->item(r, col)->text();
      c.click(d);
    });
    bool ok = frmMergeConflicts::Resolve(nullptr, u"/x/KestrovaMenu_fr.xml", u"fr", conflicts);
    frmMergeConflicts::SetShowHandler(prev);
    EXPECT_EQ(ok, c.ok) << c.what;
    std::vector<bool> got;
    for (const auto& k : conflicts) got.push_back(k.takeTheirs);
    EXPECT_EQ(got, c.theirs) << c.what;
    EXPECT_TRUE(info.contains(QStringLiteral("/x/KestrovaMenu_fr.xml")) && info.contains(QStringLiteral("fr")));
    EXPECT_EQ(cells, (QStringList{"Config.Labels.Title", "Menu", "Le menu", QString::fromUtf8("Menu ici \u21B5 suite"),
                                  "Menu.File.Quit", "Quitter", "(none)", "Sortir",
                                  "(attribute) version", "1", "2", "3"}));
  }
}
