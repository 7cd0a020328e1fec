#include "forms/frmMain.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QHelpEvent>
#include <QStatusBar>
#include <QToolTip>
#include <QUrl>

#include "controls/TextCut.h"
#include "controls/VSplitter.h"
#include "controls/ctlTextEdit.h"
#include "app/mConfig.h"
#include "controls/ctlXmlTree.h"
#include "forms/cLangCommands.h"
#include "forms/cSpellAssist.h"
#include "forms/cProblemsPanel.h"
#include "forms/cWorkbench.h"
#include "forms/frmLangSelector.h"
#include "forms/frmMergeConflicts.h"
#include "forms/frmReadme.h"
#include "langedit/mLangFormat.h"
#include "langedit/mTools.h"
#include "platform/AppIcon.h"
#include "platform/Desktop.h"
#include "platform/ErrLog.h"
#include "platform/FileDialog.h"
#include "platform/MsgBox.h"
#include "platform/ProcessTools.h"
#include "platform/QtText.h"
#include "platform/RunningProcesses.h"
#include "storage/mFileUtils.h"
#include "forms/frmSubmit.h"

using qtxt::FromQ;
using qtxt::ToQ;

namespace {

// The suite's own fonts when installed, else the toolkit's sans font at the same size.
QFont UiFont(const char* family) {
  QFont f(QString::fromLatin1(family));
  f.setPointSize(8);
  f.setStyleHint(QFont::SansSerif);
  return f;
}

constexpr int kMargin = 6;

// Where the suite chosen by hand is remembered.
constexpr const char16_t* kSuiteKey = mConfig::kSuiteFolderKey;

// Translucent blue over the selected language's row.
constexpr QRgb kSelectedRowTint = 0x44666699;

// Set for the life of the object.
struct TemporaryFlag {
  explicit TemporaryFlag(bool& f) : flag(f), old(f) { flag = true; }
  ~TemporaryFlag() { flag = old; }
  bool& flag;
  bool old;
};

bool EndsWithXml(const QString& name) { return name.endsWith(QStringLiteral(".xml"), Qt::CaseInsensitive); }

}  // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("frmMain"));
  setAcceptDrops(true);
  platform::SetAppIcon(this);
  BuildControls();
  BuildMenus();
  resize(900, 600);

  conns_.push_back(ed_.TreeChanged.Subscribe([this] { RebuildTree(); }));
  conns_.push_back(ed_.MenusChanged.Subscribe([this] { UpdateMenus(); }));
  conns_.push_back(ed_.CaptionChanged.Subscribe([this] { UpdateCaption(); }));
  conns_.push_back(ed_.EditControlsReset.Subscribe([this] { InitEditControls(); }));
  conns_.push_back(update_.UpdateCommandEnabled.Subscribe([this](bool on) { mnuUpdateCheck->setEnabled(on); }));
  ed_.UpdateInfo = update_.UpdateInfo();
  ed_.SaveModifs = [this] { return saver_.SaveModifs(); };
  // Files changed by someone else: read again or merged at the next save; conflicts asked.
  conns_.push_back(ed_.LangReloaded.Subscribe([this](const Text&) { RebuildTree(); }));
  conns_.push_back(ed_.StatusNote.Subscribe([this](const Text& note) { statusBar()->showMessage(ToQ(note), 30000); }));
  saver_.ResolveConflicts = [this](TextView file, TextView id, std::vector<cLangMerge::Conflict>& conflicts) {
    return frmMergeConflicts::Resolve(this, file, id, conflicts);
  };
  watch_.Changed = [this](const Text& file) { ed_.FileChangedOnDisk(file); };
  platform::SetMainWindow(this);
  langCommands_ = std::make_unique<cLangCommands>(*this);
  wb_ = std::make_unique<cWorkbench>(*this);
  problems_ = std::make_unique<cProblemsPanel>(*this);
  // After the panel: the spelling of whole languages is listed there.
  spell_ = std::make_unique<cSpellAssist>(*this);
}

frmMain::~frmMain() {
  Form_Unload();
  spell_.reset();
  problems_.reset();
  wb_.reset();
  langCommands_.reset();
  if (platform::MainWindow() == this) platform::SetMainWindow(nullptr);
}

