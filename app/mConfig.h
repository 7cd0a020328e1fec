#pragma once
// The program's settings: one XML file beside the executable, named after it, whose root
// carries the executable's name and holds the keys under "Config" as dot paths.
#include "platform/Text.h"
#include "xml/cXmlNode.h"

namespace mConfig {

// <program folder>/KsvLangEditor.xml unless a test chose another file.
Text ConfigPath();
void SetConfigPath(TextView path);

// Reads the file; a missing, unreadable or foreign file gives an empty document.
void LoadConfig();
// Drops keys that were only read, then writes the file; false when the write failed.
bool SaveConfig();
// The value of a key such as "Translator.Name"; reading creates the key, empty.
Text GetConfig(TextView key);
// Stores a value in memory; SaveConfig writes it.
void SetConfig(TextView key, TextView value);
// The document itself (loaded on first use).
XmlNodePtr Config();

}  // namespace mConfig
