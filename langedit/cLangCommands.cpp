#include "langedit/cLangCommands.h"

#include "langedit/frmMain.h"

cLangCommands::cLangCommands(frmMain& w) : w_(w) {}

cLangCommands::~cLangCommands() = default;
