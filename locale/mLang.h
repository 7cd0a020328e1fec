#pragma once
// The built-in table of 204 locales (ISO tag, Windows LCID, English language and country
// names) and its lookups. Searches ignore case; the first record that matches wins.
// A key that is not in the table gives an empty text.
#include <string_view>
#include <vector>

#include "platform/Text.h"

namespace mLang {

// The language name of the first record with that LCID (any case, 0 to 4+ hex digits).
Text GetLCIDLangName(TextView lcid);
// The ISO tag of the first record with that LCID.
Text LCIDtoISO(TextView lcid);
// The language name of a tag, or of the first tag it begins ("fr", "az-Cyrl").
Text GetISOLangName(TextView iso);
// The country or region of a complete tag.
Text GetISOCountryName(TextView iso);
// The language of a tag in its own words ("fr-CA" -> "Français"); empty when unknown.
Text GetISONativeName(TextView iso);
// Every record as "tag|lcid|language|country", in table order (item i is record i + 1).
std::vector<Text> Get_LCDI_ISO_AllLangList();
// The user's language as four upper-case hex digits ("040C"), from the locale variables;
// empty when it cannot tell.
Text GetUserLangLCID();
// The same for one locale name such as "fr_FR.UTF-8" or "sr_RS@latin".
Text LCIDFromLocaleName(std::string_view locale);

}  // namespace mLang
