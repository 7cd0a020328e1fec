#pragma once
// The language-management commands of the main window: add, unload, import, export and
// the properties of a language. Attached to the window's menus when the window is built;
// the work is done by cLangManager, this class opens the dialogs and redraws.
#include <memory>
#include <vector>

#include "langedit/cLangManager.h"
#include "platform/Event.h"

class frmMain;
class QObject;

class cLangCommands {
 public:
  explicit cLangCommands(frmMain& w);
  ~cLangCommands();
  cLangCommands(const cLangCommands&) = delete;
  cLangCommands& operator=(const cLangCommands&) = delete;

  cLangManager& Manager() { return mgr_; }

  void mnuNewLang_Click();
  void mnuLangDeleteChoice_Click(int index);
  void mnuImportLang_Click();
  void mnuExportLang_Click();
  void mnuLangPropsChoice_Click(int index);

 private:
  void HookLangItems();

  frmMain& w_;
  cLangManager mgr_;
  // Owns the menu connections, so none outlives this object.
  std::unique_ptr<QObject> ctx_;
  std::vector<Connection> conns_;
};
