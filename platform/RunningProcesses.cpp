#include "platform/RunningProcesses.h"

#include <dirent.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <string>

namespace platform {

std::vector<Text> RunningImagePaths() {
  std::vector<Text> out;
  DIR* d = ::opendir("/proc");
  if (!d) return out;
  while (struct dirent* e = ::readdir(d)) {
    const char* n = e->d_name;
    if (!std::isdigit(static_cast<unsigned char>(n[0]))) continue;
    std::string base = std::string("/proc/") + n;
    char buf[4096];
    ssize_t len = ::readlink((base + "/exe").c_str(), buf, sizeof buf - 1);
    std::string exe = len > 0 ? std::string(buf, static_cast<size_t>(len)) : std::string();
    if (!exe.empty()) out.push_back(txt::FromUtf8(exe));
    std::ifstream cmd(base + "/cmdline", std::ios::binary);
    std::string first;
    std::getline(cmd, first, '\0');
    if (!first.empty() && first != exe) out.push_back(txt::FromUtf8(first));
  }
  ::closedir(d);
  return out;
}

}  // namespace platform
