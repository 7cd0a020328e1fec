#pragma once
// Text scanning, entity decoding and escaping used by the node's parser and serializer.
// Positions here are 0-based offsets into the text; TextView::npos means "not found".
#include <cstddef>
#include <vector>

#include "platform/Text.h"
#include "xml/cXmlTagEnds.h"

namespace mXmlText {

constexpr size_t npos = TextView::npos;

inline bool IsWs(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

// First `c` at or after `from`.
size_t FindChar(TextView t, char16_t c, size_t from);
// The same, telling whether `other` stands between `from` and the character found (or the
// end of the text when there is none).
size_t FindCharNoting(TextView t, char16_t c, char16_t other, size_t from, bool& seen);
// First occurrence of `what` (non-empty) at or after `from`; exact or ignoring ASCII case.
size_t Find(TextView t, TextView what, size_t from);
size_t FindNoCase(TextView t, TextView what, size_t from);
bool StartsWith(TextView t, size_t at, TextView what);
struct Range {
  size_t begin;
  size_t end;
};
// One pass telling whether the text holds a comment opening and a declaration opening.
// With `comments`, the pass runs to the end and lists every "<!--" position; with `guarded`
// too, the CDATA sections and processing instructions outside comments, where a comment
// opening is text.
void ScanMarkup(TextView t, bool& hasComment, bool& hasDeclaration,
                std::vector<size_t>* comments = nullptr, std::vector<Range>* guarded = nullptr);

// Removes every piece from an opening marker to the next closing marker after it, markers
// included, with the same result as restarting the search at the beginning after each
// removal. An opening marker without a closing one removes the rest of the text.
// Returns false (and leaves `out` untouched) when there was nothing to remove.
bool DeleteRems(TextView text, TextView open, TextView close, Text& out);
// The same removal as DeleteRems, given as the kept [begin, end) pieces of `text` in order,
// without copying any text. False (and `out` empty) when there is nothing to remove.
// `openAt`, when given, lists every position of `open` in `text` in ascending order, and
// `guarded` the sections where it opens nothing (as ScanMarkup gives them).
bool KeptRanges(TextView text, TextView open, TextView close, std::vector<Range>& out,
                const std::vector<size_t>* openAt = nullptr, const std::vector<Range>* guarded = nullptr);
// The text without its comments (CDATA sections and processing instructions keep theirs),
// from one scan of the text. False (and `out` untouched) when it has none.
bool StripComments(TextView text, Text& out);
// The same, in place.
bool StripComments(Text& text);

// True when the first non-whitespace character at or after `start` is "<" and the one
// after it is not "!".
bool IsXML(TextView t, size_t start);
// First non-whitespace position at or after `start`, or `start` when there is none.
size_t FindNonSpace(TextView t, size_t start);
// First whitespace position at or after `start`, or npos.
size_t FindSpaceChar(TextView t, size_t start);

// The next element at or after `start`: its "<" position and length (through the end of its
// closing tag) and its name. False when there is none. `known`, when given, holds element
// ends learnt over the text `t` is a view of, `t` starting at offset `base` there.
bool NextTag(TextView t, size_t start, size_t& tagStart, size_t& length, Text& name,
             const cXmlTagEnds* known = nullptr, size_t base = 0);
// Position of the "</name>" closing the element whose "<" is at `tagStart`, counting
// nested elements of the same name (ignoring case). npos when not found.
size_t FindTagEnd(TextView t, size_t tagStart, TextView name);
// The same, for an element whose content is being read at `from` (its top level).
size_t FindTagEndFrom(TextView t, size_t from, TextView name);
// The position after a "<!DOCTYPE ...>" (or another "<!" declaration) starting at `lt`,
// internal subset, quoted strings, comments and processing instructions included.
size_t SkipDoctype(TextView t, size_t lt);
// Skips what may stand before the root: whitespace, the declaration, processing
// instructions, comments and a document type declaration. The first "<?xml ...?>" met is
// given in `declaration` (its text between "<?xml" and "?>"), when asked for.
size_t SkipMisc(TextView t, size_t pos, TextView* declaration = nullptr);
// The end of [begin, end) without trailing whitespace, processing instructions and comments.
size_t TrimMiscEnd(TextView t, size_t begin, size_t end);
// True when an element's content holds elements (or processing instructions and comments)
// with nothing but whitespace beside them; text beside them makes it text content.
bool ElementContent(TextView content, const cXmlTagEnds* known = nullptr, size_t base = 0);

// Decodes the five named entities and numeric references. Codes up to 255 are read as
// code page 1252 bytes, larger codes as Unicode characters; unknown names become "?".
// A reference to an invalid code leaves the whole text undecoded.
Text DecodeSpecialChars(TextView text);
// Escapes markup characters, copying CDATA sections unchanged and dropping the spaces and
// tabs that follow a CR LF; a zero character becomes U+FFFD. Appends to `out`.
// keepCData: an embedded "<![CDATA[ ... ]]>" section is copied as it stands.
void EncodeSpecialChars(TextView text, Text& out, bool keepCData = true);
// Escapes an attribute value: markup characters, and tabs and line breaks as character
// references, which a reader would otherwise turn into spaces; a zero character becomes
// U+FFFD. Appends to `out`.
void EncodeAttrValue(TextView text, Text& out);
// Appends `name` as an XML name: a character no name may hold becomes "_", and "_" goes
// first when the name cannot start with its first character. A valid name is copied as it is.
void AppendName(TextView name, Text& out);
// True for the common name AppendName copies as it is: ASCII letters, digits, "_", ":", "-"
// and ".", not starting with a digit, "-" or ".".
bool IsPlainName(TextView name);
// Prefixes every line with `count` copies of `ch`, leaving lines inside CDATA sections.
Text Indent(TextView text, long count, char16_t ch);

}  // namespace mXmlText
