#include "forms/cWorkbench.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDockWidget>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <algorithm>
#include <climits>

#include "app/mConfig.h"
#include "controls/VSplitter.h"
#include "controls/ctlTextEdit.h"
#include "controls/ctlXmlTree.h"
#include "forms/cProblemsPanel.h"
#include "forms/frmMain.h"
#include "langedit/mLangFormat.h"
#include "langedit/mTools.h"
#include "platform/ErrLog.h"
#include "platform/MsgBox.h"
#include "platform/QtText.h"

using qtxt::FromQ;
using qtxt::ToQ;

namespace {

// Turns a key event's filtering into a plain callback.
class KeyFilter : public QObject {
 public:
  KeyFilter(QObject* parent, std::function<bool(QEvent*)> f) : QObject(parent), f_(std::move(f)) {}
  bool eventFilter(QObject*, QEvent* e) override { return f_(e); }

 private:
  std::function<bool(QEvent*)> f_;
};

int64_t NowMs() { return QDateTime::currentMSecsSinceEpoch(); }

XmlNodePtr LangById(const XmlNodePtr& langs, TextView id) {
  for (long i = 1; langs && i <= langs->ChildCount(); ++i)
    if (XmlNodePtr c = langs->Child(i); c && txt::EqualsNoCase(c->Name(), id)) return c;
  return nullptr;
}

// A configured number, or `fallback` when the key is unset, not a number or out of range.
long ConfigNumber(TextView key, long fallback, long lo, long hi) {
  Text v = mConfig::GetConfig(key);
  if (v.empty()) return fallback;
  bool ok = false;
  long n = ToQ(v).toLong(&ok);
  return ok && n >= lo && n <= hi ? n : fallback;
}

constexpr char16_t kRecentKey[] = u"Recent.File";

}  // namespace

cWorkbench::cWorkbench(frmMain& w) : w_(w), ctx_(std::make_unique<QObject>()) { BuildUi(); }

cWorkbench::~cWorkbench() {
  w_.XmlTree->Decorate = nullptr;
  w_.XmlTree->ShowElement = nullptr;
}

