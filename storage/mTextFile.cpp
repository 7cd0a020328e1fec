#include "storage/mTextFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>
#ifdef __SSE2__
#include <immintrin.h>
#endif

#include "platform/ErrLog.h"
#include "platform/EventLoop.h"
#include "platform/FileSys.h"
#include "storage/mFileUtils.h"
#include "storage/mStringTools.h"

namespace fs = platform::fs;
using mFileUtils::NativePath;

namespace mTextFile {
namespace {

constexpr long kDeleteRetries = 20;

Text ErrText(int e) { return txt::FromUtf8(std::strerror(e)); }

// Only allocation can throw in these routines.
void LogCaught(const char* routine) {
  ErrLog::Error(7, u"Out of memory", "mTextFile", routine, ErrLog::Kind::Function);
}

inline bool IsSep(char16_t c) { return c == u'\\' || c == u'/'; }

// The folder part of a path with its separator ("" for a bare name, "/" for the root), so
// that folder + name always rebuilds a path in the same place.
Text DirWithSep(TextView path) {
  size_t i = path.size();
  while (i > 0 && !IsSep(path[i - 1])) --i;
  return Text(path.substr(0, i));
}

Text Join(TextView dirWithSep, TextView name) {
  if (dirWithSep.empty()) return Text(name);
  return mFileUtils::AddDirSep(dirWithSep) + Text(name);
}

bool EntryExists(TextView path) { return fs::Stat(NativePath(path)).exists; }

Text NumberText(long n) {
  Text s = txt::FromInt(n);
  while (s.size() < 3) s.insert(s.begin(), u'0');
  return s;
}

// What SaveFile writes: ready bytes, or a text encoded to UTF-8 piece by piece while it is
// written (a multi-megabyte language file then never needs a second full-size copy).
struct Payload {
  Bytes bytes;
  TextView utf8Text;
  bool streamUtf8 = false;
};

// Converts the data as SaveFile's parameters ask. False when a non-empty text has no
// representation (an unknown code page), so nothing is replaced by an empty file.
bool BuildPayload(TextView data, bool isText, int mode, bool writeMark, int codePage, Payload& out) {
  using namespace mStringTools;
  if (!isText) {
    out.bytes = txt::ToBytes(data);
    return true;
  }
  TextView body = data;
  if (!body.empty() && body[0] == 0xFEFF) body.remove_prefix(1);
  switch (mode) {
    case ModeUnicode:
      out.bytes = writeMark ? Bytes("\xFF\xFE") : Bytes();
      out.bytes += TextToUTF16LE(body);
      return true;
    case ModeUTF8:
      out.bytes = writeMark ? Bytes("\xEF\xBB\xBF") : Bytes();
      out.utf8Text = body;
      out.streamUtf8 = true;
      return true;
    case ModeANSI:
      out.bytes = StrUnicodeToCodePage(body, codePage);
      return !out.bytes.empty() || body.empty();
    default: {
      // A byte string is written as it stands; real text (or anything a byte cannot carry)
      // goes through the system code page rather than losing its high bytes.
      bool wide = false;
      for (char16_t c : data)
        if (c > 0xFF) {
          wide = true;
          break;
        }
      if (wide || IsUnicode(TextToUTF16LE(data))) {
        out.bytes = StrUnicodeToCodePage(data, CP_WINDOWS_1252);
        return !out.bytes.empty() || data.empty();
      }
      out.bytes = txt::ToBytes(data);
      return true;
    }
  }
}

// Leading blocks of eight characters below U+0800 (ASCII and accented Latin, Greek,
// Cyrillic...) encoded at once; returns how many characters were consumed (a multiple of
// eight) and moves o on. Stops at the first block holding a wider character.
#ifdef __SSE2__
inline bool NarrowBlock(__m128i v) {
  return _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xF800))),
                                           _mm_setzero_si128())) == 0xFFFF;
}

size_t NarrowBlocksSse2(const char16_t* s, size_t n, unsigned char*& o) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    // The text is read once from memory: ask for it well ahead of use.
    _mm_prefetch(reinterpret_cast<const char*>(s + i) + 2048, _MM_HINT_T0);
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    int ascii = _mm_movemask_epi8(
        _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80))), _mm_setzero_si128()));
    if (ascii == 0xFFFF) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(v, v));
      o += 8;
      continue;
    }
    if (!NarrowBlock(v)) break;
    for (int k = 0; k < 8; ++k) {
      uint32_t c = s[i + k];
      uint32_t two = c >= 0x80;
      o[0] = static_cast<unsigned char>(two ? (0xC0 | (c >> 6)) : c);
      o[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      o += 1 + two;
    }
  }
  return i;
}