void frmMain::BuildControls() {
  VSplit = new VSplitter(this);
  VSplit->setObjectName(QStringLiteral("VSplit"));
  setCentralWidget(VSplit);
  VSplit->SplitLeft(300L * platform::TwipsPerPixelX());

  XmlTree = new ctlXmlTree(VSplit);
  XmlTree->setObjectName(QStringLiteral("XmlTree"));
  XmlTree->Font(UiFont("Tahoma"));
  VSplitter::SetTag(XmlTree, u"LeftFrame");

  FrameEdit = new QFrame(VSplit);
  FrameEdit->setObjectName(QStringLiteral("FrameEdit"));
  VSplitter::SetTag(FrameEdit, u"RightFrame");
  FrameEdit->installEventFilter(this);

  lblPath = new QLabel(FrameEdit);
  lblPath->setObjectName(QStringLiteral("lblPath"));
  lblPath->setFont(UiFont("MS Sans Serif"));
  lblPath->setTextFormat(Qt::PlainText);
  lblPath->installEventFilter(this);

  lstValues = new QListWidget(FrameEdit);
  lstValues->setObjectName(QStringLiteral("lstValues"));
  lstValues->setFont(UiFont("Tahoma"));
  XList.ListBox(lstValues);
  XList.ItemHeight(20);

  lblSource = new QLabel(FrameEdit);
  lblSource->setObjectName(QStringLiteral("lblSource"));
  lblSource->setFont(UiFont("Tahoma"));
  lblSource->setTextFormat(Qt::PlainText);
  lblSource->setWordWrap(true);
  lblSource->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblSource->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  lblSource->setFrameShape(QFrame::StyledPanel);
  lblSource->setStyleSheet(QStringLiteral("QLabel { background: #f4f4f0; color: #333; padding: 2px; }"));
  lblSource->setToolTip(QStringLiteral("English text"));

  txtValue = new ctlTextEdit(FrameEdit);
  txtValue->setObjectName(QStringLiteral("txtValue"));
  txtValue->MultiLine(true);
  txtValue->ScrollBars(2);  // vertical only: long texts wrap
  txtValue->Font(UiFont("Tahoma"));

  conns_.push_back(XmlTree->ItemSelected.Subscribe([this](cVisualNode* item) { XmlTree_ItemSelected(item); }));
  conns_.push_back(XmlTree->BeforeDrawItem.Subscribe([this](cVisualNode* item) { NodeColor(item); }));
  conns_.push_back(txtValue->Change.Subscribe([this] { txtValue_Change(); }));
  conns_.push_back(XList.DrawItem.Subscribe([this](QPainter* dc, long, long, long width, long height, long index, bool,
                                                   bool selected, long, bool& handled) {
    XList_DrawItem(dc, width, height, index, selected, handled);
  }));
  auto* f3 = new QShortcut(QKeySequence(Qt::Key_F3), this);
  f3->setContext(Qt::WindowShortcut);
  QObject::connect(f3, &QShortcut::activated, this, [this] { Form_KeyDown(114); });
  QObject::connect(lstValues, &QListWidget::currentRowChanged, this, [this](int) { lstValues_Click(); });
  lstValues->viewport()->installEventFilter(this);
}

