#pragma once
// The editing state of the main window, without widgets: the suite, the selected tool and
// its languages list, the loaded languages, the structure document the tree shows, and the
// commands that change them. The window subscribes to the events and redraws; every
// question and message goes through the platform's message box, so tests script them.
#include <functional>
#include <vector>

#include "platform/Event.h"
#include "platform/Text.h"
#include "xml/cXmlNode.h"

struct MenuItem {
  Text caption;
  Text tag;
  bool enabled = true;
  bool visible = true;
  bool checked = false;
};

// What the menus show, computed from the state (the window builds its menus from it).
struct MenuState {
  std::vector<MenuItem> tools;        // the tool items, table order
  std::vector<MenuItem> loadLangs;    // one per languages-list entry
  bool loadPlaceholderVisible = true; // "(language file not found)"
  std::vector<MenuItem> langs;        // one per loaded language: unload, properties, fill, find
  bool langPlaceholderVisible = true; // "(no lang loaded)"
  std::vector<MenuItem> saveLangs;    // one per dirty language
  bool editionEnabled = false;
  bool saveAllEnabled = false;
  bool fillFindEnabled = false;
  bool saveAsExportEnabled = false;
  bool submitEnabled = false;
};

class cLangEditor {
 public:
  cLangEditor();

  // --- suite and tools ----------------------------------------------------------------
  // Finds the suite from the program's folder or the running processes; false when absent.
  bool FindKSVRoot(TextView programFolder, const std::function<std::vector<Text>()>& runningImages);
  // The same, trying first each folder of `firstTries` (a folder named on the command line,
  // the one chosen last time): the first holding the suite, or below it, wins.
  bool FindKSVRoot(const std::vector<Text>& firstTries, TextView programFolder,
                   const std::function<std::vector<Text>()>& runningImages);
  // Starts over on the suite of a folder a person chose (the folder or one above it holds
  // the launcher): no tool selected, no language loaded. False, with nothing changed, when
  // there is no suite there. Unsaved changes are the caller's to settle first.
  bool UseSuiteFolder(TextView folder);
  const Text& SuiteRoot() const { return suiteRoot_; }
  void SetSuiteRoot(TextView root);
  // Whether each tool of the table has at least one language file (index 0 = first tool).
  const std::vector<bool>& ToolAvailable() const { return toolAvailable_; }
  // 1-based index of the checked tool, 0 when none.
  int SelectedTool() const { return selectedTool_; }
  Text SelectedToolPattern() const;

  // Rebuilds the languages list from the tool's files.
  void LoadToolLangs(TextView pattern, bool keepDirty);
  // Switches to tool `index` (1-based), carrying the loaded languages over.
  void SelectTool(int index);
  // Loads the language of languages-list entry `index` (1-based).
  void LoadLangListEntry(int index);
  // Opens one file directly, replacing the loaded languages. The file is then a document of
  // its own: no tool is selected and the languages list holds the file's languages, so
  // edits mark and saves write only that file.
  void OpenLangFile(TextView path);
  // Makes `path` the opened document of the loaded languages (after they were written
  // there as a whole): every loaded language listed clean with that file.
  void BecomeDocument(TextView path);
  // A directly opened (or saved-as) file holds the loaded languages.
  bool IsDocument() const { return !openedFile_.empty(); }

  // --- languages ----------------------------------------------------------------------
  bool LoadLanguage(TextView fileName, TextView langId);
  static void XmlMergeStruct(const XmlNodePtr& a, const XmlNodePtr& b);
  static void ClearNodeValues(const XmlNodePtr& node);
  bool IsLangLoaded(TextView langId);
  // The languages-list entry of an ID, or null.
  XmlNodePtr FindLangEntry(TextView langId);
  // Lists a loaded language that has no entry yet (an import). In a document its file is
  // the document; for a tool the entry has an empty "file", is kept across re-listings,
  // and its first save creates the file.
  XmlNodePtr AddPendingEntry(const XmlNodePtr& lang);

  // --- state --------------------------------------------------------------------------
  const XmlNodePtr& LangList() const { return langList_; }
  const XmlNodePtr& LoadedLangs() const { return loadedLangs_; }
  const XmlNodePtr& TreeDoc() const { return treeDoc_; }
  bool Modified() const { return modified_; }
  void SetModified(bool m);
  const Text& OpenedFile() const { return openedFile_; }
  // The last update information received (for the obsolete-format warning); may be null.
  XmlNodePtr UpdateInfo;

  // The caption: title, version, " beta", the suite root, " *" when modified.
  Text Caption() const;
  MenuState Menus();

  // --- strings ------------------------------------------------------------------------
  // The value at a dot path of the loaded languages ("fr.Config.Labels.Title"); missing
  // elements on the way are created, so reading a string adds it, empty, where it lacked.
  Text GetString(TextView path);
  // Stored form ("\n") <-> edit form (CR LF).
  Text EncodeText(TextView text) const;
  Text DecodeText(TextView text) const;

  // --- dirty marks --------------------------------------------------------------------
  // Marks a language as having unsaved edits ("dirty" = "yes" on its languages-list entry)
  // and sets Modified; the save menu and the caption follow through MenusChanged.
  void MarkDirty(TextView langId);
  // Modified = some languages-list entry is dirty.
  void UpdateDirtyFromInfos();

  // Asked before unsaved changes would be dropped; false stops the command. The owner of
  // the saving service installs it; unset, nothing is asked.
  std::function<bool()> SaveModifs;
  // True when nothing unsaved would be lost, or SaveModifs lets the command go on.
  bool ConfirmDiscard();

  // --- events for the window ----------------------------------------------------------
  Event<> TreeChanged;       // re-assign the tree document to the tree view
  Event<> MenusChanged;      // rebuild the menus from Menus()
  Event<> CaptionChanged;
  Event<> EditControlsReset; // clear path label and value list, disable the edit box

 private:
  void ResetDocuments();
  XmlNodePtr MakeLangEntry(const XmlNodePtr& lang, TextView file);
  void RefreshToolAvailability();

  Text suiteRoot_;
  std::vector<bool> toolAvailable_;
  int selectedTool_ = 0;
  XmlNodePtr langList_;
  XmlNodePtr loadedLangs_;
  XmlNodePtr treeDoc_;
  bool modified_ = false;
  bool toolListed_ = false;
  Text openedFile_;
  // Made at start-up: stored form and edit form at the same index.
  std::vector<Text> storedForms_{u"\\n"};
  std::vector<Text> editForms_{u"\r\n"};
};
