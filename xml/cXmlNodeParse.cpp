// The node's parsers: the own-tag parse (XmlData write), the one-level expansion and the
// one-pass parse. All work on views of a shared buffer; nothing here recurses.
#include <algorithm>
#include <cstring>
#include <vector>
#include <exception>

#include "platform/ErrLog.h"
#include "storage/mStringTools.h"
#include "xml/cXmlNode.h"
#include "xml/mXmlText.h"

using mXmlText::Find;
using mXmlText::FindChar;
using mXmlText::IsWs;
using mXmlText::npos;
using mXmlText::StartsWith;

namespace {

TextView TrimView(TextView t) {
  size_t a = 0, b = t.size();
  while (a < b && IsWs(t[a])) ++a;
  while (b > a && IsWs(t[b - 1])) --b;
  return t.substr(a, b - a);
}

bool IsCData(TextView t) {
  constexpr TextView open = u"<![CDATA[";
  constexpr TextView close = u"]]>";
  return t.size() >= open.size() + close.size() && t.substr(0, open.size()) == open &&
         t.substr(t.size() - close.size()) == close;
}

// Stores the decoded text; true when decoding made a CDATA marker appear (escaped text that
// only looks like a section), so the value is kept and written again as plain text.
bool AssignDecoded(Text& out, TextView v) {
  if (FindChar(v, u'&', 0) == npos) {
    out.assign(v);
    return false;
  }
  out = mXmlText::DecodeSpecialChars(v);
  return mXmlText::Find(out, u"<![CDATA[", 0) != npos && mXmlText::Find(v, u"<![CDATA[", 0) == npos;
}

bool EndsWithCloseTag(TextView e, TextView name) {
  size_t need = name.size() + 3;
  if (e.size() < need) return false;
  size_t p = e.size() - need;
  if (e[p] != u'<' || e[p + 1] != u'/' || e[e.size() - 1] != u'>') return false;
  return txt::EqualsNoCase(e.substr(p + 2, name.size()), name);
}

// "</name>" at position q, exact case.
bool CloseTagAt(TextView t, size_t q, TextView name) {
  return q + name.size() + 3 <= t.size() && t[q + 1] == u'/' && t[q + 2 + name.size()] == u'>' &&
         std::memcmp(t.data() + q + 2, name.data(), name.size() * sizeof(char16_t)) == 0;
}

size_t FindCloseTag(TextView t, size_t from, TextView name) {
  size_t q = from;
  while ((q = FindChar(t, u'<', q)) != npos) {
    if (CloseTagAt(t, q, name)) return q;
    ++q;
  }
  return npos;
}

void LogError(const char* routine, const char* what) {
  ErrLog::Error(5, txt::FromUtf8(what), "cXmlNode", routine, ErrLog::Kind::Property);
}

}  // namespace

void cXmlNode::XmlData(Text xml) {
  try {
    auto buf = MakeBuffer(std::move(xml));
    ownTagParse(Pending{buf, 0, buf->text.size(), false});
  } catch (const std::exception& e) {
    LogError("XmlData", e.what());
  }
}

void cXmlNode::XmlData___NonRecursif(Text xml) {
  try {
    auto buf = MakeBuffer(std::move(xml));
    parseNonRecursive(Pending{buf, 0, buf->text.size(), false});
  } catch (const std::exception& e) {
    LogError("XmlData___NonRecursif", e.what());
  }
}

bool cXmlNode::readDeclaration(TextView& t) {
  size_t p = Find(t, u"<?xml", 0);
  if (p == npos) return false;
  size_t q = Find(t, u"?>", p + 5);
  if (q == npos) return false;
  cXmlNode scratch;
  scratch.getTagAttribs(t.substr(p + 5, q - p - 5), false);
  Text version = scratch.Attribut(u"version");
  if (!version.empty() || extra_) extra().version = version;
  if (!ignoreEncoding_) XMLEncoding(scratch.Attribut(u"encoding"));
  t = t.substr(q + 2);
  return true;
}

void cXmlNode::getTagAttribs(TextView text, bool utf8) {
  attrs_.clear();
  TextView t = TrimView(text);
  while (true) {
    size_t eq = FindChar(t, u'=', 0);
    if (eq == npos) break;
    TextView name = TrimView(t.substr(0, eq));
    size_t q1 = FindChar(t, u'"', eq + 1);
    if (q1 == npos) break;
    size_t q2 = FindChar(t, u'"', q1 + 1);
    if (q2 == npos) break;
    Text value;
    AssignDecoded(value, t.substr(q1 + 1, q2 - q1 - 1));
    if (utf8) value = mStringTools::UTF8_Decode(value, mStringTools::ModeUTF8);
    setAttr(name, value, nullptr);
    t = TrimView(t.substr(q2 + 1));
  }
}

