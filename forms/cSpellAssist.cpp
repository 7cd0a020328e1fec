#include "forms/cSpellAssist.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>

#include "app/mConfig.h"
#include "controls/ctlTextEdit.h"
#include "forms/cProblemsPanel.h"
#include "forms/frmMain.h"
#include "langedit/mLangFormat.h"
#include "platform/ErrLog.h"
#include "platform/QtText.h"
#include "storage/mFileUtils.h"

using qtxt::ToQ;

namespace {

constexpr int kNoteMs = 30000;
// Strings checked per slice of a whole-language check: a few milliseconds, so typing and
// painting go on while a language of thousands of strings is checked.
constexpr size_t kStringsPerSlice = 200;
constexpr char16_t kSource[] = u"spelling";

Text PersonalFolder() { return mFileUtils::FilePathOnly(mConfig::ConfigPath()); }

XmlNodePtr LoadedLang(const XmlNodePtr& loaded, TextView langId) {
  for (long i = 1; loaded && i <= loaded->ChildCount(); ++i)
    if (txt::EqualsNoCase(loaded->Child(i)->Name(), langId)) return loaded->Child(i);
  return nullptr;
}

// The English a translation is checked beside: names it keeps from there are not misspelt.
XmlNodePtr English(const XmlNodePtr& loaded) {
  for (long i = 1; loaded && i <= loaded->ChildCount(); ++i)
    if (mLangFormat::IsReferenceLangID(loaded->Child(i)->Name())) return loaded->Child(i);
  return nullptr;
}

}  // namespace

cSpellAssist::cSpellAssist(frmMain& w) : w_(w), spell_(cSpellCheck::DefaultFolders(), PersonalFolder()) {
  conns_.push_back(w_.txtValue->Change.Subscribe([this] { Recheck(); }));
  conns_.push_back(w_.txtValue->ContextMenu.Subscribe([this](QMenu* menu, long pos) { AddMenuItems(menu, pos); }));
  fix_ = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Period), w_.txtValue);
  fix_->setContext(Qt::WidgetWithChildrenShortcut);
  QObject::connect(fix_, &QShortcut::activated, w_.txtValue, [this] { ErrLog::Trap("cSpellAssist.Fix", [&] { FixWordAtCaret(); }); });

  mnuCheckSpelling = new QAction(QStringLiteral("Check &spelling"), &w_);
  w_.mnuEdit->addSeparator();
  w_.mnuEdit->addAction(mnuCheckSpelling);
  QObject::connect(mnuCheckSpelling, &QAction::triggered, &w_, [this] { ErrLog::Trap("cSpellAssist.Check", [&] { CheckLanguages(); }); });
  stepper_ = std::make_unique<QTimer>();
  stepper_->setInterval(0);
  QObject::connect(stepper_.get(), &QTimer::timeout, [this] { ErrLog::Trap("cSpellAssist.Step", [&] { StepRuns(); }); });
  cProblemsPanel& panel = w_.Problems();
  conns_.push_back(panel.Rechecked.Subscribe([this] { RecheckListed(); }));
  conns_.push_back(panel.StringChecked.Subscribe([this](const Text& id, const Text& path) { StringChecked(id, path); }));
}

cSpellAssist::~cSpellAssist() = default;

Text cSpellAssist::EditedLang() const {
  int row = w_.lstValues->currentRow();
  if (row < 0 || !w_.txtValue->Enabled() || !w_.lstValues->isEnabled()) return Text();
  XmlNodePtr lang = w_.Editor().LoadedLangs()->Child(row + 1);
  return lang ? lang->Name() : Text();
}

bool cSpellAssist::NoteMissing(const Text& langId) {
  if (spell_.HasDictionary(langId)) return false;
  if (noted_.insert(cSpellCheck::NormalizeId(langId)).second)
    w_.statusBar()->showMessage(ToQ(cSpellCheck::MissingDictionaryNote(langId)), kNoteMs);
  return true;
}