void cWorkbench::BuildUi() {
  FindBar = new QToolBar(QStringLiteral("Find"), &w_);
  FindBar->setObjectName(QStringLiteral("FindBar"));
  FindBar->setMovable(false);
  FindBar->setFloatable(false);
  txtFind = new QLineEdit(FindBar);
  txtFind->setObjectName(QStringLiteral("txtFind"));
  txtFind->setPlaceholderText(QStringLiteral("Find in keys and texts (Enter: next, Shift+Enter: previous)"));
  txtFind->setClearButtonEnabled(true);
  chkKeysOnly = new QCheckBox(QStringLiteral("&Keys only"), FindBar);
  chkKeysOnly->setObjectName(QStringLiteral("chkKeysOnly"));
  cboFindLang = new QComboBox(FindBar);
  cboFindLang->setObjectName(QStringLiteral("cboFindLang"));
  FindBar->addWidget(new QLabel(QStringLiteral(" Find: "), FindBar));
  FindBar->addWidget(txtFind);
  FindBar->addWidget(chkKeysOnly);
  FindBar->addWidget(cboFindLang);
  w_.addToolBar(Qt::TopToolBarArea, FindBar);
  FindBar->hide();
  RebuildLangCombo();

  QObject::connect(txtFind, &QLineEdit::textChanged, ctx_.get(), [this] { ApplyFilter(); });
  QObject::connect(chkKeysOnly, &QCheckBox::toggled, ctx_.get(), [this] { ApplyFilter(); });
  QObject::connect(cboFindLang, &QComboBox::currentIndexChanged, ctx_.get(), [this] { ApplyFilter(); });
  txtFind->installEventFilter(new KeyFilter(txtFind, [this](QEvent* e) {
    if (e->type() != QEvent::KeyPress) return false;
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
      StepMatch(!(k->modifiers() & Qt::ShiftModifier));
      return true;
    }
    if (k->key() == Qt::Key_Escape) {
      CloseFind();
      return true;
    }
    return false;
  }));
  // Escape closes the bar from anywhere in the window while it is open.
  escFind_ = new QShortcut(QKeySequence(Qt::Key_Escape), &w_);
  escFind_->setContext(Qt::WindowShortcut);
  escFind_->setEnabled(false);
  QObject::connect(escFind_, &QShortcut::activated, ctx_.get(), [this] { CloseFind(); });

  lblStatus = new QLabel(&w_);
  lblStatus->setObjectName(QStringLiteral("lblStatus"));
  // Permanent, so the notes about files changed on disk show beside it instead of over it.
  w_.statusBar()->addPermanentWidget(lblStatus);

  // The commands go first in "&Edition", before the language commands.
  QMenu* ed = w_.mnuEdit;
  QAction* first = w_.mnuNewLang;
  auto add = [&](const char* caption, std::initializer_list<QKeySequence> keys, auto handler) {
    auto* a = new QAction(QString::fromUtf8(caption), &w_);
    a->setShortcuts(QList<QKeySequence>(keys));
    a->setShortcutContext(Qt::WindowShortcut);
    ed->insertAction(first, a);
    w_.addAction(a);  // the keys work while the menu is disabled too
    QObject::connect(a, &QAction::triggered, ctx_.get(), handler);
    return a;
  };
  mnuUndo = add("&Undo", {QKeySequence(Qt::CTRL | Qt::Key_Z)}, [this] { Undo(); });
  mnuRedo = add("&Redo", {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
                [this] { Redo(); });
  ed->insertSeparator(first);
  mnuFind = add("&Find...", {QKeySequence(Qt::CTRL | Qt::Key_F)}, [this] { OpenFind(); });
  ed->insertSeparator(first);
  mnuNextString = add("&Next string", {QKeySequence(Qt::CTRL | Qt::Key_Down)}, [this] { StepString(true); });
  mnuPrevString = add("Pre&vious string", {QKeySequence(Qt::CTRL | Qt::Key_Up)}, [this] { StepString(false); });
  mnuNextEmpty = add("Store and next &empty string",
                     {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)},
                     [this] { StepEmpty(true); });
  mnuPrevEmpty = add("Store and previous e&mpty string",
                     {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Return),
                      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Enter)},
                     [this] { StepEmpty(false); });
  mnuCopyEnglish = add("&Copy English text", {QKeySequence(Qt::CTRL | Qt::Key_B)}, [this] { CopyEnglish(); });
  ed->insertSeparator(first);
  mnuUndo->setEnabled(false);
  mnuRedo->setEnabled(false);

  w_.mnuSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  w_.addAction(w_.mnuSave);

  mnuRecent = new QMenu(QStringLiteral("&Recent files"), w_.mnuFile);
  mnuRecent->setObjectName(QStringLiteral("mnuRecent"));
  w_.mnuFile->insertMenu(w_.mnuImportLang, mnuRecent);

  // The edit box keeps its own undo and line keys otherwise: ours must reach the window.
  std::vector<QKeySequence> ours;
  for (QAction* a : {mnuUndo, mnuRedo, mnuFind, mnuNextString, mnuPrevString, mnuNextEmpty, mnuPrevEmpty,
                     mnuCopyEnglish, w_.mnuSave})
    for (const QKeySequence& k : a->shortcuts()) ours.push_back(k);
  if (QWidget* inner = w_.txtValue->hWnd())
    inner->installEventFilter(new KeyFilter(inner, [ours](QEvent* e) {
      if (e->type() != QEvent::ShortcutOverride) return false;
      auto* k = static_cast<QKeyEvent*>(e);
      QKeySequence seq(k->keyCombination());
      return std::find(ours.begin(), ours.end(), seq) != ours.end();
    }));

  w_.XmlTree->Decorate = [this](const cVisualNode* item, const Text& label,
                                std::vector<std::pair<size_t, size_t>>& marks, Text& note) {
    if (!item->XmlNode) return;
    if (filtering_) marks = cStringFilter::MatchRanges(label, FromQ(txtFind->text()));
    if (item->XmlNode->ChildCount() == 0) return;
    long open = stats_.OpenBelow(item->XmlNode->Path(u"", u".", w_.ed_.TreeDoc().get()), EditedLang());
    if (open > 0) note = txt::FromInt(open);
  };
}

void cWorkbench::RebuildLangCombo() {
  QString keep = cboFindLang->currentIndex() > 0 ? cboFindLang->currentText() : QString();
  QSignalBlocker block(cboFindLang);
  cboFindLang->clear();
  cboFindLang->addItem(QStringLiteral("all languages"));
  for (const Text& id : loadedIds_) cboFindLang->addItem(ToQ(id));
  int at = keep.isEmpty() ? 0 : cboFindLang->findText(keep);
  cboFindLang->setCurrentIndex(std::max(at, 0));
}