void cXmlNode::applyTextRules(Text& value, bool ownTag, bool utf8) {
  bool base64 = false;
  if (!attrs_.empty() && txt::EqualsNoCase(Attribut(u"ContentEncoding"), u"base64")) {
    Text packed;
    packed.reserve(value.size());
    for (char16_t c : value)
      if (!IsWs(c)) packed += c;
    value = mStringTools::Base64_Decode(packed, 2, 1);
    base64 = true;
  }
  if (utf8 && (ownTag || !base64)) value = mStringTools::UTF8_Decode(value, mStringTools::ModeUTF8);
}

bool cXmlNode::getTagInfo(TextView e, bool utf8) {
  if (e.empty() || e[0] != u'<') return false;
  size_t gt = FindChar(e, u'>', 0);
  if (gt == npos) return false;
  bool slash = gt > 1 && e[gt - 1] == u'/';
  bool selfClosing = slash;
  size_t nameEnd = gt;
  for (size_t i = 1; i < gt; ++i)
    if (e[i] == u' ') {
      nameEnd = i;
      break;
    }
  size_t nameStop = (nameEnd == gt && slash) ? gt - 1 : nameEnd;
  name_.assign(e.data() + 1, nameStop > 1 ? nameStop - 1 : 0);
  if (name_ == u"?xml") selfClosing = true;
  size_t closeLen = name_.size() + 3;
  if (!selfClosing && (e.size() < gt + 1 + closeLen || !EndsWithCloseTag(e, name_))) return false;
  if (nameEnd < gt) {
    size_t end = slash ? gt - 1 : gt;
    if (end > nameEnd + 1) getTagAttribs(e.substr(nameEnd + 1, end - nameEnd - 1), utf8);
  }
  raw_.clear();
  if (selfClosing) return true;
  TextView content = e.substr(gt + 1, e.size() - closeLen - gt - 1);
  if (mXmlText::IsXML(content, 0)) return true;  // element content: stays pending
  TextView trimmed = TrimView(content);
  literal_ = false;
  if (IsCData(trimmed)) raw_.assign(trimmed);
  else literal_ = AssignDecoded(raw_, content);
  applyTextRules(raw_, true, utf8);
  return true;
}

cXmlNode::Pending cXmlNode::prepare(Pending p) {
  bool hasComment = false, hasDeclaration = false;
  if (!p.clean) mXmlText::ScanMarkup(p.view(), hasComment, hasDeclaration);
  return prepareScanned(std::move(p), hasComment, hasDeclaration);
}

cXmlNode::Pending cXmlNode::prepareScanned(Pending p, bool hasComment, bool hasDeclaration) {
  TextView t = p.view();
  if (hasComment) {
    Text cleaned;
    if (mXmlText::DeleteRems(t, u"<!--", u"-->", cleaned)) {
      p.buf = MakeBuffer(std::move(cleaned));
      p.off = 0;
      p.len = p.buf->text.size();
      p.scanned = false;
      t = p.view();
      // Removing comments can join the pieces of a declaration.
      hasDeclaration = Find(t, u"<?xml", 0) != npos;
    }
  }
  if (hasDeclaration) {
    readDeclaration(t);
    // Any further declaration goes with everything before it.
    while (true) {
      size_t a = Find(t, u"<?xml", 0);
      if (a == npos) break;
      size_t b = Find(t, u"?>", a + 5);
      if (b == npos) break;
      t = t.substr(b + 2);
    }
  }
  t = TrimView(t);
  if (p.buf) p.off = static_cast<size_t>(t.data() - p.buf->text.data());
  p.len = t.size();
  p.clean = true;
  p.deferred = false;
  return p;
}

namespace {

// The text left after comment removal, read through its kept pieces without copying.
class KeptText {
 public:
  KeptText(TextView t, std::vector<mXmlText::Range> r) : t_(t), r_(std::move(r)) {
    starts_.reserve(r_.size());
    for (const auto& x : r_) {
      starts_.push_back(size_);
      size_ += x.end - x.begin;
    }
  }
  size_t size() const { return size_; }
  char16_t at(size_t i) const {
    size_t k = static_cast<size_t>(std::upper_bound(starts_.begin(), starts_.end(), i) - starts_.begin()) - 1;
    return t_[r_[k].begin + (i - starts_[k])];
  }
  // True when "<?xml" crosses the joint of two pieces (none lies inside a piece).
  bool JoinsDeclaration() const {
    constexpr TextView decl = u"<?xml";
    for (size_t k = 1; k < starts_.size(); ++k) {
      size_t j = starts_[k];
      for (size_t s = j >= decl.size() - 1 ? j - (decl.size() - 1) : 0; s < j; ++s) {
        if (s + decl.size() > size_) break;
        size_t m = 0;
        while (m < decl.size() && at(s + m) == decl[m]) ++m;
        if (m == decl.size()) return true;
      }
    }
    return false;
  }