void frmMain::BuildMenus() {
  QMenuBar* bar = menuBar();
  // The two "&File" menus are shown as one, in their order.
  mnuFile = bar->addMenu(QStringLiteral("&File"));
  mnuOpenLangFile = mnuFile->addAction(QStringLiteral("&Open  XML language file..."));
  mnuImportLang = mnuFile->addAction(QStringLiteral("&Import language..."));
  mnuExportLang = mnuFile->addAction(QStringLiteral("&Export language..."));
  mnuSaveAs = mnuFile->addAction(QStringLiteral("Save &as..."));
  mnuFile->addSeparator();
  mnuChooseSuite = mnuFile->addAction(QStringLiteral("Choose suite &folder..."));
  mnuSelectTool = mnuFile->addMenu(QStringLiteral("Select Kestrova Tool"));
  mnuSelectToolChoice.push_back(mnuSelectTool->addAction(QStringLiteral("Tool to translate")));
  mnuSelectToolChoice[0]->setVisible(false);
  mnuFile->addSeparator();
  mnuSave = mnuFile->addAction(QStringLiteral("&Save all changes"));
  mnuSave->setEnabled(false);
  mnuSaveLang = mnuFile->addMenu(QStringLiteral("Save &language"));
  mnuSaveLangChoice.push_back(mnuSaveLang->addAction(QStringLiteral("(nothing to save)")));
  mnuSaveLangChoice[0]->setEnabled(false);
  mnuFile->addSeparator();
  mnuQuit = mnuFile->addAction(QStringLiteral("&Quit"));

  mnuEdit = bar->addMenu(QStringLiteral("&Edition"));
  mnuEdit->setEnabled(false);
  mnuNewLang = mnuEdit->addAction(QStringLiteral("&Add language..."));
  mnuFillEmptyStrings = mnuEdit->addMenu(QStringLiteral("&Fill empty strings"));
  mnuFillEmptyStringsChoice.push_back(mnuFillEmptyStrings->addAction(QStringLiteral("(no lang loaded)")));
  mnuFindEmptyString = mnuEdit->addMenu(QStringLiteral("&Find empty string"));
  mnuFindEmptyStringChoice.push_back(mnuFindEmptyString->addAction(QStringLiteral("(no lang loaded)")));
  mnuLoadLanguage = mnuEdit->addMenu(QStringLiteral("&Load language"));
  mnuLoadLanguageChoice.push_back(mnuLoadLanguage->addAction(QStringLiteral("(language file not found)")));
  mnuLoadLanguageChoice[0]->setEnabled(false);
  mnuLangDelete = mnuEdit->addMenu(QStringLiteral("&Unload language"));
  mnuLangDeleteChoice.push_back(mnuLangDelete->addAction(QStringLiteral("(no lang loaded)")));
  mnuLangDeleteChoice[0]->setEnabled(false);
  mnuLangProps = mnuEdit->addMenu(QStringLiteral("Language &properties"));
  mnuLangPropsChoice.push_back(mnuLangProps->addAction(QStringLiteral("(no lang loaded)")));
  mnuLangPropsChoice[0]->setEnabled(false);

  mnuTools = bar->addMenu(QStringLiteral("&Tools"));
  mnuSubmit = mnuTools->addAction(QStringLiteral("&Submit your translation..."));
  mnuSubmit->setEnabled(false);
  mnuUpdateCheck = mnuTools->addAction(QStringLiteral("Check for &updates..."));
  mnuTools->addSeparator();
  mnuBetaChannel = mnuTools->addMenu(QStringLiteral("Kestrova &Beta update channel"));
  mnuShowBetaInfo = mnuBetaChannel->addAction(QStringLiteral("Read beta channel info (online)..."));
  mnuKsvUpdateBeta = mnuBetaChannel->addAction(QStringLiteral("Activate BETA channel on my Kestrova"));
  mnuKsvUpdatePublic = mnuBetaChannel->addAction(QStringLiteral("Activate PUBLIC channel on my Kestrova"));

  mnuReadMe = bar->addAction(QStringLiteral("&Read me"));

  connect(mnuOpenLangFile, &QAction::triggered, this, [this] { mnuOpenLangFile_Click(); });
  connect(mnuChooseSuite, &QAction::triggered, this, [this] { mnuChooseSuite_Click(); });
  connect(mnuSave, &QAction::triggered, this, [this] { mnuSave_Click(); });
  connect(mnuSaveAs, &QAction::triggered, this, [this] { mnuSaveAs_Click(); });
  connect(mnuQuit, &QAction::triggered, this, [this] { close(); });
  connect(mnuReadMe, &QAction::triggered, this, [this] { frmReadme::ShowModal(this); });
  connect(mnuUpdateCheck, &QAction::triggered, this, [this] { update_.CheckForUdpate(false); });
  connect(mnuShowBetaInfo, &QAction::triggered, this, [this] { update_.ShowBetaInfo(); });
  connect(mnuKsvUpdateBeta, &QAction::triggered, this, [this] { update_.ActivateBetaChannel(); });
  connect(mnuKsvUpdatePublic, &QAction::triggered, this, [this] { update_.ActivatePublicChannel(); });
  connect(mnuSubmit, &QAction::triggered, this, [this] {
    if (!ed_.ConfirmDiscard()) return;
    frmSubmit::ShowSubmit(this, ed_.SuiteRoot(), [this](frmSubmit& dlg, const Text& id, const std::vector<long>& tools) {
      return problems_->CheckSubmission(dlg, id, tools);
    });
    ReviewLangs(problems_->TakeReviewRequest());
  });
}

bool frmMain::Form_Load(const StartOptions& options) {
  try {
    Text folder = options.programFolder.empty() ? txt::FromUtf8(platform::proc::ExecutableFolder())
                                                : options.programFolder;
    auto running = options.runningImages ? options.runningImages : [] { return platform::RunningImagePaths(); };
    mConfig::LoadConfig();
    // A suite named on the command line, then the one a language file lies in, then the
    // one chosen last time; only then the program's own surroundings.
    std::vector<Text> firstTries{options.suiteRoot};
    if (!options.langFile.empty()) firstTries.push_back(mFileUtils::FilePathOnly(options.langFile));
    firstTries.push_back(mConfig::GetConfig(kSuiteKey));
    if (!ed_.FindKSVRoot(firstTries, folder, running)) {
      platform::MsgBox(u"Kestrova not found", platform::vbCritical | platform::vbOKOnly);
      if (platform::MsgBox(u"Kestrova Lang Editor edits the language files of an installed Kestrova suite.\r\n\r\n"
                           u"Choose the suite's folder (the one that holds Kestrova.exe) now?",
                           platform::vbQuestion | platform::vbYesNo) != platform::vbYes ||
          !ChooseSuiteFolder()) {
        unloaded_ = true;
        close();
        return false;
      }
    }
    UpdateCaption();
    // The tool menu: one item per tool of the table, enabled when it has files.
    const auto& tools = mTools::Tools();
    for (size_t i = 0; i < tools.size(); ++i) {
      QAction* a = mnuSelectTool->addAction(ToQ(tools[i].name));
      a->setCheckable(true);
      a->setData(ToQ(mTools::ToolPattern(ed_.SuiteRoot(), tools[i])));
      a->setEnabled(ed_.ToolAvailable()[i]);
      int index = static_cast<int>(i) + 1;
      connect(a, &QAction::triggered, this, [this, index] { mnuSelectToolChoice_Click(index); });
      mnuSelectToolChoice.push_back(a);
    }
    mnuSelectToolChoice[0]->setVisible(false);
    UpdateMenus();
    wb_->RestoreLayout();
    show();
    if (!options.langFile.empty())
      OpenLangFile(options.langFile);
    else
      wb_->RestoreWork();
    if (options.showReadme) frmReadme::ShowModal(this);
    if (options.silentUpdateCheck) update_.CheckForUdpate(true);
    return true;
  } catch (const std::exception& e) {
    ErrLog::Exception("frmMain.Form_Load", e.what());
    return false;
  }
}

