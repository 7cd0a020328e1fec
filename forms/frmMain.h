#pragma once
// The main window: the string tree on the left, the selected string's path, one row per
// loaded language and the edit box on the right, and the menus. Its behaviour lives in
// cLangEditor; the window shows that state and turns clicks into its commands.
#include <QImage>
#include <QListWidget>
#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "app/cUpdateCheck.h"
#include "controls/cXListBox.h"
#include "langedit/cEditing.h"
#include "langedit/cLangEditor.h"
#include "langedit/cLangSaver.h"
#include "platform/Event.h"
#include "platform/FileWatch.h"

class QAction;
class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QPainter;
class VSplitter;
class cLangCommands;
class cSpellAssist;
class cProblemsPanel;
class cWorkbench;
class ctlTextEdit;
class ctlXmlTree;
class cVisualNode;

class frmMain : public QMainWindow {
 public:
  // Where the program looks for the suite; tests point these at their own folders.
  struct StartOptions {
    Text programFolder;                                   // empty: the executable's folder
    std::function<std::vector<Text>()> runningImages;     // empty: the process table
    Text suiteRoot;  // a suite named on the command line: tried before any other
    Text langFile;   // a language file to open once the window is up
    bool showReadme = true;
    bool silentUpdateCheck = true;
  };

  explicit frmMain(QWidget* parent = nullptr);
  ~frmMain() override;

  // The load handler: false when the program must end (the suite was not found).
  bool Form_Load(const StartOptions& options);
  bool Form_Load() { return Form_Load(StartOptions()); }

  cLangEditor& Editor() { return ed_; }
  cLangSaver& Saver() { return saver_; }
  platform::FileWatch& FileWatch() { return watch_; }
  cUpdateCheck& UpdateChecker() { return update_; }
  cWorkbench& Workbench() { return *wb_; }
  cSpellAssist& Spelling() { return *spell_; }
  cProblemsPanel& Problems() { return *problems_; }

  void UpdateMenus();
  void UpdateCaption();
  void InitEditControls();
  void OpenLangFile(TextView path);
  // Asks for the suite's folder until one holds the suite or the user gives up; the suite
  // found is remembered for the next start. False when nothing was chosen.
  bool ChooseSuiteFolder();

  // Controls.
  VSplitter* VSplit = nullptr;
  ctlXmlTree* XmlTree = nullptr;
  QFrame* FrameEdit = nullptr;
  QLabel* lblPath = nullptr;
  QLabel* lblSource = nullptr;  // the English text of the selected string
  QListWidget* lstValues = nullptr;
  cXListBox XList;
  ctlTextEdit* txtValue = nullptr;

  // Menus; item arrays hold their placeholder at index 0.
  QMenu* mnuFile = nullptr;
  QAction* mnuOpenLangFile = nullptr;
  QAction* mnuImportLang = nullptr;
  QAction* mnuExportLang = nullptr;
  QAction* mnuSaveAs = nullptr;
  QAction* mnuChooseSuite = nullptr;
  QMenu* mnuSelectTool = nullptr;
  std::vector<QAction*> mnuSelectToolChoice;
  QAction* mnuSave = nullptr;
  QMenu* mnuSaveLang = nullptr;
  std::vector<QAction*> mnuSaveLangChoice;
  QAction* mnuQuit = nullptr;
  QMenu* mnuEdit = nullptr;
  QAction* mnuNewLang = nullptr;
  QMenu* mnuFillEmptyStrings = nullptr;
  std::vector<QAction*> mnuFillEmptyStringsChoice;
  QMenu* mnuFindEmptyString = nullptr;
  std::vector<QAction*> mnuFindEmptyStringChoice;
  QMenu* mnuLoadLanguage = nullptr;
  std::vector<QAction*> mnuLoadLanguageChoice;
  QMenu* mnuLangDelete = nullptr;
  std::vector<QAction*> mnuLangDeleteChoice;
  QMenu* mnuLangProps = nullptr;
  std::vector<QAction*> mnuLangPropsChoice;
  QMenu* mnuTools = nullptr;
  QAction* mnuSubmit = nullptr;
  QAction* mnuUpdateCheck = nullptr;
  QMenu* mnuBetaChannel = nullptr;
  QAction* mnuShowBetaInfo = nullptr;
  QAction* mnuKsvUpdateBeta = nullptr;
  QAction* mnuKsvUpdatePublic = nullptr;
  QAction* mnuReadMe = nullptr;

