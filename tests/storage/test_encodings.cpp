#include <gtest/gtest.h>

#include <random>

#include "storage/mStringTools.h"
#include "tests/common/TestUtil.h"

using namespace mStringTools;

namespace {
Bytes B(std::initializer_list<int> v) {
  Bytes b;
  for (int x : v) b.push_back(static_cast<char>(x));
  return b;
}
}  // namespace

TEST(DataToUnicode, DetectsModeAndHandlesMark) {
  struct Case {
    Bytes data;
    bool keep;
    int mode;
    Text text;
    bool changed;
  };
  const Case cases[] = {
      {B({0xFF, 0xFE, 0x41, 0x00}), false, ModeUnicode, u"A", true},
      {B({0xFF, 0xFE, 0x41, 0x00}), true, ModeUnicode, u"\xFEFF" u"A", false},
      {"plain ascii", false, ModeANSI, u"plain ascii", false},
      {B({0xC3, 0xA9}), false, ModeUTF8, u"\u00E9", false},
      {B({0xEF, 0xBB, 0xBF, 0xC3, 0xA9}), false, ModeUTF8, u"\u00E9", true},
      {B({0xEF, 0xBB, 0xBF, 0xC3, 0xA9}), true, ModeUTF8, u"\xFEFF\u00E9", false},
      {B({0xC3, 0xA9}), true, ModeUTF8, u"\xFEFF\u00E9", true},
      {B({0x80, 0x41}), false, ModeANSI, u"\u20AC" u"A", false},
  };
  for (const auto& c : cases) {
    int mode = 0;
    bool changed = false;
    Text t = StrDataToUnicode(c.data, mode, 1252, c.keep, &changed);
    EXPECT_EQ(mode, c.mode) << c.data;
    EXPECT_TEXT_EQ(t, c.text);
    EXPECT_EQ(changed, c.changed) << c.data;
  }
  int mode = 0;
  EXPECT_TRUE(StrDataToUnicode("", mode).empty());
  EXPECT_EQ(mode, 0);
}

TEST(IsUTF8, AcceptsMultiByteAndRejectsBrokenSequences) {
  EXPECT_TRUE(IsUTF8(B({0xC3, 0xA9})));
  EXPECT_TRUE(IsUTF8("abc" + B({0xE2, 0x82, 0xAC}) + "def"));
  // Overlong forms are not checked: only the shape of the sequences counts.
  EXPECT_TRUE(IsUTF8(B({0xC0, 0x80})));
  EXPECT_FALSE(IsUTF8("only ascii here"));           // no multi-byte sequence
  EXPECT_FALSE(IsUTF8(""));
  EXPECT_FALSE(IsUTF8(B({0xC3, 0x41})));             // bad continuation
  EXPECT_FALSE(IsUTF8(B({0x80})));                   // lone continuation
  EXPECT_FALSE(IsUTF8(B({0x41, 0xC3})));             // truncated at the end
  EXPECT_FALSE(IsUTF8(B({0xFF})));
  // A long ASCII run followed by a broken tail is still seen (fast path boundary).
  EXPECT_FALSE(IsUTF8(std::string(37, 'x') + B({0xC3})));
  EXPECT_TRUE(IsUTF8(std::string(37, 'x') + B({0xC3, 0xA9}) + std::string(9, 'y')));
}

TEST(IsUnicode, MarkOrStatistics) {
  EXPECT_TRUE(IsUnicode(B({0xFF, 0xFE})));
  EXPECT_TRUE(IsUnicode(TextToUTF16LE(u"Hello world, this is text")));
  EXPECT_FALSE(IsUnicode("Hello world, this is text"));
  EXPECT_FALSE(IsUnicode(B({0xFE, 0xFF, 0x00, 0x41})));
  EXPECT_FALSE(IsUnicode(""));
  EXPECT_FALSE(IsUnicode("A"));
}