void frmMain::UpdateCaption() { setWindowTitle(ToQ(ed_.Caption())); }

void frmMain::RebuildArray(QMenu* menu, std::vector<QAction*>& arr, const std::vector<MenuItem>& items,
                           bool placeholderVisible, const std::function<void(int)>& onClick) {
  for (size_t i = 1; i < arr.size(); ++i) {
    menu->removeAction(arr[i]);
    arr[i]->deleteLater();
  }
  arr.resize(1);
  for (size_t i = 0; i < items.size(); ++i) {
    QAction* a = menu->addAction(ToQ(items[i].caption));
    a->setData(ToQ(items[i].tag));
    a->setEnabled(items[i].enabled);
    a->setVisible(items[i].visible);
    int index = static_cast<int>(i) + 1;
    if (onClick) connect(a, &QAction::triggered, this, [onClick, index] { onClick(index); });
    arr.push_back(a);
  }
  arr[0]->setVisible(placeholderVisible);
}

void frmMain::UpdateMenus() {
  // Every command that loads, unloads or saves ends here: the watched files follow.
  if (!unloaded_) watch_.SetFiles(ed_.WatchedFiles());
  MenuState m = ed_.Menus();
  for (size_t i = 0; i < m.tools.size() && i + 1 < mnuSelectToolChoice.size(); ++i) {
    mnuSelectToolChoice[i + 1]->setEnabled(m.tools[i].enabled);
    mnuSelectToolChoice[i + 1]->setData(ToQ(m.tools[i].tag));
    mnuSelectToolChoice[i + 1]->setChecked(m.tools[i].checked);
  }
  mnuSubmit->setEnabled(m.submitEnabled);
  RebuildArray(mnuLoadLanguage, mnuLoadLanguageChoice, m.loadLangs, m.loadPlaceholderVisible,
               [this](int i) { mnuLoadLanguageChoice_Click(i); });
  RebuildArray(mnuLangDelete, mnuLangDeleteChoice, m.langs, m.langPlaceholderVisible, nullptr);
  RebuildArray(mnuLangProps, mnuLangPropsChoice, m.langs, m.langPlaceholderVisible, nullptr);
  RebuildArray(mnuFillEmptyStrings, mnuFillEmptyStringsChoice, m.langs, m.langPlaceholderVisible,
               [this](int i) { mnuFillEmptyStringsChoice_Click(i); });
  RebuildArray(mnuFindEmptyString, mnuFindEmptyStringChoice, m.langs, m.langPlaceholderVisible,
               [this](int i) { mnuFindEmptyStringChoice_Click(i); });
  RebuildArray(mnuSaveLang, mnuSaveLangChoice, m.saveLangs, true, [this](int i) { mnuSaveLangChoice_Click(i); });
  mnuFillEmptyStrings->setEnabled(m.fillFindEnabled);
  mnuFindEmptyString->setEnabled(m.fillFindEnabled);
  mnuSaveAs->setEnabled(m.saveAsExportEnabled);
  mnuExportLang->setEnabled(m.saveAsExportEnabled);
  mnuEdit->setEnabled(m.editionEnabled);
  mnuSave->setEnabled(m.saveAllEnabled);
  MenusRebuilt.Raise();
}

void frmMain::ClearValuePane() {
  lblPath->clear();
  {
    TemporaryFlag quiet(Updating);
    lstValues->clear();
    txtValue->SetText(u"");
  }
  txtValue->Enabled(false);
}

void frmMain::InitEditControls() {
  ClearValuePane();
  // A string still selected shows its values again, as the languages now stand.
  if (cVisualNode* item = XmlTree->SelectedItem()) {
    TemporaryFlag keep(keepRow_);
    XmlTree_ItemSelected(item);
  }
  FrameEdit_Resize();
  UpdateCaption();
  UpdateMenus();
}

Text frmMain::ItemPath(const cVisualNode* item) const {
  return item && item->XmlNode ? item->XmlNode->Path(u"", u".", ed_.TreeDoc().get()) : Text();
}

int frmMain::PreferredRow(TextView keepLang) {
  XmlNodePtr langs = ed_.LoadedLangs();
  long n = langs->ChildCount();
  for (TextView id : {keepLang, TextView(lastEditedLang_), TextView(selectedLang_)})
    for (long i = 1; i <= n && !id.empty(); ++i)
      if (langs->Child(i)->Name() == id) return static_cast<int>(i - 1);
  for (long i = 1; i <= n; ++i)
    if (!mLangFormat::IsReferenceLangID(langs->Child(i)->Name())) return static_cast<int>(i - 1);
  return n > 0 ? 0 : -1;
}

