#pragma once
// What a language file holds: the names the editor reads and writes, the format version,
// the upgrade of older files, and the warning for files older than the server announces.
//
//   Languages (version)                      root
//     <language id> (name, en_name, icon, date, version, en_country)
//       Group.Sub.String                     strings by dot path, line breaks as "\n"
//       Contributors / Contributor (name, email, website)
#include "platform/Text.h"
#include "xml/cXmlNode.h"

namespace mLangFormat {

inline constexpr char16_t kRootTag[] = u"Languages";
inline constexpr char16_t kVersionAttr[] = u"version";
// The format this editor writes; files it creates start at kCreatedFormatVersion and are
// raised by CheckVersionChanges the next time they are read.
inline constexpr char16_t kFormatVersion[] = u"0.4";
inline constexpr char16_t kCreatedFormatVersion[] = u"0.2";

// Attributes of a language element.
inline constexpr char16_t kAttrName[] = u"name";
inline constexpr char16_t kAttrEnName[] = u"en_name";
inline constexpr char16_t kAttrIcon[] = u"icon";
inline constexpr char16_t kAttrDate[] = u"date";
inline constexpr char16_t kAttrVersion[] = u"version";
inline constexpr char16_t kAttrEnCountry[] = u"en_country";
inline constexpr char16_t kDateFormat[] = u"yyyy-mm-dd";

inline constexpr char16_t kContributors[] = u"Contributors";
inline constexpr char16_t kContributor[] = u"Contributor";
inline constexpr char16_t kContribName[] = u"name";
inline constexpr char16_t kContribEmail[] = u"email";
inline constexpr char16_t kContribWebsite[] = u"website";

// Below the suite root; icons are ".png" files named by IconFileName.
inline constexpr char16_t kIconFolder[] = u"KestrovaTools\\KestrovaMenu\\Languages\\Icons\\";
// Only files of this tool are checked against the announced format.
inline constexpr char16_t kMenuFileMarker[] = u"KestrovaMenu";

inline constexpr char16_t kMsgNoLanguagesTag[] = u"Tag <Languages> not found !";
inline constexpr char16_t kMsgNoTranslation[] = u"No translation found in this file";
inline constexpr char16_t kMsgLangNotFoundSuffix[] = u" translation not found in this file";

// Raises a parsed "Languages" element to the current format in memory: 0.2 names the
// languages in English and turns author attributes into a contributor, 0.3 moves the hot-key
// caption to the keyboard-shortcuts option, and the version always ends as "0.4".
// True when the element was changed (the version label included).
bool CheckVersionChanges(const XmlNodePtr& languages);

// Whether loading the file must warn that its format is older than the one the web server
// announces: only files of the suite menu, and only when a format was announced.
bool IsObsoleteFormat(TextView filePath, TextView rootVersion, TextView announcedFormatVersion);
// The text of that warning (shown with the critical-error icon).
Text ObsoleteFormatMessage();

// "pt-BR" -> "br.png", "fr" -> "fr.png".
Text IconFileName(TextView langId);
// The reference language: an ID that begins with "en" in any letter case.
bool IsReferenceLangID(TextView langId);

}  // namespace mLangFormat