TEST(CodePages, Cp1252AndUtf8RoundTripAndUnknownIsEmpty) {
  // Every byte survives text and back through 1252, the undefined slots included.
  Bytes all;
  for (int i = 1; i < 256; ++i) all.push_back(static_cast<char>(i));
  Text t = StrCodePageToUnicode(all, 1252);
  ASSERT_EQ(t.size(), 255u);
  EXPECT_EQ(t[0x80 - 1], u'\u20AC');
  EXPECT_EQ(t[0x9F - 1], u'\u0178');
  EXPECT_EQ(t[0x81 - 1], u'\u0081');
  EXPECT_EQ(StrUnicodeToCodePage(t, 1252), all);

  EXPECT_TEXT_EQ(StrCodePageToUnicode(B({0x41, 0x00, 0x42}), 1252), u"A");  // stops at the zero byte
  EXPECT_EQ(StrUnicodeToCodePage(u"a\u4E2D\U0001F600b", 1252), "a??b");    // a pair is one character
  EXPECT_EQ(StrUnicodeToCodePage(u"\u00E9", 65001), B({0xC3, 0xA9}));
  EXPECT_TEXT_EQ(StrCodePageToUnicode(B({0xC3, 0xA9}), 65001), u"\u00E9");
  EXPECT_TRUE(StrCodePageToUnicode("abc", 12345).empty());
  EXPECT_TRUE(StrUnicodeToCodePage(u"abc", 12345).empty());
}