  // Handlers of the item arrays (1-based as the menus number them).
  void mnuSelectToolChoice_Click(int index);
  void mnuLoadLanguageChoice_Click(int index);
  void XmlTree_ItemSelected(cVisualNode* item);
  void lstValues_Click();
  void txtValue_Change();
  void mnuFindEmptyStringChoice_Click(int index);
  void mnuFillEmptyStringsChoice_Click(int index);
  void mnuSaveLangChoice_Click(int index);
  void mnuSave_Click();
  void mnuSaveAs_Click();
  // Keys of the main window (key code 114 = F3: the next empty string of the selected row).
  void Form_KeyDown(int keyCode);
  // Finds the next empty string of language `langIndex` (1-based) from the tree element
  // `start` (or after it) and selects it.
  void FindNextEmpty(const XmlNodePtr& start, long langIndex, bool afterStart = false);
  // The cached translation-state colour of a tree item, computed when missing.
  long NodeColor(cVisualNode* item);
  void ClearNodeColor(cVisualNode* item, bool recursive);
  void UpdateSaveMenus();
  cEditing& Editing() { return edit_; }

  // Raised after every rebuild of the per-language menus, for the editing commands that
  // hang their handlers on the new items.
  Event<> MenusRebuilt;
  bool Updating = false;

 protected:
  void closeEvent(QCloseEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  friend class cWorkbench;
  friend class cProblemsPanel;
  void BuildControls();
  void BuildMenus();
  void FrameEdit_Resize();
  void RebuildArray(QMenu* menu, std::vector<QAction*>& arr, const std::vector<MenuItem>& items,
                    bool placeholderVisible, const std::function<void(int)>& onClick);
  void Form_Unload();
  void mnuOpenLangFile_Click();
  void mnuChooseSuite_Click();
  void XList_DrawItem(QPainter* dc, long width, long height, long index, bool selected, bool& handled);
  // The tree is rebuilt whenever the structure changes: what the translator had open and
  // selected is put back where it still exists.
  void RebuildTree();
  // Shows the tree document again (filtered while finding), keeping expansions and selection.
  void ShowTree();
  void ShowSource();
  Text ItemPath(const cVisualNode* item) const;
  void ClearValuePane();
  // The row to select for a string: `keepLang`'s, else the language edited last, else the
  // row chosen last, else the first language that is not the reference; -1 when none.
  int PreferredRow(TextView keepLang);
  const QImage* Flag(const Text& icon);

  cLangEditor ed_;
  cEditing edit_{ed_};
  cLangSaver saver_{ed_};
  std::map<Text, QImage> flags_;  // flag pictures by icon name, null image when none
  Text lastEditedLang_;
  std::vector<Text> expandedPaths_;  // of the last tree that showed anything
  Text selectedPath_;
  Text selectedLang_;  // of the value row the translator chose last
  bool keepRow_ = false;  // while the same string is shown again
  cUpdateCheck update_;
  std::unique_ptr<cLangCommands> langCommands_;
  std::unique_ptr<cWorkbench> wb_;
  std::unique_ptr<cSpellAssist> spell_;
  std::unique_ptr<cProblemsPanel> problems_;
  // Opens the Problems panel on `langs` after a submission check asked for a review.
  void ReviewLangs(const std::vector<Text>& langs);
  bool treeFiltered_ = false;  // the tree on show is a find result
  std::vector<Connection> conns_;
  // Last: it is stopped before the state its reports go to.
  platform::FileWatch watch_;
  bool unloaded_ = false;
};
