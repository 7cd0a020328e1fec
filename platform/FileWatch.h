#pragma once
// Notice when files change on disk, by the system's file-change notification. A file
// replaced by renaming another over it (how careful programs save) or deleted and written
// again stays watched. Changes are reported once per burst, on the GUI thread.
#include <functional>
#include <memory>
#include <vector>

#include "platform/Text.h"

namespace platform {

class FileWatch {
 public:
  FileWatch();
  ~FileWatch();
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;

  // Replaces the set of watched files; a missing file is watched for its return.
  void SetFiles(const std::vector<Text>& paths);
  std::vector<Text> Files() const;
  // Quiet time after the last change before it is reported, so a writer has finished.
  void DelayMs(int ms);

  // The path as given to SetFiles.
  std::function<void(const Text& path)> Changed;

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace platform
