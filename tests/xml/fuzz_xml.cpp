// libFuzzer target: every input goes through both parses and the writer, judged by an
// independent reader (see XmlOracle.h); then sleep, copy and merge must survive it.
#include <cstdio>
#include <cstdlib>

#include "XmlOracle.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string fault = xmltest::CheckFuzzInput(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "%s\n", fault.c_str());
    std::abort();
  }
  if (size == 0) return 0;
  auto doc = cXmlNode::New();
  doc->XmlData(txt::FromBytes(BytesView(reinterpret_cast<const char*>(data), size)));
  if (auto c = doc->Clone()) c->XmlData();
  doc->Sleep();
  doc->MergeXml(doc->Clone());
  return 0;
}
