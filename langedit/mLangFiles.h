#pragma once
// Language files on disk, as the editing state, saving and language management all need
// them: reading and parsing one, finding its "Languages" element, naming and writing a new
// one, and the date a save stamps on a language.
#include "platform/Text.h"
#include "storage/mTextFile.h"
#include "xml/cXmlNode.h"

namespace mLangFiles {

// Reads and parses a file, any encoding; lazy parses only the root's own tag. `stamp`, when
// given, receives ContentStamp of the text read.
XmlNodePtr ReadXmlFile(TextView path, bool lazy, Text* stamp = nullptr);
// The upgraded "Languages" element of a language file; null when the file is missing,
// unreadable or cut short (no closing tag: caught while another program writes it). `doc`
// receives the whole document, which must outlive the element.
XmlNodePtr ReadLanguagesFile(TextView path, XmlNodePtr& doc, Text* stamp = nullptr);
// A short fingerprint of a file's text, to tell whether it changed since it was read;
// empty for an empty or unreadable file.
Text ContentStamp(TextView text);
// The stamp of the file as it is on disk now.
Text FileStamp(TextView path);
// The "Languages" element of a parsed file: the root itself or the first below it.
XmlNodePtr FindLanguages(const XmlNodePtr& doc);
// The text to write back for a parsed language file. Earlier versions of this editor wrapped
// "Languages" in a nameless node, which no XML reader accepts: such a file is written as its
// "Languages" element alone.
Text LangFileText(const XmlNodePtr& doc, const XmlNodePtr& languages);
// A new "Languages" element of the given format version holding a copy of `lang`.
XmlNodePtr NewLanguagesRoot(TextView version, const XmlNodePtr& lang);

// The pattern's "*" replaced by the ID, then ID_2, ID_3... while that file exists; "" when
// the pattern has no "*" or every name is taken.
Text NewLangFilePath(TextView pattern, TextView langId);
// The text of a new language file: "Languages" of the created format holding the element.
Text NewLangFileText(const XmlNodePtr& lang);
// Today as a language's "date" attribute writes it.
Text Today();
// The protected save of a language file: UTF-8 without byte-order mark, no backups.
// A failure tells why (mTextFile::SaveFailureReason).
[[nodiscard]] mTextFile::SaveOutcome WriteLangFile(TextView path, TextView text);

}  // namespace mLangFiles