 private:
  TextView t_;
  std::vector<mXmlText::Range> r_;
  std::vector<size_t> starts_;
  size_t size_ = 0;
};

}  // namespace

// Reads the element's own tag when comment removal would copy the text: the tag only needs
// the cleaned text's head and tail. False when this shortcut does not apply.
bool cXmlNode::ownTagDeferred(const Pending& p, const std::vector<size_t>& comments, bool utf8) {
  TextView t = p.view();
  std::vector<mXmlText::Range> ranges;
  if (!mXmlText::KeptRanges(t, u"<!--", u"-->", ranges, &comments)) return false;
  KeptText kt(t, std::move(ranges));
  if (kt.JoinsDeclaration()) return false;
  size_t a = 0, b = kt.size();
  while (a < b && IsWs(kt.at(a))) ++a;
  while (b > a && IsWs(kt.at(b - 1))) --b;
  // Head: through the first ">" and the two characters that tell whether the content is
  // markup.
  Text head;
  size_t i = a;
  for (; i < b; ++i) {
    head += kt.at(i);
    if (head.back() == u'>') break;
  }
  if (i >= b || head[0] != u'<') return false;
  size_t gt = head.size() - 1;
  if (gt > 1 && head[gt - 1] == u'/') return false;  // self-closing: nothing to defer
  ++i;
  while (i < b && IsWs(kt.at(i))) head += kt.at(i++);
  if (i + 1 >= b || kt.at(i) != u'<' || kt.at(i + 1) == u'!') return false;
  head += kt.at(i++);
  head += kt.at(i++);
  // The closing tag is at most as long as the opening tag plus two.
  size_t tailLen = gt + 3;
  if (i + tailLen > b) return false;
  Text tail;
  tail.reserve(tailLen);
  for (size_t k = b - tailLen; k < b; ++k) tail += kt.at(k);
  // Head and tail alone give the same tag, attributes and markup-content verdict as the
  // whole element.
  getTagInfo(head + tail, utf8);
  Pending d = p;
  d.deferred = true;
  pending_ = d;
  return true;
}

void cXmlNode::ownTagParse(Pending p, const bool* utf8) {
  dropChildren();
  attrs_.clear();
  raw_.clear();
  name_.clear();
  pending_ = Pending();
  bool hasComment = false, hasDeclaration = false;
  std::vector<size_t> comments;
  if (!p.clean) mXmlText::ScanMarkup(p.view(), hasComment, hasDeclaration, &comments);
  if (hasComment && !hasDeclaration && ownTagDeferred(p, comments, utf8 ? *utf8 : utf8Encoding())) {
    raiseChange(Family::Modified, Text());
    return;
  }
  p = prepareScanned(std::move(p), hasComment, hasDeclaration);
  pending_ = p;
  TextView t = p.view();
  if (!t.empty()) getTagInfo(t, utf8 ? *utf8 : utf8Encoding());
  raiseChange(Family::Modified, Text());
}

void cXmlNode::expandOneLevel(const Pending& p) {
  TextView t = p.view();
  if (t.empty() || t[0] != u'<') return;
  size_t gt = FindChar(t, u'>', 0);
  if (gt == npos) return;
  bool slash = gt > 1 && t[gt - 1] == u'/';
  if (slash || name_ == u"?xml") return;
  TextView content = t.substr(gt + 1);
  if (EndsWithCloseTag(t, name_) && t.size() >= gt + 1 + name_.size() + 3)
    content = t.substr(gt + 1, t.size() - (name_.size() + 3) - gt - 1);
  // Text content was taken by the own-tag parse; the node is complete as it is.
  if (!mXmlText::IsXML(content, 0)) return;
  raw_.clear();
  size_t base = p.off + static_cast<size_t>(content.data() - t.data());
  // The parent's expansion searched all of this text to find where it ends; rather than
  // search it again at every level below, learn every end inside it in one pass.
  const cXmlTagEnds* known = nullptr;
  if (p.buf) {
    known = &p.buf->ends;
    if (p.scanned && !known->Covers(base, base + content.size()))
      p.buf->ends.Learn(p.buf->text, base, base + content.size());
  }
  // The children inherit this node's encoding; deciding it once spares each a walk up.
  const bool utf8 = utf8Encoding();
  size_t pos = 0, ts = 0, len = 0;
  Text name;
  while (pos < content.size() && mXmlText::NextTag(content, pos, ts, len, name, known, base)) {
    XmlNodePtr child = New();
    child->parent_ = this;
    Pending cp{p.buf, base + ts, len, p.clean};
    cp.scanned = true;
    child->ownTagParse(std::move(cp), &utf8);
    children_.push_back(std::move(child));
    pos = ts + len;
  }
}

