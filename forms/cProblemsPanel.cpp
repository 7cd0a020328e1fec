#include "forms/cProblemsPanel.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/mConfig.h"
#include "controls/ColorRef.h"
#include "controls/ctlTextEdit.h"
#include "controls/ctlXmlTree.h"
#include "forms/cWorkbench.h"
#include "forms/frmMain.h"
#include "forms/frmSubmit.h"
#include "forms/frmSubmitCheck.h"
#include "langedit/mLangFormat.h"
#include "langedit/mStrings.h"
#include "langedit/mTools.h"
#include "platform/ErrLog.h"
#include "platform/QtText.h"
#include "storage/mTextFile.h"

using qtxt::FromQ;
using qtxt::ToQ;

namespace {

constexpr char16_t kChecks[] = u"checks";
constexpr char16_t kReview[] = u"review";

// Colours as 0x00BBGGRR.
constexpr long kErrorMark = 0x001E1EDC;
constexpr long kWarningMark = 0x0000A0F0;

long MarkColor(CheckSeverity s) { return s == CheckSeverity::Error ? kErrorMark : kWarningMark; }

XmlNodePtr ReadLangElement(TextView file, TextView id) {
  int mode = 0;
  Text text = mTextFile::LoadTextFile(file, false, true, mode);
  if (text.empty()) return nullptr;
  XmlNodePtr doc = cXmlNode::New();
  doc->XmlData___NonRecursif(std::move(text));
  XmlNodePtr languages = doc->Name() == u"Languages" ? doc : doc->FindNode(u"Languages", true, false);
  for (long i = 1; languages && i <= languages->ChildCount(); ++i)
    if (XmlNodePtr c = languages->Child(i); c && txt::EqualsNoCase(c->Name(), id)) return c;
  return nullptr;
}

Text MarksFile() {
  Text cfg = mConfig::ConfigPath();
  size_t dot = cfg.rfind(u'.');
  size_t sep = cfg.find_last_of(u"/\\");
  if (dot != Text::npos && (sep == Text::npos || dot > sep)) cfg.resize(dot);
  return cfg + u".review.xml";
}

}  // namespace

cProblemsPanel::cProblemsPanel(frmMain& w) : w_(w), ctx_(std::make_unique<QObject>()) { BuildUi(); }

cProblemsPanel::~cProblemsPanel() {
  w_.XmlTree->ItemMark = nullptr;
  w_.XList.RowMark = nullptr;
  SaveMarks();
}

