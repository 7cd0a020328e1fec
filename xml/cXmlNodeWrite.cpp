// The serializer. Its output equals building each element's text and indenting every
// child's text by one tab (lines inside CDATA sections left alone), but it is written in
// one forward pass without recursion, so deep documents cost linear time and no stack.
#include <algorithm>
#include <exception>
#include <vector>

#include "platform/ErrLog.h"
#include "storage/mStringTools.h"
#include "xml/cXmlNode.h"
#include "xml/cXmlNodeShared.h"
#include "xml/mXmlText.h"

namespace {

// Emits lines; each open element level keeps the CDATA exemption state of the indentation
// step that would have been applied to that element's text.
class LineWriter {
 public:
  explicit LineWriter(Text& out) : out_(out) {}

  void PushLevel() { exempt_.push_back(false); }
  void PopLevel() {
    if (exempt_.empty()) return;
    if (exempt_.back()) --exemptCount_;
    exempt_.pop_back();
  }

  // Text without structure of its own; CR LF inside it ends lines.
  void Emit(TextView s) {
    size_t i = 0;
    while (i < s.size()) {
      size_t cr = mXmlText::Find(s, u"\r\n", i);
      size_t end = cr == mXmlText::npos ? s.size() : cr;
      if (end > i) {
        BeginIfNeeded();
        out_.append(s.data() + i, end - i);
      }
      if (cr == mXmlText::npos) break;
      NewLine();
      i = cr + 2;
    }
  }
  void Emit(char16_t c) {
    BeginIfNeeded();
    out_ += c;
  }

  // Ends the current line (its content belongs to every open level).
  void NewLine() {
    BeginIfNeeded();
    if (!evaluated_) Evaluate();
    out_ += u"\r\n";
    needBegin_ = true;
    evaluated_ = false;
  }

  // Called when an element's text ends: its last line is judged while its level is open.
  void EndElement() {
    BeginIfNeeded();
    Evaluate();
    evaluated_ = true;
    PopLevel();
  }

 private:
  void BeginIfNeeded() {
    if (!needBegin_) return;
    needBegin_ = false;
    size_t tabs = exempt_.size() - exemptCount_;
    out_.append(tabs, u'\t');
    lineStart_ = out_.size();
  }
  void Evaluate() {
    TextView line = TextView(out_).substr(lineStart_);
    bool opens = mXmlText::Find(line, u"<![CDATA[", 0) != mXmlText::npos;
    bool closes = mXmlText::Find(line, u"]]>", 0) != mXmlText::npos;
    if (!opens && !closes) return;
    for (size_t k = 0; k < exempt_.size(); ++k) {
      if (exempt_[k]) {
        if (closes) {
          exempt_[k] = false;
          --exemptCount_;
        }
      } else if (opens && !closes) {
        exempt_[k] = true;
        ++exemptCount_;
      }
    }
  }

  Text& out_;
  std::vector<bool> exempt_;
  size_t exemptCount_ = 0;
  size_t lineStart_ = 0;
  bool needBegin_ = false;
  bool evaluated_ = false;
};

void EncodeInto(TextView value, bool utf8, Text& scratch, bool keepCData = true) {
  scratch.clear();
  mXmlText::EncodeSpecialChars(value, scratch, keepCData);
  if (utf8) scratch = mStringTools::UTF8_Encode(scratch, false);
}

void AttrValueInto(TextView value, bool utf8, Text& scratch) {
  scratch.clear();
  mXmlText::EncodeAttrValue(value, scratch);
  if (utf8) scratch = mStringTools::UTF8_Encode(scratch, false);
}

// A name as written: one no reader would accept is mended, never written as it stands. A
// document written as UTF-8 byte strings holds its names as bytes: judged by what they spell.
TextView NameInto(TextView name, bool utf8, Text& out) {
  if (mXmlText::IsPlainName(name)) return name;
  out.clear();
  mXmlText::AppendName(name, out);
  if (!utf8 || std::all_of(name.begin(), name.end(), [](char16_t c) { return c < 0x80; })) return out;
  Text spelt = mStringTools::UTF8_Decode(name, mStringTools::ModeUTF8);
  Text mended;
  mXmlText::AppendName(spelt, mended);
  out = mended == spelt ? Text(name) : mStringTools::UTF8_Encode(mended, false);
  return out;
}

}  // namespace

Text cXmlNode::XmlData() {
  Text out;
  try {
    wake();
    // Reserved at once: a large document grown by doubling would be copied, and fresh
    // memory touched, once per doubling.
    out.reserve(writtenSize());
    serialize(out);
  } catch (const std::exception& e) {
    ErrLog::Error(5, txt::FromUtf8(e.what()), "cXmlNode", "XmlData", ErrLog::Kind::Property);
  }
  return out;
}

