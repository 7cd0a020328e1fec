#pragma once
// Open and save file dialogs. Filters are given in the Windows form
// ("XML Files (*.xml)|*.xml|All files|*.*"); tests replace the handler to script answers.
#include <functional>

#include "platform/Text.h"

class QWidget;

namespace platform {

struct FileDialogRequest {
  bool save = false;
  bool folder = false;  // choose a folder rather than a file
  Text title;
  Text filter;      // Windows form, as the caller gave it
  Text initialDir;  // folder to start in; empty: the toolkit's choice
  Text fileName;    // proposed file name
  Text defaultExt;  // ".xml": added to a chosen name without extension (save only)
  QWidget* owner = nullptr;
};
// Returns the chosen path, empty when cancelled.
using FileDialogHandler = std::function<Text(const FileDialogRequest&)>;

Text ShowOpenFile(TextView title, TextView filter, TextView initialDir = {}, QWidget* owner = nullptr);
Text ShowSaveFile(TextView title, TextView filter, TextView defaultExt = {}, TextView initialDir = {},
                  TextView fileName = {}, QWidget* owner = nullptr);

// "Desc|pat;pat|..." -> "Desc (pat pat);;..."; "*.*" becomes "*" (every file). A description
// that already shows its patterns in parentheses is kept as it is.
Text FilterToToolkit(TextView windowsFilter);
// Adds the default extension (with or without its dot) to a path whose file name has none.
Text WithDefaultExt(TextView path, TextView defaultExt);

// A folder chosen by the user, empty when cancelled.
Text ShowFolder(TextView title, TextView initialDir = {}, QWidget* owner = nullptr);

FileDialogHandler SetFileDialogHandler(FileDialogHandler h);

}  // namespace platform