TEST(UTF8, EncodeDecodeRoundTripsAllPlanesAndRepairsBadInput) {
  Text edges(4093, u'a');  // sequences of every length across the decoder's block edges
  for (int i = 0; i < 1500; ++i) edges += u"\u00E9\u20AC\U0001F600x";
  const Text samples[] = {u"", u"plain", u"caf\u00E9 \u20AC", u"\u4E2D\u6587 \u0627\u0644\u0639",
                          u"emoji \U0001F600 end", Text(u"nul\0inside", 10), edges};
  for (const auto& s : samples) {
    Bytes b = UTF8_EncodeBytes(s);
    int mode = ModeUTF8;
    EXPECT_TEXT_EQ(StrDataToUnicode(b, mode), s);
    // The byte-string form goes through the system code page and back.
    EXPECT_TEXT_EQ(UTF8_Decode(UTF8_Encode(s, false), ModeUTF8), s.substr(0, s.find(u'\0')));
    EXPECT_EQ(txt::ToBytes(UTF8_Encode(s, true)), b);
  }
  // Lone surrogates cannot be encoded: they become U+FFFD rather than broken bytes.
  EXPECT_EQ(UTF8_EncodeBytes(Text(1, char16_t(0xD800))), B({0xEF, 0xBF, 0xBD}));
  // Invalid input decodes to replacement characters, never past the end.
  EXPECT_TEXT_EQ(UTF8_DecodeBytes(B({0x41, 0xC3})), u"A\uFFFD");
  EXPECT_TEXT_EQ(UTF8_DecodeBytes(B({0xE2, 0x28, 0xA1})), u"\uFFFD(\uFFFD");
  EXPECT_TEXT_EQ(UTF8_DecodeBytes(B({0xED, 0xA0, 0x80})), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
  EXPECT_TEXT_EQ(UTF8_DecodeBytes(B({0x61, 0x00, 0x62})), u"a");                   // up to the zero byte
  EXPECT_TEXT_EQ(UTF8_DecodeBytes(Bytes(4095, 'a') + "\xC3\xA9\x80\x80\x80\x80" "b"),  // across a block edge
                 Text(4095, u'a') + u"\u00E9\uFFFD\uFFFD\uFFFD\uFFFDb");
  EXPECT_TRUE(UTF8_Decode(u"", 0).empty());
}

TEST(Base64, PaddingLengthsAndBadInput) {
  EXPECT_EQ(Base64_EncodeData("ab"), "YWI=");
  EXPECT_EQ(Base64_DecodeData("YWI="), "ab");
  EXPECT_EQ(Base64_DecodeData("YWJjZ"), "");  // length 5
  EXPECT_EQ(Base64_DecodeData(""), "");
  EXPECT_EQ(Base64_DecodeData("===="), "");   // all padding shortens to nothing, no underflow
  Bytes all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  for (size_t n = 0; n < all.size(); n += 37) EXPECT_EQ(Base64_DecodeData(Base64_EncodeData(all.substr(0, n))), all.substr(0, n));
  // Text forms: mode 2 takes the characters as bytes; output mode 2 gives them back as text.
  EXPECT_TEXT_EQ(Base64_Encode(u"abc", 2, 2), u"YWJj");
  EXPECT_TEXT_EQ(Base64_Decode(u"YWJj", 2, 2), u"abc");
  EXPECT_TEXT_EQ(Base64_Decode(u"gA==", 2, 2), u"\u20AC");       // byte 0x80 through 1252
  EXPECT_TEXT_EQ(Base64_Decode(u"gA==", 2, 1), Text(1, u'\x80'));  // the byte as it is
  EXPECT_TEXT_EQ(Base64_Encode(u"A", 1, 2), u"QQA=");             // the text's own UTF-16 bytes
}

TEST(DataToUnicode, OddLengthUtf16AndUnknownMode) {
  int mode = ModeUnicode;
  EXPECT_TEXT_EQ(StrDataToUnicode(B({0x41, 0x00, 0x42}), mode), u"A");  // trailing odd byte dropped
  mode = 9;
  EXPECT_TRUE(StrDataToUnicode("abc", mode).empty());
}

namespace {

// UTF-8 as the decoder documents it, one byte at a time: a sequence that is not well formed
// gives one U+FFFD per byte, and the decoding goes on at the next byte.
Text ByteWise(const Bytes& b, bool& suspect) {
  Text out;
  for (size_t i = 0; i < b.size();) {
    auto at = [&](size_t k) { return static_cast<unsigned char>(b[k]); };
    unsigned char c = at(i);
    size_t len = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    uint32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    bool ok = len > 0 && i + len <= b.size();
    for (size_t k = 1; ok && k < len; ++k) {
      ok = (at(i + k) & 0xC0) == 0x80;
      cp = (cp << 6) | (at(i + k) & 0x3F);
    }
    ok = ok && !(len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) && !(len == 4 && (cp < 0x10000 || cp > 0x10FFFF));
    if (!ok) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += len;
  }
  suspect = out.find_first_of(Text(u"\uFFFD\0", 2)) != Text::npos;
  return out;
}

}  // namespace

// Long runs are decoded many bytes at a time: every mix of well-formed and broken input, at
// every position against those rounds, must come out as the byte-wise decoding gives it,
// whole or fed in pieces of any size.
TEST(UTF8, RunsDecodeAsByteWiseWholeAndInPieces) {
  const Bytes pieces[] = {"a", "plain text ", "\xC3\xA9", "\xC2\x80", "\xDF\xBF", "\xD0\x96\xD0\xB8",
                                "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xC0\xAF", "\xC1", "\xE0\x80\x80",
                                "\xED\xA0\x80", "\xF5\x80", "\x80", "\xBF\xBF", "\xC3", "\xE2\x82", "\xFF",
                                "\xEF\xBF\xBD", Bytes(1, '\0')};
  std::mt19937 rng(7);
  for (int round = 0; round < 20000; ++round) {
    Bytes b;
    const bool latinOnly = round % 2 == 0;  // long runs the fast road takes whole
    size_t want = 1 + rng() % 300;
    while (b.size() < want) {
      size_t k = latinOnly ? rng() % 6 : rng() % std::size(pieces);
      b += pieces[k];
    }
    bool suspect = false, refSuspect = false;
    Text ref = ByteWise(b, refSuspect);
    Text got = UTF8_DecodeChecked(b, suspect);
    ASSERT_TEXT_EQ(got, ref) << "round " << round;
    ASSERT_EQ(suspect, refSuspect) << "round " << round;
    // The same bytes in pieces, what a piece leaves over going on with the next.
    Text pieced;
    bool pieceSuspect = false;
    Bytes left;
    for (size_t at = 0; at <= b.size();) {
      size_t step = 1 + rng() % 40;
      Bytes piece = left + b.substr(at, step);
      at += step;
      bool last = at >= b.size();
      std::vector<char16_t> out(piece.size() + 1);
      size_t used = 0;
      size_t n = UTF8_DecodePiece(piece, last, out.data(), used, pieceSuspect);
      pieced.append(out.data(), n);
      left = piece.substr(used);
      if (last) {
        ASSERT_TRUE(left.empty());
        break;
      }
    }
    ASSERT_TEXT_EQ(pieced, ref) << "round " << round << " in pieces";
    ASSERT_EQ(pieceSuspect, refSuspect) << "round " << round << " in pieces";
  }
}
