// Real-world shapes (document types with internal subsets, comments and processing
// instructions around the root, mixed content, same-name nesting) read as the reference
// reader reads them, and the fuzzer's corpus replayed through its checks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "XmlOracle.h"

using namespace xmltest;
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool Blank(const std::string& s) { return s.find_first_not_of(" \t\r\n") == std::string::npos; }

// Empty when our node holds what the reader's element holds: name, attributes, children,
// and the text. Content with text beside elements or processing instructions is one text
// value for us, which must hold each of the reader's text pieces in order.
std::string Compare(const XmlNodePtr& ours, pugi::xml_node theirs) {
  std::string at = U(ours->Path());
  if (U(ours->Name()) != theirs.name()) return at + ": name " + theirs.name();
  long i = 0;
  for (pugi::xml_attribute a : theirs.attributes()) {
    if (!*a.value()) continue;
    ++i;
    if (U(ours->AttrName(i)) != a.name() || U(ours->AttrValue(i)) != a.value()) return at + ": attribute " + a.name();
  }
  if (i != ours->AttrCount()) return at + ": attribute count";
  std::vector<pugi::xml_node> elements;
  std::vector<std::string> texts;
  bool mixed = false, pi = false;
  for (pugi::xml_node c : theirs.children()) {
    if (c.type() == pugi::node_element) elements.push_back(c);
    pi = pi || c.type() == pugi::node_pi;
    if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) {
      texts.push_back(c.value());
      mixed = mixed || !Blank(c.value());
    }
  }
  if (!elements.empty() && !mixed) {
    if (ours->ChildCount() != static_cast<long>(elements.size())) return at + ": child count";
    for (size_t k = 0; k < elements.size(); ++k)
      if (std::string d = Compare(ours->Child(static_cast<long>(k) + 1), elements[k]); !d.empty()) return d;
    return "";
  }
  if (ours->ChildCount() != 0) return at + ": children where the reader has text";
  std::string value = U(txt::Replace(ours->Value(), u"\r\n", u"\n"));
  if (elements.empty() && !pi) {
    std::string all;
    for (auto& t : texts) all += t;
    return value == all || (Blank(value) && Blank(all)) ? "" : at + ": text [" + value + "] vs [" + all + "]";
  }
  size_t from = 0;
  for (auto& t : texts) {
    size_t f = value.find(t, from);
    if (f == std::string::npos) return at + ": lost text [" + t + "] from [" + value + "]";
    from = f + t.size();
  }
  return "";
}

}  // namespace

TEST(XmlRealWorld, ExcerptsReadAsTheReferenceReaderReadsThem) {
  int files = 0;
  for (const auto& e : fs::directory_iterator(fs::path(KSV_TEST_DATA) / "xml")) {
    SCOPED_TRACE(e.path().filename().string());
    std::string bytes = ReadFile(e.path());
    pugi::xml_document ref;
    ASSERT_TRUE(ref.load_buffer(bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_pi));
    Text text = mStringTools::UTF8_DecodeBytes(bytes);
    EXPECT_EQ(CheckDocument(text), "");
    EXPECT_EQ(Compare(Doc(bytes.c_str()), ref.document_element()), "");
    EXPECT_EQ(Compare(cXmlNode::FromXml(text), ref.document_element()), "");
    ++files;
  }
  EXPECT_GE(files, 6);
}

// Every input the fuzzer kept, and every fault it found, holds the same checks here.
TEST(XmlRealWorld, FuzzCorpusHoldsTheReaderChecks) {
  int files = 0;
  for (const auto& e : fs::directory_iterator(fs::path(KSV_TEST_DATA) / "fuzz" / "xml")) {
    std::string bytes = ReadFile(e.path());
    EXPECT_EQ(CheckFuzzInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "")
        << e.path().filename().string();
    ++files;
  }
  EXPECT_GT(files, 0);
}
