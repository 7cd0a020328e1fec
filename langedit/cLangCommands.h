#pragma once
// The language-management commands of the main window: add, unload, import, export and
// the properties of a language. Attached to the window's menus when the window is built.
#include <vector>

#include "platform/Event.h"

class frmMain;

class cLangCommands {
 public:
  explicit cLangCommands(frmMain& w);
  ~cLangCommands();
  cLangCommands(const cLangCommands&) = delete;
  cLangCommands& operator=(const cLangCommands&) = delete;

 private:
  frmMain& w_;
  std::vector<Connection> conns_;
};