void cXmlNode::parseNonRecursive(Pending p) {
  pending_ = Pending();
  dropChildren();
  attrs_.clear();
  name_.clear();
  raw_.clear();
  std::shared_ptr<const Buffer> hold = p.buf;
  TextView t = p.view();
  if (t.empty()) {
    raiseChange(Family::Modified, Text());
    return;
  }
  size_t pos = 0;
  bool hasComment = false, hasDeclaration = false;
  if (!p.clean) mXmlText::ScanMarkup(t, hasComment, hasDeclaration);
  if (hasComment) {
    Text cleaned;
    if (mXmlText::DeleteRems(t, u"<!--", u"-->", cleaned)) {
      hold = MakeBuffer(std::move(cleaned));
      t = hold->text;
      hasDeclaration = Find(t, u"<?xml", 0) != npos;
    }
  }
  if (hasDeclaration) {
    TextView rest = t;
    if (readDeclaration(rest)) pos = static_cast<size_t>(rest.data() - t.data());
  }
  const bool utf8 = utf8Encoding();
  const size_t n = t.size();
  // Never climb above this node, even when it sits inside a larger tree.
  auto up = [this](cXmlNode* x) -> cXmlNode* { return x == this ? nullptr : x->parent_; };
  auto append = [](cXmlNode* to) -> cXmlNode* {
    XmlNodePtr c = std::make_shared<cXmlNode>();
    c->parent_ = to;
    if (to->children_.empty()) to->children_.reserve(4);
    to->children_.push_back(c);
    return c.get();
  };
  auto isClosingOf = [](const cXmlNode* c, const cXmlNode* par) {
    return par && c->name_.size() == par->name_.size() + 1 && c->name_[0] == u'/' &&
           TextView(c->name_).substr(1) == par->name_;
  };
  cXmlNode* cur = this;
  while (pos < n) {
    size_t lt = FindChar(t, u'<', pos);
    while (lt != npos && StartsWith(t, lt, u"<!--")) {
      size_t e = Find(t, u"-->", lt + 4);
      lt = e == npos ? npos : FindChar(t, u'<', e + 3);
    }
    if (lt == npos) break;
    size_t gt = FindChar(t, u'>', lt + 1);
    if (gt == npos) break;
    pos = gt + 1;
    bool slash = gt - 1 > lt && t[gt - 1] == u'/';
    bool selfClosing = slash;
    size_t nameEnd = gt;
    for (size_t i = lt + 1; i < gt; ++i)
      if (IsWs(t[i])) {
        nameEnd = i;
        break;
      }
    size_t nameStop = (nameEnd == gt && slash) ? gt - 1 : nameEnd;
    cur->name_.assign(t.data() + lt + 1, nameStop - lt - 1);
    if (cur->name_ == u"?xml") selfClosing = true;
    if (nameEnd < gt) {
      size_t end = slash ? gt - 1 : gt;
      if (end > nameEnd) cur->getTagAttribs(t.substr(nameEnd, end - nameEnd), utf8);
    }
    TextView name = cur->name_;
    if (!selfClosing) {
      size_t q = FindChar(t, u'<', pos);
      if (q != npos && CloseTagAt(t, q, name)) cur->raw_.assign(t.substr(pos, q - pos));
    }
    if (selfClosing || pos >= n || mXmlText::IsXML(t, pos)) {
      cXmlNode* par = up(cur);
      if (isClosingOf(cur, par)) {
        cXmlNode* next = up(par);
        if (!par->children_.empty() && par->children_.back().get() == cur) par->children_.pop_back();
        cur = next;
      } else if (selfClosing) {
        cur = up(cur);
      }
      if (!cur) break;
      if (pos < n) cur = append(cur);
    } else {
      size_t close = FindCloseTag(t, pos, name);
      if (close == npos) break;
      TextView raw = t.substr(pos, close - pos);
      TextView trimmed = TrimView(raw);
      if (IsCData(trimmed)) cur->raw_.assign(trimmed);
      else cur->literal_ = AssignDecoded(cur->raw_, raw);
      cur->applyTextRules(cur->raw_, false, utf8);
      pos = close + name.size() + 3;
      cur = up(cur);
      if (!cur) break;
      cur = append(cur);
    }
  }
  if (cur && cur != this && cur->parent_) {
    cXmlNode* par = cur->parent_;
    bool empty = cur->name_.empty() && cur->children_.empty() && cur->attrs_.empty() && cur->raw_.empty();
    if (empty || isClosingOf(cur, par)) {
      for (size_t i = par->children_.size(); i-- > 0;)
        if (par->children_[i].get() == cur) {
          par->children_.erase(par->children_.begin() + static_cast<long>(i));
          break;
        }
    }
  }
  raiseChange(Family::Modified, Text());
}
