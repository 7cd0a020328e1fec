#pragma once
// Helpers shared by the test programs.
#include <string>

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

}  // namespace testutil

// gtest prints char16_t strings poorly; compare through UTF-8.
#define EXPECT_TEXT_EQ(a, b) EXPECT_EQ(txt::ToUtf8(a), txt::ToUtf8(b))
#define ASSERT_TEXT_EQ(a, b) ASSERT_EQ(txt::ToUtf8(a), txt::ToUtf8(b))
