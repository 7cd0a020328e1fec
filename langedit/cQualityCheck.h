#pragma once
// Checks of a translation against its English text: what a translator most often breaks
// without noticing (placeholders, markup, accelerators, spaces, line breaks, punctuation,
// length) and what was never translated. No widgets: the window, the submission and the
// headless check of a suite all run the same checks.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/Text.h"
#include "xml/cXmlNode.h"

enum class CheckSeverity : uint8_t { Warning, Error };

enum class CheckKind : uint8_t {
  Placeholders,    // error: printf, numbered or brace placeholders missing, extra or changed
  Markup,          // error: tags not matching
  Orphan,          // error: the string is not in English
  Accelerator,     // warning: "&" in one text and not in the other
  Spaces,          // warning: leading or trailing spaces differ
  LineBreaks,      // warning: a different number of line breaks
  EndPunctuation,  // warning: the texts end on different punctuation
  Length,          // warning: far longer or shorter than the English
  Untranslated,    // warning: the same as the English
  NeedsReview,     // warning: filled, imported, or the English changed since it was confirmed
  Spelling,        // warning: a word the language's dictionary does not know
};

struct CheckFinding {
  CheckKind kind = CheckKind::Placeholders;
  CheckSeverity severity = CheckSeverity::Error;
  Text message;  // short and self-contained ("placeholder %d missing")
  // What to highlight in the translation, as (start, length) in its UTF-16 units.
  std::vector<std::pair<size_t, size_t>> spans;
};

// The findings of the strings of one language, in the order of the English tree with the
// orphans last; strings without findings are left out.
struct StringFindings {
  Text path;  // dot path below the language element, as mStrings gives it
  std::vector<CheckFinding> findings;
};

// Stable lower-case name of a check ("placeholders", "end-punctuation", ...), for filters,
// the headless check's output and its JSON.
const char* CheckName(CheckKind kind);

// Every finding of `target` against `english`. An empty target gives none: empty strings
// are counted and filled elsewhere. Texts may be as stored ("\n") or as typed (CR LF).
std::vector<CheckFinding> CheckTranslation(TextView english, TextView target);

// Every string of `lang` against the same string of `english` (both language elements),
// orphans included: a non-empty string whose English is missing or empty.
std::vector<StringFindings> CheckLanguage(const XmlNodePtr& english, const XmlNodePtr& lang);
