#include "platform/ProcessTools.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace platform::proc {

std::vector<std::string> SplitCommandLine(std::string_view s) {
  std::vector<std::string> out;
  size_t i = 0, n = s.size();
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (i < n && blank(s[i])) ++i;
  if (i >= n) return out;

  // The program name: no escapes, so a quoted "C:\dir\" stays whole.
  std::string prog;
  if (s[i] == '"') {
    ++i;
    while (i < n && s[i] != '"') prog += s[i++];
    if (i < n) ++i;
  } else {
    while (i < n && !blank(s[i])) prog += s[i++];
  }
  out.push_back(prog);

  while (true) {
    while (i < n && blank(s[i])) ++i;
    if (i >= n) break;
    std::string arg;
    bool quoted = false;
    while (i < n) {
      char c = s[i];
      if (!quoted && blank(c)) break;
      if (c == '\\') {
        size_t k = 0;
        while (i < n && s[i] == '\\') {
          ++k;
          ++i;
        }
        if (i < n && s[i] == '"') {
          arg.append(k / 2, '\\');
          if (k % 2 == 1) {
            arg += '"';
            ++i;
          }
          // an even run leaves the quote for the next round, which toggles quoting
        } else {
          arg.append(k, '\\');
        }
        continue;
      }
      if (c == '"') {
        if (quoted && i + 1 < n && s[i + 1] == '"') {
          arg += '"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      arg += c;
      ++i;
    }
    out.push_back(std::move(arg));
  }
  return out;
}

bool IsExecutable(const std::string& path) {
  if (path.empty()) return false;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  if (!S_ISREG(st.st_mode)) return false;
  return ::access(path.c_str(), X_OK) == 0;
}

std::string FindOnPath(const std::string& name, const char* pathVariable) {
  if (name.empty()) return std::string();
  if (name.find('/') != std::string::npos) return IsExecutable(name) ? name : std::string();
  const char* pv = pathVariable ? pathVariable : std::getenv("PATH");
  if (!pv) return std::string();
  std::string_view paths(pv);
  size_t start = 0;
  while (start <= paths.size()) {
    size_t end = paths.find(':', start);
    if (end == std::string_view::npos) end = paths.size();
    std::string dir(paths.substr(start, end - start));
    if (dir.empty()) dir = ".";
    std::string full = dir + (dir.back() == '/' ? "" : "/") + name;
    if (IsExecutable(full)) return full;
    start = end + 1;
  }
  return std::string();
}

std::string ExecutablePath() {
  char buf[PATH_MAX + 1];
  ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
  if (n <= 0) return std::string();
  return std::string(buf, static_cast<size_t>(n));
}

std::string ExecutableFolder() {
  std::string p = ExecutablePath();
  size_t s = p.rfind('/');
  if (s == std::string::npos) return std::string();
  return p.substr(0, s + 1);
}

std::string TempFolder() {
  std::string dir;
  if (const char* t = std::getenv("TMPDIR")) {
    struct stat st {};
    if (*t && ::stat(t, &st) == 0 && S_ISDIR(st.st_mode)) dir = t;
  }
  if (dir.empty()) dir = "/tmp";
  if (dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace platform::proc
