#include "storage/mFileUtils.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/FileSys.h"
#include "platform/ErrLog.h"

namespace fs = platform::fs;

namespace mFileUtils {
namespace {

inline bool IsSep(char16_t c) { return c == u'\\' || c == u'/'; }

size_t LastSep(TextView p) {
  size_t a = p.rfind(u'\\'), b = p.rfind(u'/');
  if (a == TextView::npos) return b;
  if (b == TextView::npos) return a;
  return a > b ? a : b;
}

bool HasWildcard(TextView s) { return s.find_first_of(u"*?") != TextView::npos; }

// The one search FindFile keeps open between calls.
struct Search {
  std::vector<Text> names;
  size_t next = 0;
};
Search g_search;

std::vector<Text> MatchFolder(TextView pattern, long attributes) {
  std::vector<Text> result;
  size_t sep = LastSep(pattern);
  Text dir = sep == TextView::npos ? Text() : Text(pattern.substr(0, sep + 1));
  Text mask(sep == TextView::npos ? pattern : pattern.substr(sep + 1));
  if (mask.empty()) return result;
  std::string native = dir.empty() ? std::string(".") : NativePath(dir);
  std::vector<fs::DirEntry> entries;
  if (!fs::ListDir(native, entries)) return result;
  for (auto& e : entries) {
    Text name = txt::FromUtf8(e.name);
    if (e.isDir && !(attributes & ATTR_DIRECTORY)) continue;
    if (!name.empty() && name[0] == u'.' && !(attributes & ATTR_HIDDEN)) continue;
    if (WildcardMatch(mask, name)) result.push_back(std::move(name));
  }
  return result;
}

}  // namespace

Text AddBackSlash(TextView path) {
  if (!path.empty() && IsSep(path.back())) return Text(path);
  return Text(path) + u"\\";
}

Text AddDirSep(TextView path) {
  if (!path.empty() && IsSep(path.back())) return Text(path);
  return Text(path) + u"/";
}

Text FilePathOnly(TextView path) {
  size_t s = LastSep(path);
  if (s == TextView::npos) return Text();
  return Text(path.substr(0, s));
}

Text FileNameOnly(TextView path) {
  size_t s = LastSep(path);
  if (s == TextView::npos) return Text(path);
  return Text(path.substr(s + 1));
}

Text FileExtention(TextView path) {
  size_t dot = path.rfind(u'.');
  if (dot == TextView::npos) return Text();
  size_t s = LastSep(path);
  if (s != TextView::npos && s > dot) return Text();
  return Text(path.substr(dot + 1));
}

Text AddLongPathPrefix(TextView path) {
  if (path.size() >= 2 && path[1] == u':' && path.substr(0, 2) != u"\\\\") return u"\\\\?\\" + Text(path);
  return Text(path);
}

Text PathRoot(TextView path) {
  Text p = txt::Replace(path, u"/", u"\\");
  if (p.rfind(u"\\\\?\\", 0) == 0) p.erase(0, 4);
  if (p.rfind(u"\\\\", 0) == 0) {
    size_t server = p.find(u'\\', 2);
    if (server == Text::npos) return p;
    size_t share = p.find(u'\\', server + 1);
    return share == Text::npos ? p : p.substr(0, share);
  }
  if (p.size() >= 3 && p[1] == u':' && p[2] == u'\\') return p.substr(0, 3);
  return Text();
}

std::string NativePath(TextView path) {
  Text p(path);
  if (p.rfind(u"\\\\?\\", 0) == 0) p.erase(0, 4);
  for (auto& c : p)
    if (c == u'\\') c = u'/';
  return txt::ToUtf8(p);
}

Text FromNativePath(const std::string& path) { return txt::FromUtf8(path); }

bool WildcardMatch(TextView pattern, TextView name) {
  // Iterative match with one backtrack point per "*": linear in practice, never recursive.
  size_t p = 0, n = 0, starP = TextView::npos, starN = 0;
  auto lower = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; };
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || (pattern[p] != u'*' && lower(pattern[p]) == lower(name[n])))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++;
      starN = n;
    } else if (starP != TextView::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

Text GetFullPath(TextView path) {
  if (path.empty()) return Text();
  Text p = txt::Replace(path, u"\\", u"/");
  if (p[0] != u'/') p = txt::FromUtf8(fs::CurrentDir()) + u"/" + p;
  bool trailing = p.size() > 1 && p.back() == u'/';
  std::vector<Text> parts;
  size_t i = 0;
  while (i <= p.size()) {
    size_t j = p.find(u'/', i);
    if (j == Text::npos) j = p.size();
    Text part = p.substr(i, j - i);
    if (part == u"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != u".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  Text r;
  for (auto& part : parts) r += u"/" + part;
  if (r.empty()) r = u"/";
  if (trailing && r != u"/") r += u"/";
  return r;
}

bool FileExists(TextView path, double* size, VbDate* date) {
  fs::Info i = fs::Stat(NativePath(path));
  if (!i.exists || i.isDir) return false;
  if (size) *size = static_cast<double>(i.size);
  if (date) *date = vbdate::FromUnix(i.mtime, false);
  return true;
}

double FileLen(TextView path) {
  double s = 0;
  return FileExists(path, &s) ? s : 0;
}

VbDate FileDate(TextView path, bool local) {
  fs::Info i = fs::Stat(NativePath(path));
  if (!i.exists || i.isDir) return 0;
  return vbdate::FromUnix(i.mtime, local);
}

bool FolderExists(TextView path) {
  Text p(path);
  while (p.size() > 1 && IsSep(p.back())) p.pop_back();
  if (p.empty()) return false;
  fs::Info i = fs::Stat(NativePath(p));
  return i.exists && i.isDir;
}

Text FindFile(TextView pattern, long attributes) {
  if (!pattern.empty()) {
    g_search = Search{};
    g_search.names = MatchFolder(pattern, attributes);
  }
  if (g_search.next >= g_search.names.size()) {
    g_search = Search{};
    return Text();
  }
  Text r = g_search.names[g_search.next++];
  if (g_search.next >= g_search.names.size()) g_search = Search{};
  return r;
}

std::vector<Text> GetFileList(TextView pattern, long attributes) { return MatchFolder(pattern, attributes); }

long GetAttributes(TextView path) {
  std::string n = NativePath(path);
  fs::Info i = fs::Stat(n);
  if (!i.exists) return -1;
  long a = 0;
  if (i.readOnly) a |= ATTR_READONLY;
  Text name = FileNameOnly(path);
  if (!name.empty() && name[0] == u'.') a |= ATTR_HIDDEN;
  if (i.isDir) a |= ATTR_DIRECTORY;
  if (a == 0) a = ATTR_NORMAL;
  return a;
}

bool SetAttributes(TextView path, long attributes) {
  // Only the read-only bit has a meaning here; hidden is a matter of the name.
  return fs::SetReadOnly(NativePath(path), (attributes & ATTR_READONLY) != 0);
}

bool CreateFolderPath(TextView path) {
  Text p = txt::Replace(path, u"\\", u"/");
  if (p.rfind(u"//?/", 0) == 0) p.erase(0, 4);
  while (p.size() > 1 && p.back() == u'/') p.pop_back();
  if (p.empty()) return false;
  if (FolderExists(p)) return true;
  // The root that is kept as it is: "/" or a "//server/share" prefix.
  size_t start = 0;
  if (p.rfind(u"//", 0) == 0) {
    size_t server = p.find(u'/', 2);
    size_t share = server == Text::npos ? Text::npos : p.find(u'/', server + 1);
    start = share == Text::npos ? p.size() : share + 1;
  } else if (p[0] == u'/') {
    start = 1;
  }
  size_t pos = start;
  while (pos <= p.size()) {
    size_t next = p.find(u'/', pos);
    if (next == Text::npos) next = p.size();
    Text level = p.substr(0, next);
    if (!level.empty() && !FolderExists(level)) {
      if (!fs::MakeDir(NativePath(level)) && errno != EEXIST) {
        ErrLog::Error(errno, txt::FromUtf8(std::strerror(errno)), "mFileUtils", "CreateFolderPath",
                      ErrLog::Kind::Function);
        return false;
      }
    }
    pos = next + 1;
  }
  return FolderExists(p);
}

bool DeleteFiles(TextView pattern, bool force) {
  Text dir = FilePathOnly(pattern);
  std::vector<Text> names;
  if (HasWildcard(FileNameOnly(pattern))) names = GetFileList(pattern, ATTR_HIDDEN);
  else if (FileExists(pattern)) names.push_back(FileNameOnly(pattern));
  bool ok = true;
  for (auto& n : names) {
    Text full = dir.empty() ? n : AddDirSep(dir) + n;
    std::string native = NativePath(full);
    // Any failure that matters shows in the removal itself.
    if (force) (void)fs::SetReadOnly(native, false);
    if (!fs::Remove(native) && errno != ENOENT) ok = false;
  }
  return ok;
}

bool RemoveFolder(TextView path) {
  Text p(path);
  while (p.size() > 1 && IsSep(p.back())) p.pop_back();
  return fs::RemoveDir(NativePath(p));
}

bool KillFolder(TextView path, bool recursive, std::vector<Text>* errors) {
  Text p(path);
  while (p.size() > 1 && IsSep(p.back())) p.pop_back();
  if (!FolderExists(p)) return false;
  // Depth-first without recursion so a deep tree cannot exhaust the stack.
  struct Item {
    Text dir;
    bool expanded;
  };
  std::vector<Item> stack{{p, false}};
  bool ok = true;
  auto fail = [&](const Text& what) {
    ok = false;
    if (errors) errors->push_back(what + u" : " + txt::FromUtf8(std::strerror(errno)));
  };
  while (!stack.empty()) {
    Item& top = stack.back();
    if (!top.expanded) {
      top.expanded = true;
      Text dir = top.dir;
      std::vector<fs::DirEntry> entries;
      if (!fs::ListDir(NativePath(dir), entries)) {
        fail(dir);
        continue;
      }
      std::vector<Text> subs;
      for (auto& e : entries) {
        Text full = AddDirSep(dir) + txt::FromUtf8(e.name);
        // A link is removed as a link: never descend into the folder it points to.
        if (e.isDir && !e.isLink) {
          if (recursive) subs.push_back(full);
          continue;
        }
        std::string native = NativePath(full);
        (void)fs::SetReadOnly(native, false);
        if (!fs::Remove(native)) fail(full);
      }
      for (auto& s : subs) stack.push_back({s, false});
      continue;
    }
    Text dir = top.dir;
    stack.pop_back();
    if (!fs::RemoveDir(NativePath(dir))) fail(dir);
  }
  return ok && !FolderExists(p);
}

bool MoveFileTo(TextView from, TextView to) { return fs::MoveNoReplace(NativePath(from), NativePath(to)); }

bool GetVolumeInfo(TextView driveLetter, Text* label, long* serial, Text* fileSystem) {
  if (driveLetter.empty()) return false;
  char16_t c = driveLetter[0];
  if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  if (c < u'A' || c > u'Z') return false;
  // No drive letters here: every letter answers for the root file system.
  struct statvfs sv {};
  if (::statvfs("/", &sv) != 0) return false;
  if (label) label->clear();
  if (serial) *serial = static_cast<long>(sv.f_fsid & 0x7FFFFFFF);
  if (fileSystem) {
    fileSystem->clear();
    std::ifstream mounts("/proc/mounts");
    std::string dev, mnt, type;
    while (mounts >> dev >> mnt >> type) {
      if (mnt == "/") *fileSystem = txt::FromUtf8(type);
      mounts.ignore(1 << 12, '\n');
    }
  }
  return true;
}

}  // namespace mFileUtils
