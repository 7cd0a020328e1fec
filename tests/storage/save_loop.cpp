// Saves one of two 10 MB language files over the path given, alternately, until killed.
// The kill test runs it as a separate process and kills it at random moments.
#include <cstdio>
#include <string>

#include "storage/mTextFile.h"
#include "tests/storage/SaveLoopContent.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  Text path = txt::FromUtf8(argv[1]);
  const Text contents[2] = {savetest::Content('a'), savetest::Content('b')};
  std::fputs("saving\n", stdout);
  std::fflush(stdout);
  for (unsigned i = 1;; ++i)
    if (!mTextFile::SaveFile(path, contents[i % 2])) return 1;
}