void cProblemsPanel::BuildUi() {
  Dock = new QDockWidget(QStringLiteral("Problems"), &w_);
  Dock->setObjectName(QStringLiteral("dockProblems"));
  Dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
  auto* body = new QWidget(Dock);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(4, 2, 4, 4);
  auto* bar = new QHBoxLayout();
  cboLang = new QComboBox(body);
  cboLang->setObjectName(QStringLiteral("cboProblemLang"));
  cboSeverity = new QComboBox(body);
  cboSeverity->setObjectName(QStringLiteral("cboProblemSeverity"));
  cboSeverity->addItems({QStringLiteral("errors and warnings"), QStringLiteral("errors"), QStringLiteral("warnings")});
  bar->addWidget(new QLabel(QStringLiteral("Language:"), body));
  bar->addWidget(cboLang);
  bar->addWidget(new QLabel(QStringLiteral("Show:"), body));
  bar->addWidget(cboSeverity);
  bar->addStretch(1);
  layout->addLayout(bar);
  lstProblems = new QTreeWidget(body);
  lstProblems->setObjectName(QStringLiteral("lstProblems"));
  lstProblems->setRootIsDecorated(false);
  lstProblems->setUniformRowHeights(true);
  lstProblems->setHeaderLabels({QStringLiteral("Language"), QStringLiteral("Key"), QStringLiteral("Check"),
                                QStringLiteral("Message")});
  lstProblems->header()->setStretchLastSection(true);
  lstProblems->setColumnWidth(0, 70);
  lstProblems->setColumnWidth(1, 220);
  lstProblems->setColumnWidth(2, 110);
  layout->addWidget(lstProblems, 1);
  Dock->setWidget(body);
  w_.addDockWidget(Qt::BottomDockWidgetArea, Dock);
  Dock->hide();

  lblCounts = new QLabel(&w_);
  lblCounts->setObjectName(QStringLiteral("lblProblemCounts"));
  w_.statusBar()->addPermanentWidget(lblCounts);

  mnuProblems = new QAction(QStringLiteral("&Problems\tF8"), &w_);
  mnuProblems->setCheckable(true);
  w_.mnuTools->insertAction(w_.mnuUpdateCheck, mnuProblems);
  w_.mnuTools->insertSeparator(w_.mnuUpdateCheck);
  f8_ = new QShortcut(QKeySequence(Qt::Key_F8), &w_);
  f8_->setContext(Qt::WindowShortcut);

  refill_ = new QTimer(ctx_.get());
  refill_->setSingleShot(true);
  refill_->setInterval(0);

  QObject::connect(mnuProblems, &QAction::triggered, ctx_.get(), [this] { Toggle(); });
  QObject::connect(f8_, &QShortcut::activated, ctx_.get(), [this] { Next(); });
  QObject::connect(Dock, &QDockWidget::visibilityChanged, ctx_.get(), [this](bool) {
    mnuProblems->setChecked(!Dock->isHidden());
    if (!Dock->isHidden()) Refill();
  });
  QObject::connect(refill_, &QTimer::timeout, ctx_.get(), [this] { Refill(); });
  QObject::connect(cboLang, &QComboBox::currentIndexChanged, ctx_.get(), [this] {
    if (cboLang->currentIndex() > 0 || filterLangs_.size() != 1) filterLangs_.clear();
    shownVersion_ = ~0ull;
    Refill();
  });
  QObject::connect(cboSeverity, &QComboBox::currentIndexChanged, ctx_.get(), [this] {
    shownVersion_ = ~0ull;
    Refill();
  });
  QObject::connect(lstProblems, &QTreeWidget::itemActivated, ctx_.get(),
                   [this](QTreeWidgetItem* item) { Activate(lstProblems->indexOfTopLevelItem(item)); });

  w_.XmlTree->ItemMark = [this](const cVisualNode* item) -> long {
    if (!item->XmlNode || item->XmlNode->ChildCount() > 0) return -1;
    CheckSeverity s;
    return list_.Worst(u"", item->XmlNode->Path(u"", u".", w_.ed_.TreeDoc().get()), s) ? MarkColor(s) : -1;
  };
  w_.XList.RowMark = [this](long index) -> long {
    const XmlNodePtr& langs = w_.ed_.LoadedLangs();
    Text path = FromQ(w_.lblPath->text());
    if (!langs || index + 1 > langs->ChildCount() || path.size() < 2) return -1;
    CheckSeverity s;
    return list_.Worst(langs->Child(index + 1)->Name(), path.substr(1), s) ? MarkColor(s) : -1;
  };
  RebuildLangCombo();
}

Text cProblemsPanel::WorkKey() const {
  if (w_.ed_.IsDocument()) return u"file:" + w_.ed_.OpenedFile();
  int tool = w_.ed_.SelectedTool();
  const auto& tools = mTools::Tools();
  return tool >= 1 && static_cast<size_t>(tool) <= tools.size() ? tools[static_cast<size_t>(tool - 1)].name : Text();
}

void cProblemsPanel::EnsureMarksLoaded() {
  Text file = MarksFile();
  if (marks_.File() == file) return;
  SaveMarks();
  marks_.Load(file);
}

void cProblemsPanel::SaveMarks() {
  // Only what the translator did is lost otherwise; a full disk is not worth a message here.
  if (!marks_.Save()) ErrLog::Line(u"The review marks could not be saved in " + marks_.File());
}

XmlNodePtr cProblemsPanel::English() const {
  const XmlNodePtr& langs = w_.ed_.LoadedLangs();
  for (long i = 1; langs && i <= langs->ChildCount(); ++i)
    if (mLangFormat::IsReferenceLangID(langs->Child(i)->Name())) return langs->Child(i);
  return nullptr;
}

void cProblemsPanel::RecheckLang(const XmlNodePtr& english, const XmlNodePtr& lang) {
  Text id = lang->Name();
  list_.SetFindings(id, kChecks, english ? CheckLanguage(english, lang) : std::vector<StringFindings>());
  list_.SetFindings(id, kReview, marks_.Findings(WorkKey(), id, lang));
}

void cProblemsPanel::Rebuild() {
  try {
    EnsureMarksLoaded();
    const XmlNodePtr& langs = w_.ed_.LoadedLangs();
    XmlNodePtr english = English();
    Text key = WorkKey();
    std::vector<Text> ids;
    for (long i = 1; langs && i <= langs->ChildCount(); ++i) ids.push_back(langs->Child(i)->Name());
    // Languages gone take their findings with them; extra sources report again for new ones.
    for (const Text& gone : list_.Langs())
      if (std::none_of(ids.begin(), ids.end(), [&](const Text& id) { return txt::EqualsNoCase(id, gone); }))
        list_.Forget(gone);
    list_.SetOrder(mStrings::Paths(w_.ed_.TreeDoc()), ids);
    for (long i = 1; langs && i <= langs->ChildCount(); ++i) {
      XmlNodePtr lang = langs->Child(i);
      if (english == lang) continue;
      if (english && !key.empty()) marks_.Reconcile(key, lang->Name(), english, lang);
      RecheckLang(english, lang);
    }
    SaveMarks();
    RebuildLangCombo();
    Rechecked.Raise();
    Changed();
  } catch (const std::exception& e) {
    ErrLog::Exception("cProblemsPanel.Rebuild", e.what());
  }
}