void frmMain::RebuildTree() {
  flags_.clear();
  wb_->TreeRebuilt();
  if (problems_) problems_->Rebuild();
  ShowTree();
}

void frmMain::ShowTree() {
  // Remember only from a full tree that showed something: switching tools passes through an
  // empty one, and a find result has everything expanded.
  if (cVisualNode* root = XmlTree->Tree(); root && root->ChildCount() > 0) {
    if (!treeFiltered_) {
      expandedPaths_.clear();
      std::vector<cVisualNode*> stack{root};
      while (!stack.empty()) {
        cVisualNode* n = stack.back();
        stack.pop_back();
        if (n != root && n->Expanded() && n->ChildCount() > 0) expandedPaths_.push_back(ItemPath(n));
        for (long i = 1; i <= n->ChildCount(); ++i) stack.push_back(n->Child(i));
      }
    }
    // A find that hides the selected string does not make the translator lose it.
    if (XmlTree->SelectedItem() || !treeFiltered_) selectedPath_ = ItemPath(XmlTree->SelectedItem());
  }
  treeFiltered_ = wb_->Filtering();
  XmlTree->Xml(ed_.TreeDoc());
  ClearValuePane();
  cVisualNode* root = XmlTree->Tree();
  if (!root) return;
  auto itemAt = [&](const Text& path) -> cVisualNode* {
    XmlNodePtr el = path.empty() ? nullptr : ed_.TreeDoc()->GetChildNode(path, false, true);
    return el ? root->FindNodeFromXML(el.get()) : nullptr;
  };
  if (!treeFiltered_)
    for (const Text& path : expandedPaths_)
      if (cVisualNode* item = itemAt(path)) item->Expanded(true);
  if (cVisualNode* item = itemAt(selectedPath_)) {
    for (cVisualNode* up = item->Parent; up; up = up->Parent) up->Expanded(true);
    XmlTree->RefreshTreeView();
    TemporaryFlag keep(keepRow_);
    XmlTree->SelectNode(item);
  } else {
    XmlTree->RefreshTreeView();
  }
}

void frmMain::mnuSelectToolChoice_Click(int index) {
  XmlNodePtr before = ed_.TreeDoc();
  ed_.SelectTool(index);
  if (ed_.TreeDoc() != before) wb_->DocumentChanged();
  UpdateMenus();
}

void frmMain::mnuLoadLanguageChoice_Click(int index) { ed_.LoadLangListEntry(index); }

void frmMain::mnuOpenLangFile_Click() {
  Text path = platform::ShowOpenFile(u"", u"XML Files (*.xml)|*.xml|All files|*.*", u"", this);
  if (!path.empty()) OpenLangFile(path);
}

void frmMain::OpenLangFile(TextView path) {
  XmlNodePtr before = ed_.TreeDoc();
  ed_.OpenLangFile(path);
  if (ed_.TreeDoc() == before) return;
  wb_->DocumentChanged();
  if (ed_.IsDocument()) wb_->AddRecent(ed_.OpenedFile());
}

bool frmMain::ChooseSuiteFolder() {
  Text start = ed_.SuiteRoot();
  for (;;) {
    Text folder = platform::ShowFolder(u"Choose the Kestrova suite folder", start, this);
    if (folder.empty()) return false;
    if (ed_.UseSuiteFolder(folder)) {
      mConfig::SetConfig(kSuiteKey, ed_.SuiteRoot());
      mConfig::SaveConfig();
      return true;
    }
    if (platform::MsgBox(Text(mTools::kLauncher) + u" was not found in\r\n" + folder +
                             u"\r\nnor in a folder above it.\r\n\r\nChoose the folder of your Kestrova suite.",
                         platform::vbExclamation | platform::vbOKCancel) != platform::vbOK)
      return false;
    start = folder;
  }
}

void frmMain::mnuChooseSuite_Click() {
  if (!ed_.ConfirmDiscard()) return;
  if (ChooseSuiteFolder()) UpdateMenus();
}

