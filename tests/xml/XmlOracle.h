#pragma once
// An independent reader as the judge of the engine: what it accepts, both parses must read
// alike, the writer must turn into text it accepts again, and a second write must not
// change. Shared by the differential fuzzer and the tests that replay its corpus.
#include <pugixml.hpp>

#include <cstdint>
#include <string>

#include "XmlTestUtil.h"
#include "storage/mStringTools.h"
#include "xml/cXmlNode.h"

namespace xmltest {

// Well-formed by the reader's judgement, plus the rules it does not check itself: no zero
// character, one root element, no "<" in attribute values, no "--" inside comments.
inline bool ReaderAccepts(const std::string& utf8) {
  // No XML holds a zero character; the reader stops at one and judges only what precedes it.
  if (utf8.find('\0') != std::string::npos) return false;
  pugi::xml_document doc;
  // Escapes stay undecoded, so a "<" in a value is one the text really holds.
  const unsigned flags = (pugi::parse_default | pugi::parse_comments) & ~pugi::parse_escapes;
  if (!doc.load_buffer(utf8.data(), utf8.size(), flags, pugi::encoding_utf8))
    return false;
  int roots = 0;
  for (pugi::xml_node n : doc.children()) {
    if (n.type() == pugi::node_element) ++roots;
    else if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) return false;
  }
  if (roots != 1) return false;
  bool ok = true;
  struct Walker : pugi::xml_tree_walker {
    bool* ok;
    bool for_each(pugi::xml_node& n) override {
      if (n.type() == pugi::node_comment && std::string(n.value()).find("--") != std::string::npos) *ok = false;
      for (pugi::xml_attribute a : n.attributes())
        if (std::string(a.value()).find('<') != std::string::npos) *ok = false;
      return *ok;
    }
  } w;
  w.ok = &ok;
  doc.traverse(w);
  return ok;
}

// The written text as the bytes of a file: UTF-8, or the byte string itself when the
// document writes UTF-8 byte strings.
inline std::string FileBytes(const Text& written, bool utf8) {
  return utf8 ? txt::ToBytes(written) : U(written);
}

// Empty when the properties hold for `text`; otherwise what failed. Input the reader
// rejects only has to be survived.
inline std::string CheckDocument(const Text& text, bool utf8 = false) {
  auto lazy = cXmlNode::New();
  auto full = cXmlNode::New();
  if (utf8) {
    lazy->XMLEncoding(u"utf-8");
    full->XMLEncoding(u"utf-8");
  }
  lazy->XmlData(text);
  full->XmlData___NonRecursif(text);
  lazy->NodeCount();
  Text outLazy = lazy->XmlData();
  Text out = full->XmlData();
  if (!ReaderAccepts(FileBytes(text, utf8))) return "";
  if (std::string d = Diff(lazy, full); !d.empty()) return "parses differ: " + d;
  if (outLazy != out) return "written texts differ";
  if (!ReaderAccepts(FileBytes(out, utf8))) return "written text rejected: " + U(out);
  auto again = cXmlNode::New();
  if (utf8) again->XMLEncoding(u"utf-8");
  again->XmlData___NonRecursif(out);
  if (again->XmlData() != out) return "second write differs: " + U(out) + " | " + U(again->XmlData());
  return "";
}

// The fuzzer's reading of raw bytes: the first byte picks one character per byte or
// UTF-16LE (characters above 255 and lone surrogates), and whether the document is UTF-8.
inline std::string CheckFuzzInput(const uint8_t* data, size_t size) {
  if (size == 0) return "";
  BytesView bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  bool wide = (data[0] & 1) != 0;
  Text text = wide ? mStringTools::UTF16LEToText(bytes) : txt::FromBytes(bytes);
  return CheckDocument(text, !wide && (data[0] & 2) != 0);
}

}  // namespace xmltest