// For each set of ASCII lanes (bit k: character k is ASCII), the byte shuffle that keeps
// each character's lead byte and, for the others, its continuation byte.
struct NarrowShuffles {
  alignas(16) uint8_t shuffle[256][16];
  uint8_t length[256];
};

constexpr NarrowShuffles MakeNarrowShuffles() {
  NarrowShuffles t{};
  for (int m = 0; m < 256; ++m) {
    int pos = 0;
    for (int k = 0; k < 8; ++k) {
      t.shuffle[m][pos++] = static_cast<uint8_t>(2 * k);
      if (!((m >> k) & 1)) t.shuffle[m][pos++] = static_cast<uint8_t>(2 * k + 1);
    }
    t.length[m] = static_cast<uint8_t>(pos);
    while (pos < 16) t.shuffle[m][pos++] = 0x80;
  }
  return t;
}
constexpr NarrowShuffles kNarrowShuffles = MakeNarrowShuffles();

// The same with one byte shuffle per block instead of a branch per character.
__attribute__((target("ssse3"))) size_t NarrowBlocksSsse3(const char16_t* s, size_t n, unsigned char*& o) {
  const __m128i zero = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    _mm_prefetch(reinterpret_cast<const char*>(s + i) + 2048, _MM_HINT_T0);
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    if (!NarrowBlock(v)) break;
    __m128i isAscii = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80))), zero);
    // Each lane as [lead, continuation] in memory order.
    __m128i lead2 = _mm_or_si128(_mm_srli_epi16(v, 6), _mm_set1_epi16(0x00C0));
    __m128i lead = _mm_or_si128(_mm_and_si128(isAscii, v), _mm_andnot_si128(isAscii, lead2));
    __m128i cont = _mm_slli_epi16(_mm_or_si128(_mm_and_si128(v, _mm_set1_epi16(0x3F)), _mm_set1_epi16(0x80)), 8);
    __m128i pairs = _mm_or_si128(lead, cont);
    int mask = _mm_movemask_epi8(_mm_packs_epi16(isAscii, zero)) & 0xFF;
    __m128i shuffle = _mm_load_si128(reinterpret_cast<const __m128i*>(kNarrowShuffles.shuffle[mask]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(pairs, shuffle));
    o += kNarrowShuffles.length[mask];
  }
  return i;
}

using NarrowBlocksFn = size_t (*)(const char16_t*, size_t, unsigned char*&);
NarrowBlocksFn PickNarrowBlocks() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("ssse3") ? NarrowBlocksSsse3 : NarrowBlocksSse2;
}
#endif

