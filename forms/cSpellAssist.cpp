#include "forms/cSpellAssist.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QShortcut>
#include <QStatusBar>

#include "app/mConfig.h"
#include "controls/ctlTextEdit.h"
#include "forms/frmMain.h"
#include "platform/ErrLog.h"
#include "platform/QtText.h"
#include "storage/mFileUtils.h"

using qtxt::ToQ;

namespace {

constexpr int kNoteMs = 30000;

Text PersonalFolder() { return mFileUtils::FilePathOnly(mConfig::ConfigPath()); }

}  // namespace

cSpellAssist::cSpellAssist(frmMain& w) : w_(w), spell_(cSpellCheck::DefaultFolders(), PersonalFolder()) {
  conns_.push_back(w_.txtValue->Change.Subscribe([this] { Recheck(); }));
  conns_.push_back(w_.txtValue->ContextMenu.Subscribe([this](QMenu* menu, long pos) { AddMenuItems(menu, pos); }));
  fix_ = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Period), w_.txtValue);
  fix_->setContext(Qt::WidgetWithChildrenShortcut);
  QObject::connect(fix_, &QShortcut::activated, w_.txtValue, [this] { ErrLog::Trap("cSpellAssist.Fix", [&] { FixWordAtCaret(); }); });
}

cSpellAssist::~cSpellAssist() = default;

Text cSpellAssist::EditedLang() const {
  int row = w_.lstValues->currentRow();
  if (row < 0 || !w_.txtValue->Enabled() || !w_.lstValues->isEnabled()) return Text();
  XmlNodePtr lang = w_.Editor().LoadedLangs()->Child(row + 1);
  return lang ? lang->Name() : Text();
}

void cSpellAssist::Recheck() {
  misspelt_.clear();
  Text lang = EditedLang();
  if (!lang.empty() && !spell_.HasDictionary(lang)) {
    if (noted_.insert(cSpellCheck::NormalizeId(lang)).second)
      w_.statusBar()->showMessage(ToQ(cSpellCheck::MissingDictionaryNote(lang)), kNoteMs);
  } else if (!lang.empty()) {
    misspelt_ = spell_.Misspelt(lang, w_.txtValue->GetText());
  }
  std::vector<std::pair<long, long>> marks;
  for (auto [start, len] : misspelt_) marks.emplace_back(static_cast<long>(start), static_cast<long>(len));
  w_.txtValue->SetUnderlines(std::move(marks));
}

void cSpellAssist::Replace(cSpellCheck::Range r, const Text& word, const Text& with) {
  Text text = w_.txtValue->GetText();
  if (r.first + r.second > text.size() || text.compare(r.first, r.second, word) != 0) return;
  // Through the box, as typing: the window stores the value, marks it dirty and records the undo step.
  w_.txtValue->ReplaceRange(static_cast<long>(r.first), static_cast<long>(r.second), cSpellCheck::Replacement(word, with));
}

bool cSpellAssist::FixWordAtCaret() {
  Recheck();
  size_t caret = static_cast<size_t>(std::max(0L, w_.txtValue->SelStart()));
  const cSpellCheck::Range* pick = nullptr;
  for (const auto& r : misspelt_)
    if (r.first <= caret) pick = &r;
  if (!pick) return false;
  Text word = w_.txtValue->GetText().substr(pick->first, pick->second);
  std::vector<Text> sugg = spell_.Suggest(EditedLang(), word);
  if (sugg.empty()) {
    w_.statusBar()->showMessage(ToQ(u"no suggestion for \u201C" + word + u"\u201D"), kNoteMs);
    return false;
  }
  Replace(*pick, word, sugg.front());
  return true;
}

void cSpellAssist::AddMenuItems(QMenu* menu, long pos) {
  Recheck();
  Text lang = EditedLang();
  auto hit = std::find_if(misspelt_.begin(), misspelt_.end(), [pos](const cSpellCheck::Range& r) {
    return pos >= 0 && static_cast<size_t>(pos) >= r.first && static_cast<size_t>(pos) <= r.first + r.second;
  });
  if (hit == misspelt_.end() || lang.empty()) return;
  cSpellCheck::Range r = *hit;
  Text word = w_.txtValue->GetText().substr(r.first, r.second);
  QAction* before = menu->actions().value(0);
  auto add = [&](const QString& caption) {
    auto* a = new QAction(caption, menu);
    menu->insertAction(before, a);
    return a;
  };
  std::vector<Text> sugg = spell_.Suggest(lang, word);
  for (const Text& s : sugg)
    QObject::connect(add(ToQ(s).replace(QLatin1Char('&'), QStringLiteral("&&"))), &QAction::triggered, menu,
                     [this, r, word, s] { ErrLog::Trap("cSpellAssist.Replace", [&] { Replace(r, word, s); }); });
  if (sugg.empty()) add(QStringLiteral("(no suggestions)"))->setEnabled(false);
  menu->insertSeparator(before);
  QObject::connect(add(QStringLiteral("Add to dictionary")), &QAction::triggered, menu, [this, lang, word] {
    ErrLog::Trap("cSpellAssist.Add", [&] {
      spell_.PersonalFolder(PersonalFolder());
      if (!spell_.AddToDictionary(lang, word))
        w_.statusBar()->showMessage(ToQ(u"\u201C" + word + u"\u201D is known until the program ends: " +
                                        spell_.PersonalFile(lang) + u" could not be written"),
                                    kNoteMs);
      Recheck();
    });
  });
  QObject::connect(add(QStringLiteral("Ignore")), &QAction::triggered, menu, [this, word] {
    ErrLog::Trap("cSpellAssist.Ignore", [&] {
      spell_.Ignore(word);
      Recheck();
    });
  });
  if (before) menu->insertSeparator(before);
}