void cProblemsPanel::RecheckString(const XmlNodePtr& english, const XmlNodePtr& lang, TextView path) {
  XmlNodePtr src = english ? english->GetChildNode(path, false, true) : nullptr;
  XmlNodePtr el = lang->GetChildNode(path, false, true);
  Text target = el ? el->Value() : Text();
  std::vector<CheckFinding> found;
  if (english && src && !src->Value().empty()) {
    found = CheckTranslation(src->Value(), target);
  } else if (english && !target.empty()) {
    // Worded as the whole-language check words its orphans.
    found.push_back(CheckFinding{CheckKind::Orphan, CheckSeverity::Error, src ? u"no English text" : u"not in English",
                                 {{0, target.size()}}});
  }
  list_.SetString(lang->Name(), kChecks, path, std::move(found));
  std::vector<CheckFinding> review;
  if (cReviewMarks::Reason why = marks_.Pending(WorkKey(), lang->Name(), path);
      why != cReviewMarks::Reason::None && !target.empty())
    review.push_back(CheckFinding{CheckKind::NeedsReview, CheckSeverity::Warning, cReviewMarks::Message(why), {}});
  list_.SetString(lang->Name(), kReview, path, std::move(review));
}

void cProblemsPanel::StringEdited(TextView langId, TextView path, TextView before) {
  try {
    XmlNodePtr english = English();
    const XmlNodePtr& langs = w_.ed_.LoadedLangs();
    bool isEnglish = english && txt::EqualsNoCase(english->Name(), langId);
    if (!isEnglish) {
      XmlNodePtr src = english ? english->GetChildNode(path, false, true) : nullptr;
      Text work = WorkKey();
      const cReviewMarks::Record* r = marks_.Find(work, langId, path);
      if (r && r->review != cReviewMarks::Reason::None)
        cleared_.try_emplace(work + u'\x1F' + txt::LCase(langId) + u'\x1F' + Text(path),
                             Cleared{work, Text(langId), Text(path), Text(before), *r});
      if (src) marks_.Confirm(work, langId, path, src->Value());
    }
    // An English edit changes what every translation of the string is checked against.
    for (long i = 1; langs && i <= langs->ChildCount(); ++i) {
      XmlNodePtr lang = langs->Child(i);
      if (lang == english) continue;
      if (isEnglish || txt::EqualsNoCase(lang->Name(), langId)) RecheckString(english, lang, path);
    }
    StringChecked.Raise(Text(langId), Text(path));
    Changed();
  } catch (const std::exception& e) {
    ErrLog::Exception("cProblemsPanel.StringEdited", e.what());
  }
}

void cProblemsPanel::UndoneOrRedone() {
  const XmlNodePtr& langs = w_.ed_.LoadedLangs();
  XmlNodePtr english = English();
  Text work = WorkKey();
  for (const auto& [key, c] : cleared_) {
    if (c.work != work) continue;
    for (long i = 1; langs && i <= langs->ChildCount(); ++i) {
      XmlNodePtr lang = langs->Child(i);
      XmlNodePtr el = txt::EqualsNoCase(lang->Name(), c.langId) ? lang->GetChildNode(c.path, false, true) : nullptr;
      if (!el) continue;
      XmlNodePtr src = english ? english->GetChildNode(c.path, false, true) : nullptr;
      // Any other text is one the translator typed: confirmed, as when it was typed.
      if (el->Value() == c.value)
        marks_.Mark(work, c.langId, c.path, c.record.english, c.record.review);
      else if (src)
        marks_.Confirm(work, c.langId, c.path, src->Value());
    }
  }
  Rebuild();
}