size_t cXmlNode::writtenSize() const {
  size_t total = 0;
  std::vector<std::pair<const cXmlNode*, size_t>> st{{this, 0}};  // with the depth
  while (!st.empty()) {
    auto [n, depth] = st.back();
    st.pop_back();
    // Tags, indentation and the line end; escapes beyond this cost one more growth at most.
    total += 2 * (n->name_.size() + depth) + 8 + n->raw_.size() + (n->pending_ ? n->pending_->len : 0);
    for (const Attr& a : n->attrs_) total += a.name.size() + a.value.size() + 4;
    for (const XmlNodePtr& c : n->children_)
      if (c) st.push_back({c.get(), depth + 1});
  }
  return total + total / 16;
}

void cXmlNode::serialize(Text& out) {
  LineWriter w(out);
  Text scratch;
  struct Frame {
    cXmlNode* n;
    size_t next;
    bool utf8;
    bool top;   // opened without a level of its own
    bool flat;  // nameless at the top: its children stand at the top too
  };
  std::vector<Frame> st;
  Text name, attrName;
  std::vector<Text> written;  // mended attribute names of the element being opened
  // False when the node wrote nothing (a nameless leaf).
  auto open = [&](cXmlNode* n, bool inheritedUtf8, bool top) -> bool {
    n->wake();
    bool utf8 = inheritedUtf8;
    if (n->extra_ && !n->extra_->encoding.empty()) utf8 = txt::EqualsNoCase(n->extra_->encoding, u"utf-8");
    // A nameless node has no tag to write ("<>" is no XML): its children stand in its place,
    // at its own level; its attributes and value cannot be written without a tag.
    if (n->name_.empty()) {
      if (n->children_.empty()) return false;
      st.push_back({n, 0, utf8, top, top});
      return true;
    }
    if (!top) w.PushLevel();
    w.Emit(u'<');
    const TextView tag = NameInto(n->name_, utf8, name);
    w.Emit(tag);
    written.clear();
    for (const Attr& a : n->attrs_) {
      TextView an = NameInto(a.name, utf8, attrName);
      if (an != a.name || !written.empty()) {
        if (an.data() != attrName.data()) attrName.assign(an);
        // Two names mended alike would make the element invalid.
        while (std::find(written.begin(), written.end(), attrName) != written.end()) attrName += u'_';
        if (written.empty())
          for (const Attr& b : n->attrs_) {
            if (&b == &a) break;
            written.push_back(b.name);
          }
        written.push_back(attrName);
        an = attrName;
      }
      w.Emit(u' ');
      w.Emit(an);
      w.Emit(u"=\"");
      AttrValueInto(a.value, utf8, scratch);
      w.Emit(scratch);
      w.Emit(u'"');
    }
    if (!n->children_.empty()) {
      w.Emit(u'>');
      w.NewLine();
      st.push_back({n, 0, utf8, top, false});
      return true;
    }
    if (!n->raw_.empty()) {
      w.Emit(u'>');
      // Written in base64 whenever it is read as base64, whatever the spelling: bytes read
      // back as text would be decoded again on the next load.
      if (txt::EqualsNoCase(n->Attribut(u"ContentEncoding"), u"base64")) {
        Bytes bytes;
        bytes.reserve(n->raw_.size());
        bool narrow = true;
        for (char16_t c : n->raw_) narrow = narrow && c <= 0xFF;
        // A value holding wider characters than bytes is kept as its UTF-8.
        bytes = narrow ? txt::ToBytes(n->raw_) : mStringTools::UTF8_EncodeBytes(n->raw_);
        Text b64 = txt::FromBytes(mStringTools::Base64_EncodeData(bytes));
        for (size_t i = 0; i < b64.size(); i += 81) {
          w.Emit(TextView(b64).substr(i, 81));
          w.NewLine();
        }
      } else {
        // Written text is escaped whole: a CDATA marker typed into a value must neither
        // become a section nor hide a closing tag from the next read.
        EncodeInto(n->raw_, utf8, scratch, !n->literal_);
        w.Emit(scratch);
      }
      w.Emit(u"</");
      w.Emit(tag);
      w.Emit(u'>');
    } else {
      w.Emit(u"/>");
    }
    if (!top) w.EndElement();
    return true;
  };
  bool utf8 = utf8Encoding();
  open(this, utf8, true);
  while (!st.empty()) {
    Frame& f = st.back();
    cXmlNode* n = f.n;
    if (f.next < n->children_.size()) {
      cXmlNode* c = n->children_[f.next++].get();
      bool u = f.utf8;
      bool flat = f.flat;
      if (!c) continue;
      size_t before = st.size();
      if (open(c, u, flat) && st.size() == before) w.NewLine();  // a leaf: its parent ends the line
      continue;
    }
    bool top = f.top;
    bool closeUtf8 = f.utf8;
    st.pop_back();
    if (n->name_.empty()) continue;  // its children ended their own lines
    w.Emit(u"</");
    w.Emit(NameInto(n->name_, closeUtf8, name));
    w.Emit(u'>');
    if (!top) w.EndElement();
    if (n != this) w.NewLine();
  }
  // A nameless top node's last child ended its line; a document has none after its last.
  if (name_.empty() && out.size() >= 2 && out.compare(out.size() - 2, 2, u"\r\n") == 0) out.resize(out.size() - 2);
}