void frmMain::XmlTree_ItemSelected(cVisualNode* item) {
  try {
    if (!item || !item->XmlNode) return;
    Text path = ItemPath(item);
    lblPath->setText(ToQ(u"." + path));
    XmlNodePtr langs = ed_.LoadedLangs();
    XmlNodePtr first = langs->ChildCount() > 0 ? langs->Child(1) : nullptr;
    XmlNodePtr target = first ? langs->GetChildNode(first->Name() + u"." + path, false, true) : nullptr;
    bool wasUpdating = Updating;
    Updating = true;
    lstValues->clear();
    if (!target || target->ChildCount() > 0) {
      // A group: nothing of the previous string may stay on show or take typing.
      txtValue->SetText(u"");
      Updating = wasUpdating;
      lblSource->clear();
      lstValues->setEnabled(false);
      txtValue->Enabled(false);
      return;
    }
    if (!wasUpdating) txtValue->SetText(u"");
    long n = langs->ChildCount();
    for (long i = 1; i <= n; ++i) {
      Text id = langs->Child(i)->Name();
      lstValues->addItem(ToQ(id + u" =>\t" + ed_.GetString(id + u"." + path)));
    }
    lstValues->setEnabled(true);
    ShowSource();
    FrameEdit_Resize();
    // A rebuild keeps the row; a string the translator picks opens on the language edited last.
    int row = PreferredRow(keepRow_ ? TextView(selectedLang_) : TextView());
    if (row >= 0) lstValues->setCurrentRow(row);
    Updating = wasUpdating;
    lstValues_Click();
  } catch (const std::exception& e) {
    ErrLog::Exception("frmMain.XmlTree_ItemSelected", e.what());
  }
}

void frmMain::lstValues_Click() {
  int row = lstValues->currentRow();
  if (Updating) return;
  XmlNodePtr lang = row >= 0 && XmlTree->SelectedItem() ? ed_.LoadedLangs()->Child(row + 1) : nullptr;
  // Typing goes into the selected row's language: without one the box takes nothing.
  txtValue->Enabled(lang != nullptr && lstValues->isEnabled());
  if (!lang) return;
  bool otherLang = !txt::EqualsNoCase(selectedLang_, lang->Name());
  selectedLang_ = lang->Name();
  {
    TemporaryFlag quiet(Updating);
    Text value = ed_.DecodeText(ed_.GetString(lang->Name() + FromQ(lblPath->text())));
    txtValue->SetText(value);
    txtValue->SelStart(static_cast<long>(value.size()));  // typing goes on at the end
  }
  // The per-group counts are those of the language being edited.
  if (otherLang) XmlTree->RefreshTreeView();
}