// UTF-8 of s[0..n) into o, which has room for 3 * n + 16 bytes; returns the bytes written.
// The same bytes as mStringTools::UTF8_EncodeBytes (a lone surrogate becomes U+FFFD), but
// into a reused buffer with no zero-filled allocation per piece.
size_t EncodeUtf8Into(const char16_t* s, size_t n, unsigned char* o) {
#ifdef __SSE2__
  static const NarrowBlocksFn narrowBlocks = PickNarrowBlocks();
#endif
  unsigned char* const start = o;
  size_t i = 0;
  while (i < n) {
#ifdef __SSE2__
    i += narrowBlocks(s + i, n - i, o);
    if (i >= n) break;
#endif
    uint32_t c = s[i];
    if (c < 0x80) {
      *o++ = static_cast<unsigned char>(c);
      ++i;
    } else if (c < 0x800) {
      o[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
      o[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      o += 2;
      ++i;
    } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      uint32_t cp = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      o[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
      o[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
      o[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
      o[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
      o += 4;
      i += 2;
    } else {
      if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
      o[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
      o[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
      o[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
      o += 3;
      ++i;
    }
  }
  return static_cast<size_t>(o - start);
}

// True when every byte was written; errno tells why not.
bool WritePayload(int fd, const Payload& p) {
  try {
    if (!p.bytes.empty() &&
        fs::WriteAll(fd, p.bytes.data(), p.bytes.size()) != static_cast<int64_t>(p.bytes.size()))
      return false;
    if (!p.streamUtf8) return true;
    // Pieces small enough to stay in the cache between encoding and writing.
    constexpr size_t kChunk = 128 * 1024;
    // The disk starts on each written megabyte while the next ones are encoded.
    constexpr int64_t kWriteback = 1 << 20;
    std::unique_ptr<unsigned char[]> buf(new unsigned char[kChunk * 3 + 16]);
    int64_t written = static_cast<int64_t>(p.bytes.size()), kicked = 0;
    TextView rest = p.utf8Text;
    while (!rest.empty()) {
      size_t n = rest.size() < kChunk ? rest.size() : kChunk;
      // Never split a surrogate pair between two pieces.
      if (n < rest.size() && rest[n - 1] >= 0xD800 && rest[n - 1] <= 0xDBFF) --n;
      size_t len = EncodeUtf8Into(rest.data(), n, buf.get());
      if (fs::WriteAll(fd, buf.get(), len) != static_cast<int64_t>(len)) return false;
      rest.remove_prefix(n);
      written += static_cast<int64_t>(len);
      if (written - kicked >= kWriteback) {
        fs::StartWriteback(fd, kicked, written - kicked);
        kicked = written;
      }
    }
    return true;
  } catch (const std::exception&) {
    errno = ENOMEM;
    return false;
  }
}

// A date-stamped backup pattern split into what the candidates must look like.
struct StampPattern {
  Text pattern;    // folder + name with "*" where the stamp goes
  Text dir;        // folder with its separator
  Text mask;       // file-name part
  size_t star = 0;
};

StampPattern Widen(TextView pattern, TextView format, bool convert) {
  StampPattern sp;
  sp.pattern = Text(pattern);
  if (pattern.find(u'*') == TextView::npos) {
    Text ext = mFileUtils::FileExtention(pattern);
    Text dot = ext.empty() ? Text() : u"." + ext;
    if (convert) {
      Text dir = DirWithSep(pattern);
      for (const Text& name : mFileUtils::GetFileList(Text(pattern) + u".???.bak", mFileUtils::ATTR_HIDDEN)) {
        size_t cut = ext.size() + (ext.empty() ? 8 : 9);
        if (name.size() <= cut) continue;
        Text from = Join(dir, name);
        Text stamp = vbdate::Format(mFileUtils::FileDate(from, true), format);
        Text to = Join(dir, name.substr(0, name.size() - cut) + u"_" + stamp + dot);
        if (!mFileUtils::MoveFileTo(from, to)) ErrLog::Line(u"Error while moving file : " + from + u" => " + to);
      }
    }
    Text stem(pattern.substr(0, pattern.size() - dot.size()));
    sp.pattern = stem + u"_*" + dot;
  }
  sp.dir = DirWithSep(sp.pattern);
  sp.mask = sp.pattern.substr(sp.dir.size());
  sp.star = sp.mask.find(u'*');
  return sp;
}

// Stamped backups matching the pattern, with their dates. Only names whose stamp is a real
// date in the exact format count: a user's own "name_notes.xml" must never be purged.
struct Stamped {
  Text name;
  VbDate date;
};

std::vector<Stamped> ListStamped(const StampPattern& sp, TextView format) {
  std::vector<Stamped> out;
  if (sp.star == Text::npos || format.empty()) return out;
  TextView afterStar = TextView(sp.mask).substr(sp.star + 1);
  for (const Text& name : mFileUtils::GetFileList(sp.pattern, mFileUtils::ATTR_HIDDEN)) {
    if (name.size() < sp.star + format.size()) continue;
    Text stamp = name.substr(sp.star, format.size());
    if (!mFileUtils::WildcardMatch(afterStar, TextView(name).substr(sp.star + format.size()))) continue;
    VbDate d = ParseDate(stamp, format);
    if (vbdate::Format(d, format) != stamp) continue;
    out.push_back({name, d});
  }
  return out;
}

}  // namespace

int64_t LoadFile(TextView path, Bytes& buffer, int64_t offset, int64_t length) {
  buffer.clear();
  try {
    std::string native = NativePath(path);
    if (native.empty()) return 0;
    fs::File f = fs::File::ForRead(native);
    if (!f.IsOpen()) return 0;
    int64_t size = static_cast<int64_t>(fs::Stat(native).size);
    int64_t start = offset > 0 ? offset : 0;
    if (start >= size) return 0;
    int64_t want = size - start;
    if (length >= 1 && length < want) want = length;
    buffer.resize(static_cast<size_t>(want));
    int64_t got = fs::ReadAt(f.fd(), buffer.data(), buffer.size(), start);
    if (got <= 0) {
      buffer.clear();
      return 0;
    }
    buffer.resize(static_cast<size_t>(got));
    return got;
  } catch (const std::exception&) {
    buffer.clear();
    buffer.shrink_to_fit();
    LogCaught("LoadFile");
    return 0;
  }
}

namespace {

// The whole file in a buffer that is not cleared before the read fills it.
struct WholeFile {
  std::unique_ptr<char[]> bytes;
  size_t size = 0;
  BytesView view() const { return BytesView(bytes.get(), size); }
};

bool ReadWhole(TextView path, WholeFile& out) {
  std::string native = NativePath(path);
  if (native.empty()) return false;
  fs::File f = fs::File::ForRead(native);
  if (!f.IsOpen()) return false;
  size_t size = static_cast<size_t>(fs::Stat(native).size);
  if (size == 0) return false;
  out.bytes.reset(new char[size]);
  int64_t got = fs::ReadAt(f.fd(), out.bytes.get(), size, 0);
  if (got <= 0) return false;
  out.size = static_cast<size_t>(got);
  return true;
}

constexpr size_t kPiece = 64 << 10;

// The common text file read and decoded a piece at a time, so it never sits in memory whole
// as bytes: UTF-8, with or without its mark, that decodes without a replacement or zero
// character (which rules out UTF-16 as well). False for anything else, which the caller then
// reads whole to find what it is; false too for an empty or unreadable file.
bool ReadUtf8(TextView path, bool keepMark, Text& out, bool& mark, bool& ascii) {
  std::string native = NativePath(path);
  if (native.empty()) return false;
  fs::File f = fs::File::ForRead(native);
  if (!f.IsOpen()) return false;
  const uint64_t size = fs::Stat(native).size;
  if (size == 0) return false;
  std::unique_ptr<char[]> buf(new char[kPiece + 8]);
  bool ok = true;
  size_t body = 0;  // bytes decoded, the mark left out
  size_t marked = 0;
  // Room for every byte as a character, and a mark in front.
  out.resize_and_overwrite(static_cast<size_t>(size) + 1, [&](char16_t* o, size_t) -> size_t {
    size_t w = 0, have = 0;
    uint64_t at = 0;
    bool start = true;
    bool suspect = false;
    while (true) {
      size_t want = static_cast<size_t>(std::min<uint64_t>(kPiece, size - at));
      int64_t got = want ? fs::ReadAt(f.fd(), buf.get() + have, want, static_cast<int64_t>(at)) : 0;
      if (got < 0) return ok = false, 0;
      at += static_cast<uint64_t>(got);
      const bool last = got == 0 || at >= size;
      size_t len = have + static_cast<size_t>(got);
      const char* p = buf.get();
      if (start) {
        if (!last && len < 6) {  // the marks are read from whole
          have = len;
          continue;
        }
        start = false;
        const auto* u = reinterpret_cast<const unsigned char*>(p);
        if (len >= 2 && ((u[0] == 0xFF && u[1] == 0xFE) || (u[0] == 0xFE && u[1] == 0xFF))) return ok = false, 0;
        mark = len >= 3 && u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF;
        if (mark) {
          p += 3;
          len -= 3;
        }
        // A second mark stays with the whole-file road.
        if (len >= 3 && BytesView(p, 3) == "\xEF\xBB\xBF") return ok = false, 0;
        if (keepMark && !mark) {
          o[w++] = char16_t(0xFEFF);
          marked = 1;
        }
      }
      size_t used = 0;
      w += mStringTools::UTF8_DecodePiece(BytesView(p, len), last, o + w, used, suspect);
      if (suspect) return ok = false, 0;
      body += used;
      have = len - used;
      std::memmove(buf.get(), p + used, have);
      if (last) return w;
    }
  });
  ascii = out.size() - marked == body;
  if (!ok) out.clear();
  return ok;
}

}  // namespace

Text LoadTextFile(TextView path, bool asBytes, bool asText, int& mode, bool keepMark, bool* markChanged) {
  try {
    if (asText && !asBytes) {
      Text t;
      bool mark = false, ascii = false;
      if (ReadUtf8(path, keepMark, t, mark, ascii)) {
        // Plain ASCII is read as the code page, as the detection always chose.
        mode = mark || !ascii ? mStringTools::ModeUTF8 : mStringTools::ModeANSI;
        if (markChanged) *markChanged = mark != keepMark;
        ErrLog::Line(u"Loaded text file as " + mStringTools::EncodingModeName(mode) + u" (auto) : " + Text(path));
        return t;
      }
    }
    WholeFile whole;
    if (!ReadWhole(path, whole)) return Text();
    const BytesView data = whole.view();
    if (asBytes) return txt::FromBytes(data);
    if (asText) {
      mode = mStringTools::ModeAutoDetect;
      Text t;
      // Most files are UTF-8: a text without a zero byte or a UTF-16 mark cannot be UTF-16,
      // which spares the statistics pass over every byte. One decoding pass stands for both
      // checks: decoding without a replacement or a zero character means the bytes were
      // UTF-8 without a zero byte.
      const auto* p = reinterpret_cast<const unsigned char*>(data.data());
      bool wideMark = data.size() >= 2 && ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF));
      bool decoded = false;
      if (!wideMark) {
        bool mark = data.size() >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF;
        BytesView body = BytesView(data).substr(mark ? 3 : 0);
        // (The decoder drops one leading mark of its own: a second mark stays with the slow road.)
        bool second = body.size() >= 3 && body.substr(0, 3) == "\xEF\xBB\xBF";
        bool suspect = true;
        if (!second) t = mStringTools::UTF8_DecodeChecked(body, suspect);
        if (!suspect) {
          decoded = true;
          // Plain ASCII is read as the code page, as the detection always chose.
          mode = mark || t.size() < body.size() ? mStringTools::ModeUTF8 : mStringTools::ModeANSI;
          if (keepMark && !mark) t.insert(t.begin(), char16_t(0xFEFF));
          if (markChanged) *markChanged = mark != keepMark;
        }
      }
      if (!decoded) {
        mode = mStringTools::ModeAutoDetect;
        if (!wideMark && std::memchr(p, 0, data.size()) == nullptr && mStringTools::IsUTF8(data)) {
          mode = mStringTools::ModeUTF8;
          bool mark = data.size() >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF;
          t = mStringTools::UTF8_DecodeBytes(BytesView(data).substr(mark && !keepMark ? 3 : 0));
          if (!mark && keepMark) t.insert(t.begin(), char16_t(0xFEFF));
          if (markChanged) *markChanged = mark != keepMark;
        } else {
          t = mStringTools::StrDataToUnicode(data, mode, mStringTools::CP_WINDOWS_1252, keepMark, markChanged);
        }
      }
      ErrLog::Line(u"Loaded text file as " + mStringTools::EncodingModeName(mode) + u" (auto) : " + Text(path));
      return t;
    }
    // The code-page decoder stops at a zero byte; a raw load keeps every byte.
    Text t;
    t.reserve(data.size());
    size_t pos = 0;
    while (pos <= data.size()) {
      size_t z = data.find('\0', pos);
      size_t end = z == Bytes::npos ? data.size() : z;
      t += mStringTools::StrCodePageToUnicode(BytesView(data).substr(pos, end - pos),
                                              mStringTools::CP_WINDOWS_1252);
      if (z == Bytes::npos) break;
      t.push_back(u'\0');
      pos = z + 1;
    }
    ErrLog::Line(u"Loaded file : " + Text(path));
    return t;
  } catch (const std::exception&) {
    LogCaught("LoadTextFile");
    return Text();
  }
}

namespace {

// SaveFile's parameters, handed from step to step.
struct SaveArgs {
  bool isText;
  int mode;
  bool writeMark;
  int codePage;
  long numberedBackups;
  bool append;
  TextView backupFolder;
  long backupDays;
  long minBackupInterval;
};

// Where a running save stands; what it must undo when a later step fails.
struct SaveJob {
  Text file, dir, name;
  Payload payload;
  Text tmp;     // the complete new content, until it takes the path
  Text backup;  // the backup chosen for this save
  bool backupMade = false;
};

SaveOutcome Failure(SaveStep step) {
  int e = errno;
  return SaveOutcome{step, e != 0 ? e : EIO};
}

const char16_t* StepName(SaveStep step) {
  switch (step) {
    case SaveStep::Prepare: return u"checking the path";
    case SaveStep::Convert: return u"converting the text";
    case SaveStep::Folder: return u"creating the folder";
    case SaveStep::Open: return u"creating the file";
    case SaveStep::Write: return u"writing";
    case SaveStep::Flush: return u"flushing";
    case SaveStep::Close: return u"closing";
    case SaveStep::Backup: return u"making the backup";
    case SaveStep::Replace: return u"replacing the old file";
    case SaveStep::None: break;
  }
  return u"";
}

SaveOutcome WriteAndFlush(const fs::File& f, const Payload& payload) {
  if (!WritePayload(f.fd(), payload)) return Failure(SaveStep::Write);
  if (!fs::Fsync(f.fd())) return Failure(SaveStep::Flush);
  return {};
}

// Appends to an existing file in place; a failed write cuts the partial tail off again.
SaveOutcome AppendStep(const Text& file, const Payload& payload) {
  std::string native = NativePath(file);
  fs::File f = fs::File::ForWrite(native, false);
  if (!f.IsOpen()) return Failure(SaveStep::Open);
  int64_t appendFrom = static_cast<int64_t>(fs::Stat(native).size);
  if (!fs::SeekEnd(f.fd())) return Failure(SaveStep::Open);
  SaveOutcome out = WriteAndFlush(f, payload);
  if (!out.ok()) {
    if (!fs::Truncate(f.fd(), appendFrom) || !fs::Fsync(f.fd()))
      ErrLog::Line(u"Error while cutting back appended data: " + file);
    return out;
  }
  if (!f.Close()) return Failure(SaveStep::Close);
  return {};
}

// The whole payload under `tmp`, flushed and closed; on failure nothing stays there.
SaveOutcome WriteTemporary(const Text& tmp, const Text& file, const Payload& payload) {
  SaveOutcome out;
  {
    fs::File f = fs::File::ForWrite(NativePath(tmp), true);
    if (!f.IsOpen()) return Failure(SaveStep::Open);
    // The new file takes the old one's permissions, as an in-place write would keep them;
    // without them it keeps the default ones.
    if (!fs::CopyMode(NativePath(file), f.fd())) ErrLog::Line(u"Permissions not copied to " + tmp);
    out = WriteAndFlush(f, payload);
    if (out.ok() && !f.Close()) out = Failure(SaveStep::Close);
  }
  if (!out.ok() && !KillFile(tmp, kDeleteRetries)) ErrLog::Line(u"Temporary file left: " + tmp);
  return out;
}

// The date-stamped backup name, or "" when a backup of this file is too recent.
Text DatedBackupName(const SaveJob& job, const Text& backupDir, const SaveArgs& a) {
  Text base = Join(backupDir, job.name);
  Text bak = BackupDateFileName(base, a.backupDays, kBackupStampFormat, true);
  VbDate last = a.minBackupInterval > 0 ? LastBackupDate(base, kBackupStampFormat) : 0;
  // A backup stamped this very second already exists: this one is skipped like a too
  // recent one rather than failing the save.
  bool taken = EntryExists(bak);
  if (taken && last == 0) last = vbdate::Now();
  if (taken || (last != 0 && (vbdate::Now() - last) * 1440.0 < static_cast<double>(a.minBackupInterval))) {
    ErrLog::Line(u"Skip file backup [" + job.file + u"] (recent backup date: " +
                 vbdate::Format(last, u"yyyy/mm/dd hh:nn:ss") + u")");
    return Text();
  }
  return bak;
}

// Keeps the old file under the backup name the settings ask for, if any.
SaveOutcome MakeBackup(SaveJob& job, const SaveArgs& a) {
  Text backupDir = a.backupFolder.empty() ? job.dir : Join(job.dir, a.backupFolder);
  bool folderOk = a.backupFolder.empty() || mFileUtils::CreateFolderPath(backupDir);
  if (a.numberedBackups >= 1) {
    if (!folderOk) return Failure(SaveStep::Backup);
    job.backup = BackupFileName(Join(backupDir, job.name), a.numberedBackups, u".bak");
  } else if (a.backupDays > 0) {
    if (!folderOk) ErrLog::Line(u"Error while creating backups folder (" + backupDir + u")");
    job.backup = DatedBackupName(job, backupDir, a);
  }
  if (job.backup.empty()) return {};
  ErrLog::Line(u"Backup previous file in " + Join(a.backupFolder, mFileUtils::FileNameOnly(job.backup)));
  if (!fs::LinkOrCopy(NativePath(job.file), NativePath(job.backup))) return Failure(SaveStep::Backup);
  job.backupMade = true;
  return {};
}

SaveOutcome PutInPlace(SaveJob& job) {
  if (!fs::ReplaceFile(NativePath(job.tmp), NativePath(job.file))) return Failure(SaveStep::Replace);
  job.tmp.clear();
  // The new name must survive a crash too; the content is in place either way.
  if (!fs::FsyncDir(NativePath(job.dir.empty() ? Text(u".") : job.dir)))
    ErrLog::Line(u"Folder not flushed after saving " + job.file);
  return {};
}

// The new content is written complete under a temporary name and only then renamed over
// the old file, so a crash at any moment leaves the whole old or the whole new file at the
// path. A kept backup is a second name of the old file made just before the rename.
SaveOutcome RunSave(SaveJob& job, TextView data, const SaveArgs& a) {
  if (job.file.empty() || IsSep(job.file.back())) return {SaveStep::Prepare, EINVAL};
  if (!BuildPayload(data, a.isText, a.mode, a.writeMark, a.codePage, job.payload)) return {SaveStep::Convert, EILSEQ};
  if (!a.append) ErrLog::Line(u"Save text file as " + mStringTools::EncodingModeName(a.mode) + u" : " + job.file);
  job.dir = DirWithSep(job.file);
  job.name = job.file.substr(job.dir.size());
  if (!job.dir.empty() && !mFileUtils::CreateFolderPath(job.dir)) return Failure(SaveStep::Folder);

  bool exists = mFileUtils::FileExists(job.file);
  if (a.append && exists) return AppendStep(job.file, job.payload);
  if (!exists && EntryExists(job.file)) return {SaveStep::Prepare, EISDIR};  // a folder or other non-file

  Text tmp = BackupFileName(job.file, 99999, u".tmp");
  if (tmp.empty()) return {SaveStep::Open, EEXIST};
  if (SaveOutcome out = WriteTemporary(tmp, job.file, job.payload); !out) return out;
  job.tmp = tmp;
  if (exists)
    if (SaveOutcome out = MakeBackup(job, a); !out) return out;
  return PutInPlace(job);
}

// After a failed step: the temporary file goes, and so does a backup made for this save
// (the old file never moved, so it would only duplicate it).
void UndoSave(const SaveJob& job) {
  if (!job.tmp.empty() && !KillFile(job.tmp, kDeleteRetries)) ErrLog::Line(u"Temporary file left: " + job.tmp);
  if (job.backupMade && !KillFile(job.backup, kDeleteRetries)) ErrLog::Line(u"Extra backup left: " + job.backup);
}

}  // namespace

SaveOutcome SaveFileOutcome(TextView path, TextView data, bool isText, int mode, bool writeMark, int codePage,
                            long numberedBackups, bool append, TextView backupFolder, long backupDays,
                            long minBackupInterval) {
  SaveArgs args{isText, mode, writeMark, codePage, numberedBackups, append, backupFolder, backupDays, minBackupInterval};
  SaveJob job;
  SaveOutcome out;
  try {
    job.file = Text(path);
    out = RunSave(job, data, args);
  } catch (const std::exception&) {
    LogCaught("SaveFile");
    out = {SaveStep::Write, ENOMEM};
  }
  if (out.ok()) return out;
  ErrLog::Line(u"Save failed while " + Text(StepName(out.failedStep)) + u" => " + txt::FromInt(out.error) + u" : " +
               ErrText(out.error) + u" : " + Text(path));
  try {
    UndoSave(job);
  } catch (const std::exception&) {
    LogCaught("SaveFile");
  }
  return out;
}

bool SaveFile(TextView path, TextView data, bool isText, int mode, bool writeMark, int codePage,
              long numberedBackups, bool append, TextView backupFolder, long backupDays, long minBackupInterval) {
  return SaveFileOutcome(path, data, isText, mode, writeMark, codePage, numberedBackups, append, backupFolder,
                         backupDays, minBackupInterval)
      .ok();
}

Text SaveFailureReason(const SaveOutcome& outcome) {
  switch (outcome.error) {
    case 0: return Text();
    case ENOSPC: return u"disk full";
    case EDQUOT: return u"disk quota exceeded";
    case EACCES:
    case EPERM: return u"permission denied";
    case EROFS: return u"read-only disk";
    case EISDIR: return u"a folder has that name";
    case ENOENT:
    case ENOTDIR: return u"the folder does not exist";
    case ENAMETOOLONG: return u"name too long";
    case ENOMEM: return u"out of memory";
    case EILSEQ: return u"the text cannot be written in this encoding";
    case EIO: return u"input/output error";
    default: return txt::LCase(ErrText(outcome.error));
  }
}

Text BackupFileName(TextView base, long maxCount, TextView ext) {
  try {
    Text b(base), e(ext);
    if (maxCount < 1) maxCount = 1;
    for (long n = 1; n <= maxCount; ++n) {
      Text candidate = b + u"." + NumberText(n) + e;
      if (!EntryExists(candidate)) return candidate;
    }
    // All taken: drop the oldest and move the others down one number.
    // A step that fails leaves the returned name taken, so the save using it fails.
    if (!fs::Remove(NativePath(b + u".001" + e))) ErrLog::Line(u"Oldest backup not removed: " + b + u".001" + e);
    for (long n = 2; n <= maxCount; ++n) {
      Text from = b + u"." + NumberText(n) + e;
      if (!fs::MoveNoReplace(NativePath(from), NativePath(b + u"." + NumberText(n - 1) + e)))
        ErrLog::Line(u"Backup not renumbered: " + from);
    }
    return b + u"." + NumberText(maxCount) + e;
  } catch (const std::exception&) {
    LogCaught("BackupFileName");
    return Text();
  }
}

Text BackupDateFileName(TextView pattern, long days, TextView format, bool convert) {
  try {
    StampPattern sp = Widen(pattern, format, convert);
    VbDate today = vbdate::Today();
    for (const Stamped& s : ListStamped(sp, format)) {
      if (vbdate::DayDiff(s.date, today) <= days) continue;
      Text full = Join(sp.dir, s.name);
      ErrLog::Line(u"Suppression fichier BAK (plus de " + txt::FromInt(days) + u" jours) => " + full);
      if (!KillFile(full, kDeleteRetries)) ErrLog::Line(u"Old backup kept: " + full);
    }
    return txt::Replace(sp.pattern, u"*", vbdate::Format(vbdate::Now(), format));
  } catch (const std::exception&) {
    LogCaught("BackupDateFileName");
    return Text();
  }
}

VbDate LastBackupDate(TextView pattern, TextView format) {
  try {
    VbDate newest = 0;
    for (const Stamped& s : ListStamped(Widen(pattern, format, false), format))
      if (newest == 0 || s.date > newest) newest = s.date;
    return newest;
  } catch (const std::exception&) {
    LogCaught("LastBackupDate");
    return 0;
  }
}

VbDate ParseDate(TextView text, TextView format) {
  try {
    Text f = txt::LCase(format);
    auto field = [&](char16_t letter) -> int {
      Text digits;
      for (size_t i = 0; i < f.size() && i < text.size(); ++i)
        if (f[i] == letter) digits.push_back(text[i]);
      // Read like a leading number: digits up to the first other character.
      long long v = 0;
      int count = 0;
      for (char16_t c : digits) {
        if (c < u'0' || c > u'9' || count == 9) break;
        v = v * 10 + (c - u'0');
        ++count;
      }
      return static_cast<int>(v);
    };
    return vbdate::FromParts(field(u'y'), field(u'm'), field(u'd'), field(u'h'), field(u'n'), field(u's'));
  } catch (const std::exception&) {
    LogCaught("ParseDate");
    return 0;
  }
}

bool KillFile(TextView path, long retries) {
  try {
    // On this system a file's own mode has no say over its deletion, so the read-only and
    // hidden attributes need no reset before trying.
    std::string native = NativePath(path);
    if (native.empty()) return true;
    for (long attempt = 0;; ++attempt) {
      if (fs::Remove(native)) return true;
      int e = errno;
      if (e == ENOENT || e == ENOTDIR) return true;
      // Errors that waiting cannot cure are reported at once.
      bool lasting = e == EISDIR || e == EPERM || e == EROFS || e == ENAMETOOLONG || e == ELOOP || e == EINVAL;
      if (attempt >= retries || lasting) {
        ErrLog::Line(u"Erreur " + txt::FromInt(e) + u" dans KillFile : " + ErrText(e));
        return false;
      }
      platform::WaitMs(200);
    }
  } catch (const std::exception&) {
    LogCaught("KillFile");
    return false;
  }
}

}  // namespace mTextFile
