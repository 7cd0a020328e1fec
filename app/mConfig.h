#pragma once
// The program's settings: one XML file named after the running executable, whose root
// carries that name and holds the keys under "Config" as dot paths. It lives beside the
// executable when that folder can be written, else in the user's configuration folder.
#include "platform/Text.h"
#include "xml/cXmlNode.h"

namespace mConfig {

// The suite chosen last time: the window starts there, and so does the headless check.
inline constexpr char16_t kSuiteFolderKey[] = u"Suite.Folder";

// The running executable's file name ("KsvLangEditor" unless it was renamed or copied).
Text ExeName();
// Where the file of `exeName` goes for a program in `programFolder`: beside it when a file
// can be created there (or the file there can be written), else in
// <xdgConfigHome or home/.config>/KsvLangEditor/. Null or relative values count as unset;
// with neither, the program's folder stays the answer.
Text ConfigPathFor(TextView programFolder, TextView exeName, const char* xdgConfigHome, const char* home);
// The path for this process, unless a test chose another file.
Text ConfigPath();
// Chooses the file; its name without extension becomes the root element's name.
void SetConfigPath(TextView path);

// Reads the file; a missing, unreadable or foreign file gives an empty document.
void LoadConfig();
// Drops keys that were only read, then writes the file (creating its folder); false when
// the write failed, which is reported to the user once per file.
bool SaveConfig();
// The value of a key such as "Translator.Name"; reading creates the key, empty.
Text GetConfig(TextView key);
// Stores a value in memory; SaveConfig writes it.
void SetConfig(TextView key, TextView value);
// The document itself (loaded on first use).
XmlNodePtr Config();

}  // namespace mConfig