void frmMain::ShowSource() {
  XmlNodePtr langs = ed_.LoadedLangs();
  Text path = FromQ(lblPath->text());
  for (long i = 1; i <= langs->ChildCount(); ++i)
    if (XmlNodePtr l = langs->Child(i); mLangFormat::IsReferenceLangID(l->Name())) {
      XmlNodePtr el = path.size() > 1 ? l->GetChildNode(path.substr(1), false, true) : nullptr;
      lblSource->setText(ToQ(ed_.DecodeText(el ? el->Value() : Text())).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
      return;
    }
  lblSource->clear();
}

void frmMain::txtValue_Change() {
  try {
    if (Updating) return;
    int row = lstValues->currentRow();
    cVisualNode* item = XmlTree->SelectedItem();
    if (row < 0 || !item) return;
    ClearNodeColor(item, false);
    for (cVisualNode* up = item->Parent; up && up != XmlTree->Tree(); up = up->Parent) ClearNodeColor(up, false);
    Text label = FromQ(lblPath->text());
    XmlNodePtr lang = ed_.LoadedLangs()->Child(row + 1);
    XmlNodePtr old = lang && label.size() > 1 ? lang->GetChildNode(label.substr(1), false, true) : nullptr;
    Text before = old ? old->Value() : Text();
    if (!edit_.StoreValue(row + 1, label, txtValue->GetText())) return;
    lastEditedLang_ = lang->Name();
    XmlNodePtr now = lang->GetChildNode(label.substr(1), false, true);
    wb_->ValueStored(lastEditedLang_, label.substr(1), before, now ? now->Value() : Text(), old != nullptr);
    problems_->StringEdited(lastEditedLang_, label.substr(1), before);
    {
      TemporaryFlag quiet(Updating);
      TemporaryFlag keep(keepRow_);
      XmlTree_ItemSelected(item);
      if (row < lstValues->count()) lstValues->setCurrentRow(row);
    }
    txtValue->setFocus();
    for (cVisualNode* up = item; up && up != XmlTree->Tree(); up = up->Parent) XmlTree->RefreshNode(up);
    mnuSave->setEnabled(true);
    UpdateCaption();
  } catch (const std::exception& e) {
    ErrLog::Exception("frmMain.txtValue_Change", e.what());
  }
}

long frmMain::NodeColor(cVisualNode* item) {
  try {
    if (!item || !item->XmlNode) return cEditing::kBlack;
    Text cached = item->GetProp(u"color");
    if (!cached.empty()) return txt::ToInt(cached);
    long color = cEditing::kBlack;
    if (item->XmlNode->ChildCount() == 0) {
      color = edit_.StringColor(item->XmlNode->Path(u"", u".", ed_.TreeDoc().get()));
    } else {
      std::vector<long> colors;
      for (long i = 1; i <= item->ChildCount(); ++i) {
        colors.push_back(NodeColor(item->Child(i)));
        if (colors.back() == cEditing::kRed) break;
      }
      color = cEditing::GroupColor(colors);
    }
    item->SetProp(u"color", txt::FromInt(color));
    return color;
  } catch (const std::exception& e) {
    ErrLog::Exception("frmMain.NodeColor", e.what());
    return cEditing::kBlack;
  }
}

void frmMain::ClearNodeColor(cVisualNode* item, bool recursive) {
  if (!item) return;
  std::vector<cVisualNode*> stack{item};
  while (!stack.empty()) {
    cVisualNode* n = stack.back();
    stack.pop_back();
    n->DelProp(u"color");
    if (recursive)
      for (long i = 1; i <= n->ChildCount(); ++i) stack.push_back(n->Child(i));
  }
}

void frmMain::FindNextEmpty(const XmlNodePtr& start, long langIndex, bool afterStart) {
  try {
    XmlNodePtr target = edit_.FindNextEmpty(start, langIndex, afterStart);
    if (!target || !XmlTree->Tree()) return;
    cVisualNode* item = XmlTree->Tree()->FindNodeFromXML(target.get());
    if (!item) return;
    XmlTree->SelectNode(item);
    if (langIndex - 1 < lstValues->count()) lstValues->setCurrentRow(static_cast<int>(langIndex - 1));
    txtValue->setFocus();
  } catch (const std::exception& e) {
    ErrLog::Exception("frmMain.FindNextEmpty", e.what());
  }
}

void frmMain::mnuFindEmptyStringChoice_Click(int index) { FindNextEmpty(ed_.TreeDoc(), index); }

void frmMain::Form_KeyDown(int keyCode) {
  if (keyCode != 114) return;
  cVisualNode* item = XmlTree->SelectedItem();
  int row = lstValues->currentRow();
  if (lstValues->count() == 0 || row < 0 || !item || !item->XmlNode) return;
  FindNextEmpty(item->XmlNode, row + 1, true);
}

void frmMain::mnuFillEmptyStringsChoice_Click(int index) {
  bool changed = wb_->RecordLangs(cUndoHistory::Kind::Fill, [&] {
    return edit_.FillEmptyStrings(index, [this](const std::vector<std::pair<Text, long>>& rows) {
      return frmLangSelector::Choose(this, u"Copy strings from", rows);
    });
  });
  if (!changed) return;
  if (cVisualNode* root = XmlTree->Tree()) ClearNodeColor(root, true);
  XmlTree->RefreshTreeView();
  InitEditControls();
  UpdateSaveMenus();
  UpdateCaption();
}

void frmMain::ReviewLangs(const std::vector<Text>& langs) {
  if (langs.empty()) return;
  // A language of this tool not loaded yet is brought in, so its problems can be listed.
  for (const Text& id : langs) {
    if (ed_.IsLangLoaded(id)) continue;
    const XmlNodePtr& list = ed_.LangList();
    for (long i = 1; list && i <= list->ChildCount(); ++i)
      if (txt::EqualsNoCase(list->Child(i)->Attribut(u"id"), id)) {
        mnuLoadLanguageChoice_Click(static_cast<int>(i));
        break;
      }
  }
  problems_->ShowFor(langs);
}

void frmMain::UpdateSaveMenus() {
  RebuildArray(mnuSaveLang, mnuSaveLangChoice, ed_.Menus().saveLangs, true,
               [this](int i) { mnuSaveLangChoice_Click(i); });
}

void frmMain::mnuSaveLangChoice_Click(int index) {
  if (index < 1 || index >= static_cast<int>(mnuSaveLangChoice.size())) return;
  Text id = FromQ(mnuSaveLangChoice[static_cast<size_t>(index)]->data().toString());
  saver_.SaveLang(id);
  ed_.UpdateDirtyFromInfos();
  wb_->Saved();
  UpdateSaveMenus();
  UpdateCaption();
}

void frmMain::mnuSave_Click() {
  saver_.SaveChanges();
  wb_->Saved();
  UpdateCaption();
  UpdateMenus();
}

void frmMain::mnuSaveAs_Click() {
  Text path = platform::ShowSaveFile(u"Save language file as...", u"XML files (*.xml)|*.xml|All files|*.*", u".xml",
                                     mFileUtils::FilePathOnly(ed_.OpenedFile()), u"", this);
  if (path.empty()) return;
  saver_.SaveAs(path);
  wb_->Saved();
  UpdateCaption();
  UpdateMenus();
}

const QImage* frmMain::Flag(const Text& icon) {
  if (icon.empty()) return nullptr;
  auto it = flags_.find(icon);
  if (it == flags_.end()) {
    QImage im;
    if (Text file = mTools::IconFile(ed_.SuiteRoot(), icon); !file.empty()) im.load(ToQ(file));
    it = flags_.emplace(icon, std::move(im)).first;
  }
  return it->second.isNull() ? nullptr : &it->second;
}

void frmMain::XList_DrawItem(QPainter* dc, long width, long height, long index, bool selected, bool& handled) {
  try {
    XmlNodePtr lang = ed_.LoadedLangs()->Child(index + 1);
    if (!dc || !lang || width <= 0 || height <= 0) return;
    Text id = lang->Name();
    Text value = ed_.GetString(id + FromQ(lblPath->text()));
    QImage bmp(static_cast<int>(width), static_cast<int>(height), QImage::Format_ARGB32_Premultiplied);
    bmp.fill(Qt::white);
    QPainter p(&bmp);
    if (selected) p.fillRect(bmp.rect(), QColor::fromRgba(kSelectedRowTint));
    if (const QImage* flag = Flag(lang->Attribut(u"icon")))
      p.drawImage(2, static_cast<int>((height - flag->height()) / 2), *flag);
    p.setFont(lstValues->font());
    QString label = ToQ(u"[" + id + u"]");
    QRect rc(22, 0, static_cast<int>(width) - 22, static_cast<int>(height));
    p.setPen(QColor::fromRgba(0xFE000000));
    p.drawText(rc, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, label);
    int x = 22 + p.fontMetrics().horizontalAdvance(label) + 8;
    p.setPen(QColor::fromRgba(selected ? 0xFE550000 : 0xFE000055));
    // One line: breaks show as a mark, and a text longer than the row ends with an ellipsis.
    QString shown = ToQ(textcut::ForWidth(value, width));
    shown.replace(QStringLiteral("\\r\\n"), QStringLiteral("\u21B5")).replace(QStringLiteral("\\n"), QStringLiteral("\u21B5"));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\u21B5")).replace(QLatin1Char('\n'), QChar(0x21B5));
    QRect valueRect(x, 0, std::max(0, static_cast<int>(width) - x - 2), static_cast<int>(height));
    p.drawText(valueRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               p.fontMetrics().elidedText(shown, Qt::ElideRight, valueRect.width()));
    p.end();
    dc->drawImage(0, 0, bmp);
    handled = true;
  } catch (const std::exception& e) {
    ErrLog::Exception("frmMain.XList_DrawItem", e.what());
  }
}

void frmMain::FrameEdit_Resize() {
  int w = FrameEdit->width(), h = FrameEdit->height();
  int inner = std::max(0, w - 2 * kMargin);
  int labelH = lblPath->fontMetrics().height() + 4;
  lblPath->setGeometry(kMargin, kMargin, inner, labelH);
  int rows = std::clamp(lstValues->count(), 3, 8);
  int listTop = kMargin + labelH + 2;
  int listH = rows * static_cast<int>(XList.ItemHeight()) + 4;
  lstValues->setGeometry(kMargin, listTop, inner, listH);
  int srcTop = listTop + listH + kMargin;
  int srcH = std::clamp(lblSource->heightForWidth(inner), lblSource->fontMetrics().height() + 6, std::max(h / 3, 40));
  lblSource->setGeometry(kMargin, srcTop, inner, srcH);
  int editTop = srcTop + srcH + kMargin;
  txtValue->setGeometry(kMargin, editTop, inner, std::max(0, h - editTop - kMargin));
}

bool frmMain::eventFilter(QObject* o, QEvent* e) {
  if (e->type() == QEvent::ToolTip && lstValues && o == lstValues->viewport()) {
    // The whole value, as the row may show only its start.
    auto* help = static_cast<QHelpEvent*>(e);
    int row = lstValues->row(lstValues->itemAt(help->pos()));
    XmlNodePtr lang = row >= 0 ? ed_.LoadedLangs()->Child(row + 1) : nullptr;
    if (!lang) {
      QToolTip::hideText();
      return true;
    }
    Text value = ed_.DecodeText(ed_.GetString(lang->Name() + FromQ(lblPath->text())));
    QToolTip::showText(help->globalPos(), ToQ(value).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), lstValues);
    return true;
  }
  if (o == FrameEdit && e->type() == QEvent::Resize) FrameEdit_Resize();
  if ((o == FrameEdit || o == lblPath) && e->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
    platform::StartWindowMove(this);  // drag the window by its edit frame, as by a title bar
    return true;
  }
  return QMainWindow::eventFilter(o, e);
}

void frmMain::dragEnterEvent(QDragEnterEvent* e) {
  for (const QUrl& u : e->mimeData()->urls())
    if (EndsWithXml(u.toLocalFile())) {
      e->setDropAction(Qt::CopyAction);
      e->accept();
      return;
    }
  e->ignore();
}

void frmMain::dropEvent(QDropEvent* e) {
  for (const QUrl& u : e->mimeData()->urls()) {
    QString f = u.toLocalFile();
    if (EndsWithXml(f)) {
      e->acceptProposedAction();
      OpenLangFile(FromQ(f));
      return;
    }
  }
}

void frmMain::closeEvent(QCloseEvent* e) {
  if (!unloaded_ && !ed_.ConfirmDiscard()) {
    e->ignore();
    return;
  }
  if (!unloaded_) {
    wb_->SaveLayout();
    problems_->SaveMarks();
  }
  Form_Unload();
  e->accept();
}

void frmMain::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  update_.Cancel();
  watch_.SetFiles({});
}