void cProblemsPanel::ConfirmSelected() {
  Text path = w_.ItemPath(w_.XmlTree->SelectedItem());
  Text lang = w_.Workbench().EditedLang();
  XmlNodePtr english = English();
  if (path.empty() || lang.empty() || !english || txt::EqualsNoCase(lang, english->Name())) return;
  XmlNodePtr src = english->GetChildNode(path, false, true);
  if (!src) return;
  marks_.Confirm(WorkKey(), lang, path, src->Value());
  const XmlNodePtr& langs = w_.ed_.LoadedLangs();
  for (long i = 1; langs && i <= langs->ChildCount(); ++i)
    if (txt::EqualsNoCase(langs->Child(i)->Name(), lang)) RecheckString(english, langs->Child(i), path);
  Changed();
  w_.XmlTree->RefreshNode(w_.XmlTree->SelectedItem());
}

void cProblemsPanel::LangChanged(cUndoHistory::Kind kind, TextView langId, const XmlNodePtr& before,
                                 const XmlNodePtr& now) {
  if (kind != cUndoHistory::Kind::Fill && kind != cUndoHistory::Kind::Import) return;
  XmlNodePtr english = English();
  if (!english || !now || txt::EqualsNoCase(english->Name(), langId)) return;
  auto old = before ? mStrings::Values(before) : std::unordered_map<Text, Text>();
  auto en = mStrings::Values(english);
  Text key = WorkKey();
  cReviewMarks::Reason why =
      kind == cUndoHistory::Kind::Fill ? cReviewMarks::Reason::Filled : cReviewMarks::Reason::Imported;
  for (const auto& [path, value] : mStrings::Values(now)) {
    auto o = old.find(path);
    if (value.empty() || (o != old.end() && o->second == value)) continue;
    auto e = en.find(path);
    marks_.Mark(key, langId, path, e == en.end() ? Text() : e->second, why);
  }
}

void cProblemsPanel::SetExtraFindings(TextView langId, TextView source, std::vector<StringFindings> findings) {
  list_.SetFindings(langId, source, std::move(findings));
  Changed();
  w_.XmlTree->RefreshTreeView();  // the tree keeps painted bands: marks anywhere may have changed
}

void cProblemsPanel::SetExtraString(TextView langId, TextView source, TextView path,
                                    std::vector<CheckFinding> findings) {
  list_.SetString(langId, source, path, std::move(findings));
  Changed();
  if (cVisualNode* root = w_.XmlTree->Tree()) {
    XmlNodePtr el = w_.ed_.TreeDoc() ? w_.ed_.TreeDoc()->GetChildNode(path, false, true) : nullptr;
    if (cVisualNode* item = el ? root->FindNodeFromXML(el.get()) : nullptr) w_.XmlTree->RefreshNode(item);
  }
}

void cProblemsPanel::Changed() {
  cProblemList::Counts c = list_.Count();
  QStringList parts;
  if (c.errors) parts << QStringLiteral("%1 error%2").arg(c.errors).arg(c.errors > 1 ? "s" : "");
  if (c.warnings) parts << QStringLiteral("%1 warning%2").arg(c.warnings).arg(c.warnings > 1 ? "s" : "");
  if (c.review) parts << QStringLiteral("%1 to review").arg(c.review);
  lblCounts->setText(parts.join(QStringLiteral(", ")));
  if (w_.lstValues) w_.lstValues->viewport()->update();
  // Typing changes one string at a time: the list is filled again once the keys rest.
  if (!Dock->isHidden()) refill_->start();
}

void cProblemsPanel::RebuildLangCombo() {
  QString keep = cboLang->currentIndex() > 0 ? cboLang->currentText() : QString();
  QSignalBlocker block(cboLang);
  cboLang->clear();
  cboLang->addItem(QStringLiteral("all languages"));
  const XmlNodePtr& langs = w_.ed_.LoadedLangs();
  for (long i = 1; langs && i <= langs->ChildCount(); ++i)
    if (!mLangFormat::IsReferenceLangID(langs->Child(i)->Name())) cboLang->addItem(ToQ(langs->Child(i)->Name()));
  cboLang->setCurrentIndex(std::max(keep.isEmpty() ? 0 : cboLang->findText(keep), 0));
  shownVersion_ = ~0ull;
}

cProblemList::Filter cProblemsPanel::CurrentFilter() const {
  cProblemList::Filter f;
  if (cboLang->currentIndex() > 0)
    f.langs.push_back(FromQ(cboLang->currentText()));
  else
    f.langs = filterLangs_;
  f.severity = static_cast<cProblemList::SeverityFilter>(std::clamp(cboSeverity->currentIndex(), 0, 2));
  return f;
}