void cSpellAssist::Recheck() {
  misspelt_.clear();
  Text lang = EditedLang();
  if (!lang.empty() && !NoteMissing(lang)) {
    misspelt_ = spell_.Misspelt(lang, w_.txtValue->GetText(), qtxt::FromQ(w_.lblSource->text()));
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
      RecheckListed();
    });
  });
  QObject::connect(add(QStringLiteral("Ignore")), &QAction::triggered, menu, [this, word] {
    ErrLog::Trap("cSpellAssist.Ignore", [&] {
      spell_.Ignore(word);
      Recheck();
      RecheckListed();
    });
  });
  if (before) menu->insertSeparator(before);
}

bool cSpellAssist::QueueLanguage(const Text& langId) {
  if (NoteMissing(langId)) return false;
  XmlNodePtr lang = LoadedLang(w_.Editor().LoadedLangs(), langId);
  if (!lang) return false;
  // A newer check of the same language replaces one under way.
  std::erase_if(runs_, [&](const std::unique_ptr<cSpellRun>& r) { return r->LangId() == lang->Name(); });
  runs_.push_back(std::make_unique<cSpellRun>(spell_, lang, English(w_.Editor().LoadedLangs())));
  listed_.insert(cSpellCheck::NormalizeId(langId));
  stepper_->start();
  return true;
}

void cSpellAssist::CheckLanguages() {
  std::vector<Text> langs;
  if (Text edited = EditedLang(); !edited.empty()) {
    langs.push_back(edited);
  } else if (const XmlNodePtr& loaded = w_.Editor().LoadedLangs()) {
    for (long i = 1; i <= loaded->ChildCount(); ++i) langs.push_back(loaded->Child(i)->Name());
  }
  showLangs_.clear();
  for (const Text& id : langs)
    if (QueueLanguage(id)) showLangs_.push_back(id);
  show_ = !showLangs_.empty();
  if (show_) w_.statusBar()->showMessage(QStringLiteral("Checking spelling..."), kNoteMs);
}

void cSpellAssist::StepRuns() {
  if (runs_.empty()) {
    stepper_->stop();
    return;
  }
  cSpellRun& run = *runs_.front();
  if (!run.Step(kStringsPerSlice)) return;
  std::unique_ptr<cSpellRun> done = std::move(runs_.front());
  runs_.erase(runs_.begin());
  // The language may have been unloaded meanwhile: the panel keeps nothing for it then.
  if (w_.Editor().IsLangLoaded(done->LangId())) w_.Problems().SetExtraFindings(done->LangId(), kSource, done->Findings());
  if (!runs_.empty()) return;
  stepper_->stop();
  if (!show_) return;
  show_ = false;
  w_.Problems().ShowFor(showLangs_);
  w_.statusBar()->showMessage(QStringLiteral("Spelling checked"), kNoteMs);
}

void cSpellAssist::RecheckListed() {
  std::set<Text> listed = std::exchange(listed_, {});
  const XmlNodePtr& loaded = w_.Editor().LoadedLangs();
  for (long i = 1; loaded && i <= loaded->ChildCount(); ++i)
    if (Text id = loaded->Child(i)->Name(); listed.count(cSpellCheck::NormalizeId(id))) QueueLanguage(id);
}

void cSpellAssist::StringChecked(const Text& langId, const Text& path) {
  if (!listed_.count(cSpellCheck::NormalizeId(langId)) || !spell_.HasDictionary(langId)) return;
  XmlNodePtr lang = LoadedLang(w_.Editor().LoadedLangs(), langId);
  XmlNodePtr el = lang ? lang->GetChildNode(path, false, true) : nullptr;
  XmlNodePtr english = English(w_.Editor().LoadedLangs());
  XmlNodePtr src = english && english != lang ? english->GetChildNode(path, false, true) : nullptr;
  w_.Problems().SetExtraString(langId, kSource, path,
                               el ? spell_.CheckString(langId, el->Value(), src ? TextView(src->Value()) : TextView())
                                  : std::vector<CheckFinding>{});
}