void cWorkbench::TreeRebuilt() {
  try {
    const XmlNodePtr& langs = w_.ed_.LoadedLangs();
    std::vector<Text> ids;
    for (long i = 1; langs && i <= langs->ChildCount(); ++i) ids.push_back(langs->Child(i)->Name());
    auto has = [](const std::vector<Text>& v, const Text& id) {
      return std::any_of(v.begin(), v.end(), [&](const Text& t) { return txt::EqualsNoCase(t, id); });
    };
    for (const Text& id : loadedIds_)
      if (!has(ids, id)) history_.Forget(id);
    for (const Text& id : ids)
      if (!has(loadedIds_, id)) history_.MarkSaved(id);
    loadedIds_ = std::move(ids);
    filter_.Build(w_.ed_.TreeDoc(), langs);
    stats_.Build(w_.ed_.TreeDoc(), langs);
    RebuildLangCombo();
    ApplyFilter(false);
    UpdateStatus();
  } catch (const std::exception& e) {
    ErrLog::Exception("cWorkbench.TreeRebuilt", e.what());
  }
}

void cWorkbench::ApplyFilter(bool show) {
  Text query = FromQ(txtFind->text());
  bool want = !FindBar->isHidden() && !ToQ(query).trimmed().isEmpty();
  shown_.clear();
  matches_.clear();
  if (want) {
    cStringFilter::Options o;
    o.keysOnly = chkKeysOnly->isChecked();
    if (cboFindLang->currentIndex() > 0) o.langId = FromQ(cboFindLang->currentText());
    matches_ = filter_.Filter(query, o);
    const XmlNodePtr& doc = w_.ed_.TreeDoc();
    for (size_t i : matches_) {
      XmlNodePtr el = doc ? doc->GetChildNode(filter_.PathAt(i), false, true) : nullptr;
      for (const cXmlNode* n = el.get(); n; n = n->ParentPtr())
        if (!shown_.insert(n).second) break;
    }
  }
  bool was = filtering_;
  filtering_ = want;
  w_.XmlTree->ShowElement = want ? std::function<bool(const cXmlNode*)>([this](const cXmlNode* el) { return Shows(el); })
                                 : nullptr;
  if (show && (want || was)) w_.ShowTree();
}

void cWorkbench::OpenFind() {
  FindBar->show();
  escFind_->setEnabled(true);
  txtFind->setFocus();
  txtFind->selectAll();
  ApplyFilter();
}

void cWorkbench::CloseFind() {
  if (FindBar->isHidden()) return;
  FindBar->hide();
  escFind_->setEnabled(false);
  ApplyFilter();
  if (w_.XmlTree->SelectedItem()) {
    w_.XmlTree->EnsureVisible(w_.XmlTree->SelectedItem());
    w_.txtValue->setFocus();
  } else {
    w_.XmlTree->setFocus();
  }
}

void cWorkbench::StepMatch(bool forward) {
  if (matches_.empty()) return;
  Text cur = SelectedPath();
  size_t at = filter_.Count();
  for (size_t i = 0; i < filter_.Count(); ++i)
    if (filter_.PathAt(i) == cur) at = i;
  size_t next = filter_.Step(matches_, at == filter_.Count() ? (forward ? filter_.Count() : 0) : at, forward);
  if (at == filter_.Count()) next = forward ? matches_.front() : matches_.back();
  if (next < filter_.Count()) SelectString(filter_.PathAt(next), EditedLang());
  txtFind->setFocus();
}

Text cWorkbench::SelectedPath() const { return w_.ItemPath(w_.XmlTree->SelectedItem()); }

Text cWorkbench::EditedLang() const {
  const XmlNodePtr& langs = w_.ed_.LoadedLangs();
  int row = w_.lstValues->currentRow();
  if (row >= 0 && langs && row < langs->ChildCount()) return langs->Child(row + 1)->Name();
  if (LangById(langs, w_.lastEditedLang_)) return w_.lastEditedLang_;
  if (LangById(langs, w_.selectedLang_)) return w_.selectedLang_;
  return {};
}

void cWorkbench::UpdateStatus() {
  lblStatus->setText(ToQ(stats_.StatusText()));
  mnuUndo->setEnabled(history_.CanUndo());
  mnuRedo->setEnabled(history_.CanRedo());
}

void cWorkbench::ValueStored(TextView langId, TextView path, TextView before, TextView after, bool existed) {
  history_.RecordTyping(langId, path, before, after, existed, NowMs());
  filter_.Update(path, langId, after);
  stats_.Update(path, langId, !after.empty());
  UpdateStatus();
}

