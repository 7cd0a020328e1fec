#pragma once
// Text encodings (UTF-16LE, UTF-8, code pages, base64) and small string tools.
// Every routine is total: bad input gives its neutral result, never an exception.
#include <cstdint>

#include "platform/Text.h"

namespace mStringTools {

// Encoding modes, stored in settings and passed between modules.
enum EncodingMode : int { ModeAutoDetect = 0, ModeUnicode = 1, ModeUTF8 = 2, ModeANSI = 3 };
constexpr int CP_WINDOWS_1252 = 1252;
constexpr int CP_UTF8_ = 65001;
constexpr int CP_LATIN1 = 28591;

// "AutoDetect", "UNICODE", "UTF8", "ANSI", else "0x" + hexadecimal.
Text EncodingModeName(int mode);

// Loaded data -> text. Mode 0 is resolved and written back. The mark is dropped or added
// as keepMark asks; markChanged tells whether that happened.
Text StrDataToUnicode(BytesView data, int& mode, int codePage = CP_WINDOWS_1252, bool keepMark = false,
                      bool* markChanged = nullptr);
// Bytes (up to the first zero byte) decoded with a code page; unknown code page: empty.
Text StrCodePageToUnicode(BytesView data, int codePage);
// Text encoded with a code page (no terminating zero); unknown code page: empty.
Bytes StrUnicodeToCodePage(TextView text, int codePage);

// The UTF-16LE bytes of a text, and back (a trailing odd byte is dropped).
Bytes TextToUTF16LE(TextView text);
Text UTF16LEToText(BytesView data);

bool IsUnicode(BytesView data);
bool IsUTF8(BytesView data);

// UTF-8 of a text as byte data.
Bytes UTF8_EncodeBytes(TextView text);
// Raw: the UTF-8 bytes as a byte string. Otherwise each byte becomes one character through
// the system code page (1252).
Text UTF8_Encode(TextView text, bool raw);
// UTF-8 bytes (up to the first zero byte) -> text; invalid sequences become U+FFFD.
Text UTF8_DecodeBytes(BytesView data);
// All the UTF-8 bytes -> text, zero bytes included; `suspect` tells whether the text holds
// U+FFFD (from invalid bytes or of its own) or a zero character.
Text UTF8_DecodeChecked(BytesView data, bool& suspect);
// UTF-8 decoded a piece at a time: the sequences of `data` go to `out`, which has room for
// data.size() characters; unless `last`, a sequence the end of the piece may cut is left for
// the next piece, and `used` tells the bytes taken. Returns the characters written; sets
// `suspect` (never clears it) when U+FFFD or a zero character came out.
size_t UTF8_DecodePiece(BytesView data, bool last, char16_t* out, size_t& used, bool& suspect);
// Mode 2: the text is a byte string of UTF-8 (characters through the system code page);
// mode 1: the text's own UTF-16LE bytes are the data; mode 0 chooses.
Text UTF8_Decode(TextView text, int mode);

long ReadByteBits(uint8_t value, uint8_t mask);
long ReadLongBits(uint32_t value, uint32_t mask);

// Plain base64 over bytes (standard alphabet, "=" padding, no line breaks).
Bytes Base64_EncodeData(BytesView data);
// Length not a multiple of four, or empty: nothing.
Bytes Base64_DecodeData(BytesView text);
// Input mode 0: 2 when the text looks like UTF-16, else 1; 2: characters through the
// code page; 1: the text's own UTF-16LE bytes. The result is text either way.
Text Base64_Encode(TextView data, int inMode, int outMode);
// Input mode 2: the text's characters directly; otherwise its characters through the code
// page. Output mode 2: text (bytes through the code page); otherwise a byte string.
Text Base64_Decode(TextView text, int inMode, int outMode);

// Version comparison: true when `offered` is newer than `current`.
bool NeedUpdate(TextView current, TextView offered);
// Pieces of `width` characters, each followed by CR LF.
Text SplitLines(TextView text, long width);
// Removes leading and trailing spaces, tabs, CR and LF.
Text xTrim(TextView text);

}  // namespace mStringTools