void cProblemsPanel::Refill() {
  if (Dock->isHidden() || shownVersion_ == list_.Version()) return;
  shownVersion_ = list_.Version();
  int keep = lstProblems->currentItem() ? lstProblems->indexOfTopLevelItem(lstProblems->currentItem()) : -1;
  rows_ = list_.Rows(CurrentFilter());
  lstProblems->setUpdatesEnabled(false);
  lstProblems->clear();
  QList<QTreeWidgetItem*> items;
  items.reserve(static_cast<qsizetype>(rows_.size()));
  for (const cProblemList::Row& r : rows_) {
    auto* item = new QTreeWidgetItem(
        {ToQ(r.langId), ToQ(r.path), QString::fromLatin1(CheckName(r.finding->kind)), ToQ(r.finding->message)});
    item->setForeground(2, colorref::ToQColor(MarkColor(r.finding->severity)));
    items.push_back(item);
  }
  lstProblems->addTopLevelItems(items);
  if (keep >= 0 && keep < lstProblems->topLevelItemCount()) lstProblems->setCurrentItem(lstProblems->topLevelItem(keep));
  lstProblems->setUpdatesEnabled(true);
  Dock->setWindowTitle(QStringLiteral("Problems (%1)").arg(rows_.size()));
}

void cProblemsPanel::ShowFor(const std::vector<Text>& langs) {
  filterLangs_ = langs;
  {
    QSignalBlocker block(cboLang);
    int at = langs.size() == 1 ? cboLang->findText(ToQ(langs[0]), Qt::MatchFixedString) : -1;
    cboLang->setCurrentIndex(std::max(at, 0));
  }
  shownVersion_ = ~0ull;
  Dock->show();
  Refill();
}

void cProblemsPanel::Toggle() {
  if (Dock->isHidden()) {
    Dock->show();
    shownVersion_ = ~0ull;
    Refill();
  } else {
    Dock->hide();
  }
  mnuProblems->setChecked(!Dock->isHidden());
}

void cProblemsPanel::Next() {
  if (Dock->isHidden()) {
    Toggle();
    return;
  }
  Refill();
  int n = lstProblems->topLevelItemCount();
  if (n == 0) return;
  int cur = lstProblems->currentItem() ? lstProblems->indexOfTopLevelItem(lstProblems->currentItem()) : -1;
  int next = (cur + 1) % n;
  lstProblems->setCurrentItem(lstProblems->topLevelItem(next));
  Activate(next);
}

void cProblemsPanel::Activate(int row) {
  if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
  cProblemList::Row r = rows_[static_cast<size_t>(row)];
  w_.Workbench().SelectString(r.path, r.langId);
  w_.txtValue->setFocus();
}

bool cProblemsPanel::CheckSubmission(frmSubmit& dlg, const Text& langId, const std::vector<long>& tools) {
  reviewRequest_.clear();
  cProblemList::Counts total;
  try {
    EnsureMarksLoaded();
    cSubmission& s = dlg.Submission();
    for (long t : tools) {
      if (t < 1 || static_cast<size_t>(t) > s.ToolFiles.size()) continue;
      size_t i = static_cast<size_t>(t - 1);
      XmlNodePtr english, lang;
      for (size_t k = 0; k < s.ToolLangs[i].size() && k < s.ToolFiles[i].size(); ++k) {
        if (!english && mLangFormat::IsReferenceLangID(s.ToolLangs[i][k]))
          english = ReadLangElement(s.ToolFiles[i][k], s.ToolLangs[i][k]);
        if (!lang && txt::EqualsNoCase(s.ToolLangs[i][k], langId)) lang = ReadLangElement(s.ToolFiles[i][k], langId);
      }
      if (!lang || !english) continue;
      cProblemList one;
      one.SetFindings(langId, kChecks, CheckLanguage(english, lang));
      marks_.Reconcile(s.ToolNames[i], langId, english, lang);
      one.SetFindings(langId, kReview, marks_.Findings(s.ToolNames[i], langId, lang));
      cProblemList::Counts c = one.Count();
      total.errors += c.errors;
      total.warnings += c.warnings;
      total.review += c.review;
    }
    SaveMarks();
  } catch (const std::exception& e) {
    ErrLog::Exception("cProblemsPanel.CheckSubmission", e.what());
  }
  if (total.Total() == 0) return true;
  frmSubmitCheck::Choice choice = frmSubmitCheck::Ask(&dlg, langId, total.errors, total.warnings, total.review);
  if (choice == frmSubmitCheck::Choice::Review) {
    reviewRequest_ = {langId};
    static_cast<QDialog&>(dlg).reject();  // closes it as its own Cancel would
  }
  return choice == frmSubmitCheck::Choice::SubmitAnyway;
}

std::vector<Text> cProblemsPanel::TakeReviewRequest() {
  std::vector<Text> out;
  out.swap(reviewRequest_);
  return out;
}