bool cWorkbench::RecordLangs(cUndoHistory::Kind kind, const std::function<bool()>& command) {
  history_.CloseGroup();
  std::map<Text, std::pair<XmlNodePtr, Text>> before;
  const XmlNodePtr& langs = w_.ed_.LoadedLangs();
  for (long i = 1; langs && i <= langs->ChildCount(); ++i) {
    XmlNodePtr l = langs->Child(i);
    before[txt::LCase(l->Name())] = {l->Clone(), l->XmlData()};
  }
  Text path = SelectedPath();
  bool changed = command();
  cUndoHistory::Step step;
  step.kind = kind;
  step.selectPath = path;
  const XmlNodePtr& now = w_.ed_.LoadedLangs();
  for (long i = 1; now && i <= now->ChildCount(); ++i) {
    XmlNodePtr l = now->Child(i);
    auto it = before.find(txt::LCase(l->Name()));
    if (it == before.end()) w_.Problems().LangChanged(kind, l->Name(), nullptr, l);
    // A language the command brought in is not undone: its file and menus came with it.
    if (it == before.end() || it->second.second == l->XmlData()) continue;
    w_.Problems().LangChanged(kind, l->Name(), it->second.first, l);
    step.langs.push_back({l->Name(), it->second.first, l->Clone()});
    if (step.selectLang.empty()) step.selectLang = l->Name();
  }
  if (!step.langs.empty()) history_.Record(std::move(step));
  // Whole languages changed: the indexes and counts start again from them.
  filter_.Build(w_.ed_.TreeDoc(), now);
  stats_.Build(w_.ed_.TreeDoc(), now);
  w_.Problems().Rebuild();
  RefreshGroups();
  UpdateStatus();
  return changed;
}

void cWorkbench::Saved() {
  history_.CloseGroup();
  const XmlNodePtr& langs = w_.ed_.LoadedLangs();
  for (long i = 1; langs && i <= langs->ChildCount(); ++i) {
    Text id = langs->Child(i)->Name();
    XmlNodePtr entry = w_.ed_.FindLangEntry(id);
    if (entry && entry->Attribut(u"dirty") != u"yes") history_.MarkSaved(id);
  }
  w_.Problems().SaveMarks();
  UpdateStatus();
}

void cWorkbench::UndoRedo(bool undo) {
  try {
    history_.CloseGroup();
    const cUndoHistory::Step* s = undo ? history_.Undo() : history_.Redo();
    if (!s) return;
    cLangEditor& ed = w_.ed_;
    std::vector<Text> changed = ApplyUndoStep(*s, undo, ed.LoadedLangs());
    for (const Text& id : changed) {
      if (!history_.IsAtSaved(id)) {
        ed.MarkDirty(id);
      } else if (XmlNodePtr entry = ed.FindLangEntry(id)) {
        entry->Attribut(u"dirty", u"");
      }
    }
    ed.UpdateDirtyFromInfos();
    Text path = s->selectPath, lang = s->selectLang;
    cVisualNode* root = w_.XmlTree->Tree();
    if (!s->langs.empty()) {
      filter_.Build(ed.TreeDoc(), ed.LoadedLangs());
      stats_.Build(ed.TreeDoc(), ed.LoadedLangs());
      if (root) w_.ClearNodeColor(root, true);
    } else {
      // Typed values: only their strings and the groups above them change.
      for (const auto& v : s->values) {
        Text now = undo ? v.before : v.after;
        filter_.Update(v.path, v.langId, now);
        stats_.Update(v.path, v.langId, !now.empty());
        XmlNodePtr el = ed.TreeDoc()->GetChildNode(v.path, false, true);
        for (cVisualNode* item = el && root ? root->FindNodeFromXML(el.get()) : nullptr; item; item = item->Parent)
          w_.ClearNodeColor(item, false);
      }
    }
    if (!lang.empty()) w_.lastEditedLang_ = lang;
    w_.Problems().UndoneOrRedone();
    RefreshGroups();
    if (!path.empty()) SelectString(path, lang);
    w_.UpdateSaveMenus();
    w_.UpdateCaption();
    UpdateStatus();
  } catch (const std::exception& e) {
    ErrLog::Exception("cWorkbench.UndoRedo", e.what());
  }
}

void cWorkbench::RefreshGroups() { w_.XmlTree->RefreshTreeView(); }

