#pragma once
// Helpers shared by the test programs.
#include <string>
#include <vector>

#include "platform/ErrLog.h"
#include "platform/Text.h"

namespace testutil {

// A fresh, empty folder under the temporary folder, removed when the object dies.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  Text tfile(const std::string& name) const { return txt::FromUtf8(file(name)); }

 private:
  std::string path_;
};

std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
inline bool Contains(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

// The next scripted answer of a message box, or `otherwise` once the script has run dry.
template <class Queue>
int NextAnswer(Queue& script, int otherwise) {
  if (script.empty()) return otherwise;
  int a = script.front();
  script.erase(script.begin());
  return a;
}

// Collects the common log's lines (as UTF-8) for the life of the object.
struct LogCapture {
  std::vector<std::string> lines;
  LogCapture() {
    ErrLog::SetSink([this](const Text& l) { lines.push_back(txt::ToUtf8(l)); });
  }
  ~LogCapture() { ErrLog::SetSink({}); }
  bool Has(const std::string& part) const {
    for (auto& l : lines)
      if (Contains(l, part)) return true;
    return false;
  }
};

}  // namespace testutil

// gtest prints char16_t strings poorly; compare through UTF-8.
#define EXPECT_TEXT_EQ(a, b) EXPECT_EQ(txt::ToUtf8(a), txt::ToUtf8(b))
#define ASSERT_TEXT_EQ(a, b) ASSERT_EQ(txt::ToUtf8(a), txt::ToUtf8(b))
