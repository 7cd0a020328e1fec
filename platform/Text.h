#pragma once
// The program's text types. Text is UTF-16 (std::u16string). A "byte string" is a Text
// whose characters are all <= 0xFF, one character per byte. Byte data is std::string.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using Text = std::u16string;
using TextView = std::u16string_view;
using Bytes = std::string;
using BytesView = std::string_view;

namespace txt {

// Byte data -> byte string, one character per byte.
Text FromBytes(BytesView b);
// Byte string -> byte data; every character keeps its low byte.
Bytes ToBytes(TextView t);
// UTF-8 (for literals, paths and Qt glue) -> UTF-16. Invalid sequences become U+FFFD.
Text FromUtf8(std::string_view s);
// UTF-16 -> UTF-8; lone surrogates become U+FFFD.
std::string ToUtf8(TextView t);
// ASCII case folding; other characters unchanged.
Text LCase(TextView t);
Text UCase(TextView t);
bool EqualsNoCase(TextView a, TextView b);
// Decimal text of a number.
Text FromInt(long long v);
// Leading decimal integer of the text (sign allowed, spaces skipped); 0 when there is none.
long long ToInt(TextView t);
// The pieces between separators (an empty separator gives the whole text as one piece).
std::vector<Text> Split(TextView t, TextView sep);
// Replaces every occurrence of `what` (non-empty) by `with`.
Text Replace(TextView t, TextView what, TextView with);

}  // namespace txt