void cWorkbench::SelectString(TextView path, TextView langId) {
  const XmlNodePtr& doc = w_.ed_.TreeDoc();
  cVisualNode* root = w_.XmlTree->Tree();
  XmlNodePtr el = doc && !path.empty() ? doc->GetChildNode(path, false, true) : nullptr;
  cVisualNode* item = el && root ? root->FindNodeFromXML(el.get()) : nullptr;
  if (!item) return;
  for (cVisualNode* up = item->Parent; up; up = up->Parent)
    if (!up->Expanded()) up->Expanded(true);
  w_.XmlTree->RefreshTreeView();
  if (!langId.empty()) w_.selectedLang_ = Text(langId);
  w_.keepRow_ = true;
  w_.XmlTree->SelectNode(item);
  w_.keepRow_ = false;
  const XmlNodePtr& langs = w_.ed_.LoadedLangs();
  for (long i = 1; langs && i <= langs->ChildCount(); ++i)
    if (txt::EqualsNoCase(langs->Child(i)->Name(), langId)) w_.lstValues->setCurrentRow(static_cast<int>(i - 1));
  w_.lstValues_Click();
}

std::vector<Text> cWorkbench::ShownPaths() const {
  std::vector<Text> out;
  if (filtering_) {
    for (size_t i : matches_) out.push_back(filter_.PathAt(i));
  } else {
    for (size_t i = 0; i < filter_.Count(); ++i) out.push_back(filter_.PathAt(i));
  }
  return out;
}

void cWorkbench::StepString(bool forward) {
  history_.CloseGroup();
  std::vector<Text> paths = ShownPaths();
  if (paths.empty()) return;
  Text cur = SelectedPath();
  auto it = std::find(paths.begin(), paths.end(), cur);
  size_t n = paths.size(), at;
  if (it == paths.end())
    at = forward ? 0 : n - 1;
  else
    at = (static_cast<size_t>(it - paths.begin()) + (forward ? 1 : n - 1)) % n;
  SelectString(paths[at], EditedLang());
  w_.txtValue->setFocus();
}

void cWorkbench::StepEmpty(bool forward) {
  history_.CloseGroup();
  // Moving on from a string with Ctrl+Enter says its translation was looked at.
  w_.Problems().ConfirmSelected();
  Text lang = EditedLang();
  XmlNodePtr l = LangById(w_.ed_.LoadedLangs(), lang);
  std::vector<Text> paths = ShownPaths();
  if (!l || paths.empty()) return;
  size_t n = paths.size();
  auto it = std::find(paths.begin(), paths.end(), SelectedPath());
  size_t start = it == paths.end() ? (forward ? n - 1 : 0) : static_cast<size_t>(it - paths.begin());
  for (size_t k = 1; k <= n; ++k) {
    size_t i = forward ? (start + k) % n : (start + n - k % n) % n;
    XmlNodePtr el = l->GetChildNode(paths[i], false, true);
    if (el && el->ChildCount() == 0 && !el->Value().empty()) continue;
    if (i == start && it != paths.end() && k < n) continue;
    SelectString(paths[i], lang);
    w_.txtValue->setFocus();
    return;
  }
  platform::MsgBox(u"No more empty string in language " + l->Name(), platform::vbOKOnly);
}

void cWorkbench::CopyEnglish() {
  const XmlNodePtr& langs = w_.ed_.LoadedLangs();
  Text lang = EditedLang(), path = SelectedPath();
  XmlNodePtr ref;
  for (long i = 1; langs && i <= langs->ChildCount(); ++i)
    if (mLangFormat::IsReferenceLangID(langs->Child(i)->Name())) {
      ref = langs->Child(i);
      break;
    }
  if (!ref || path.empty() || txt::EqualsNoCase(ref->Name(), lang) || !w_.txtValue->isEnabled()) return;
  XmlNodePtr src = ref->GetChildNode(path, false, true);
  history_.CloseGroup();
  w_.txtValue->SetText(w_.ed_.DecodeText(src ? src->Value() : Text()));
  history_.CloseGroup();
}

// --- layout and recent files -------------------------------------------------------------

