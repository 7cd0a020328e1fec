// libFuzzer target: arbitrary bytes through the lazy load, one-level and full wake,
// serialization, re-parse, sleep and clone. Any crash, hang or sanitizer report is a bug.
#include <cstddef>
#include <cstdint>

#include "storage/mStringTools.h"
#include "xml/cXmlNode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  BytesView bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  // The first byte picks how the bytes become text: one character per byte, or UTF-16LE
  // so that characters above 255 (and lone surrogates) reach the parser too.
  Text text = (data[0] & 1) ? mStringTools::UTF16LEToText(bytes) : txt::FromBytes(bytes);
  bool utf8 = (data[0] & 2) != 0;

  auto lazy = cXmlNode::New();
  if (utf8) lazy->XMLEncoding(u"utf-8");
  lazy->XmlData(text);
  long n = lazy->ChildCount();
  for (long i = 1; i <= n && i <= 4; ++i)
    if (auto c = lazy->Child(i)) c->ChildCount();
  lazy->NodeCount();
  Text out = lazy->XmlData();

  auto full = cXmlNode::New();
  if (utf8) full->XMLEncoding(u"utf-8");
  full->XmlData___NonRecursif(out);
  Text again = full->XmlData();
  if (auto c = full->Clone()) c->XmlData();
  full->Sleep();
  full->WakeUp(true);
  full->MergeXml(lazy);
  (void)again;
  return 0;
}