void cWorkbench::RestoreLayout() {
  long width = ConfigNumber(u"Window.Width", -1, 300, 20000);
  long height = ConfigNumber(u"Window.Height", -1, 200, 20000);
  if (width > 0 && height > 0) w_.resize(static_cast<int>(width), static_cast<int>(height));
  long left = ConfigNumber(u"Window.Left", LONG_MIN, -10000, 20000);
  long top = ConfigNumber(u"Window.Top", LONG_MIN, -10000, 20000);
  // A place on a screen that is no longer there would leave the window out of reach.
  QPoint at(static_cast<int>(left), static_cast<int>(top));
  if (left != LONG_MIN && top != LONG_MIN && QGuiApplication::screenAt(at + QPoint(40, 20))) w_.move(at);
  long split = ConfigNumber(u"Window.Split", -1, 0, 1000000);
  if (split >= 0) w_.VSplit->SplitLeft(split);
  if (mConfig::GetConfig(u"Window.Problems") == u"1" && w_.Problems().Dock->isHidden()) w_.Problems().Toggle();
  RebuildRecentMenu();
}

void cWorkbench::SaveLayout() {
  mConfig::SetConfig(u"Window.Left", txt::FromInt(w_.x()));
  mConfig::SetConfig(u"Window.Top", txt::FromInt(w_.y()));
  mConfig::SetConfig(u"Window.Width", txt::FromInt(w_.width()));
  mConfig::SetConfig(u"Window.Height", txt::FromInt(w_.height()));
  mConfig::SetConfig(u"Window.Split", txt::FromInt(w_.VSplit->SplitLeft()));
  mConfig::SetConfig(u"Window.Problems", w_.Problems().Dock->isHidden() ? u"0" : u"1");
  Text tool, langs;
  if (!w_.ed_.IsDocument()) {
    for (size_t i = 1; i < w_.mnuSelectToolChoice.size(); ++i)
      if (w_.mnuSelectToolChoice[i]->isChecked()) tool = FromQ(w_.mnuSelectToolChoice[i]->text());
    for (const Text& id : loadedIds_) langs += (langs.empty() ? u"" : u",") + id;
  }
  mConfig::SetConfig(u"Work.Tool", tool);
  mConfig::SetConfig(u"Work.Langs", tool.empty() ? Text() : langs);
  mConfig::SaveConfig();
}

bool cWorkbench::RestoreWork() {
  Text tool = mConfig::GetConfig(u"Work.Tool");
  if (tool.empty()) return false;
  int index = 0;
  for (size_t i = 1; i < w_.mnuSelectToolChoice.size(); ++i)
    if (FromQ(w_.mnuSelectToolChoice[i]->text()) == tool && w_.mnuSelectToolChoice[i]->isEnabled())
      index = static_cast<int>(i);
  if (index == 0) return false;
  w_.mnuSelectToolChoice_Click(index);
  QStringList ids = ToQ(mConfig::GetConfig(u"Work.Langs")).split(QLatin1Char(','), Qt::SkipEmptyParts);
  for (const QString& id : ids) {
    Text want = FromQ(id.trimmed());
    if (LangById(w_.ed_.LoadedLangs(), want)) continue;
    const XmlNodePtr& list = w_.ed_.LangList();
    for (long i = 1; list && i <= list->ChildCount(); ++i)
      if (txt::EqualsNoCase(list->Child(i)->Attribut(u"id"), want)) {
        w_.mnuLoadLanguageChoice_Click(static_cast<int>(i));
        break;
      }
  }
  return true;
}

std::vector<Text> cWorkbench::RecentFiles() const {
  std::vector<Text> out;
  for (size_t i = 1; i <= kMaxRecent; ++i) {
    Text f = mConfig::GetConfig(kRecentKey + txt::FromInt(static_cast<long>(i)));
    if (!f.empty()) out.push_back(f);
  }
  return out;
}

void cWorkbench::AddRecent(TextView path) {
  std::vector<Text> files = RecentFiles();
  files.erase(std::remove(files.begin(), files.end(), Text(path)), files.end());
  files.insert(files.begin(), Text(path));
  if (files.size() > kMaxRecent) files.resize(kMaxRecent);
  for (size_t i = 0; i < kMaxRecent; ++i)
    mConfig::SetConfig(kRecentKey + txt::FromInt(static_cast<long>(i + 1)), i < files.size() ? files[i] : Text());
  // Written with the layout at closing: opening a file asks nothing of the disk beyond it.
  RebuildRecentMenu();
}

void cWorkbench::RebuildRecentMenu() {
  mnuRecent->clear();
  std::vector<Text> files = RecentFiles();
  if (files.empty()) mnuRecent->addAction(QStringLiteral("(none)"))->setEnabled(false);
  for (const Text& f : files) {
    QAction* a = mnuRecent->addAction(ToQ(f));
    QObject::connect(a, &QAction::triggered, ctx_.get(), [this, f] { w_.OpenLangFile(f); });
  }
}
