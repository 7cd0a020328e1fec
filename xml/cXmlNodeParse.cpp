// The node's parsers: the own-tag parse (XmlData write), the one-level expansion and the
// one-pass parse. All work on views of a shared buffer; nothing here recurses.
#include <algorithm>
#include <cstring>
#include <vector>
#include <exception>

#include "platform/ErrLog.h"
#include "storage/mStringTools.h"
#include "xml/cXmlNode.h"
#include "xml/cXmlNodePool.h"
#include "xml/cXmlNodeShared.h"
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
// `plain`: the caller knows the text holds no "&".
bool AssignDecoded(Text& out, TextView v, bool plain = false) {
  if (plain || FindChar(v, u'&', 0) == npos) {
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


void LogError(const char* routine, const char* what) {
  ErrLog::Error(5, txt::FromUtf8(what), "cXmlNode", routine, ErrLog::Kind::Property);
}

}  // namespace

void cXmlNode::XmlData(Text xml) {
  try {
    // The text is ours: its comments go without a second copy of it.
    mXmlText::StripComments(xml);
    auto buf = MakeBuffer(std::move(xml));
    ownTagParse(Pending{buf, 0, buf->text.size(), false, true});
  } catch (const std::exception& e) {
    LogError("XmlData", e.what());
  }
}

void cXmlNode::XmlData___NonRecursif(Text xml) {
  try {
    mXmlText::StripComments(xml);
    auto buf = MakeBuffer(std::move(xml));
    parseNonRecursive(Pending{buf, 0, buf->text.size(), false, true});
  } catch (const std::exception& e) {
    LogError("XmlData___NonRecursif", e.what());
  }
}

void cXmlNode::readDeclaration(TextView attributes) {
  cXmlNode scratch;
  scratch.getTagAttribs(attributes, false);
  Text version = scratch.Attribut(u"version");
  if (!version.empty() || extra_) extra().version = version;
  if (!ignoreEncoding_) XMLEncoding(scratch.Attribut(u"encoding"));
}

void cXmlNode::getTagAttribs(TextView text, bool utf8) {
  clearAttrs();
  TextView t = TrimView(text);
  // Room for every attribute the tag may hold, and for a long list its index from the start,
  // so neither grows step by step.
  size_t most = static_cast<size_t>(std::count(t.begin(), t.end(), u'='));
  if (most > 1) attrs_.reserve(most);
  if (most >= xmlnode::kIndexFrom) {
    auto x = std::make_shared<NameIndex>();
    x->Reserve(most);
    extra().attrIndex = std::move(x);
  }
  while (true) {
    size_t eq = FindChar(t, u'=', 0);
    if (eq == npos) break;
    TextView name = TrimView(t.substr(0, eq));
    // A value is quoted with either quote; a value without its own opening quote is read
    // from the next double quote, as the files of old wrote it.
    size_t q1 = eq + 1;
    while (q1 < t.size() && IsWs(t[q1])) ++q1;
    char16_t quote = q1 < t.size() && t[q1] == u'\'' ? u'\'' : u'"';
    if (quote == u'"') q1 = FindChar(t, u'"', eq + 1);
    if (q1 == npos) break;
    size_t q2 = FindChar(t, quote, q1 + 1);
    if (q2 == npos) break;
    Text value;
    AssignDecoded(value, t.substr(q1 + 1, q2 - q1 - 1));
    if (utf8) value = mStringTools::UTF8_Decode(value, mStringTools::ModeUTF8);
    setAttr(name, value, nullptr);
    t = TrimView(t.substr(q2 + 1));
  }
}

void cXmlNode::applyTextRules(Text& value, bool utf8) {
  bool base64 = false;
  if (!attrs_.empty() && txt::EqualsNoCase(Attribut(u"ContentEncoding"), u"base64")) {
    Text packed;
    packed.reserve(value.size());
    for (char16_t c : value)
      if (!IsWs(c)) packed += c;
    value = mStringTools::Base64_Decode(packed, 2, 1);
    base64 = true;
  }
  // Decoded base64 is bytes, not UTF-8 text: decoding it again would change the data.
  if (utf8 && !base64) value = mStringTools::UTF8_Decode(value, mStringTools::ModeUTF8);
}

void cXmlNode::setText(TextView content, bool utf8, bool plain) {
  TextView trimmed = TrimView(content);
  literal_ = false;
  if (IsCData(trimmed)) raw_.assign(trimmed);
  else literal_ = AssignDecoded(raw_, content, plain);
  applyTextRules(raw_, utf8);
}

bool cXmlNode::getTagInfo(TextView e, bool utf8, const cXmlTagEnds* known, size_t base) {
  if (e.empty() || e[0] != u'<') return false;
  size_t gt = FindChar(e, u'>', 0);
  if (gt == npos) return false;
  bool slash = gt > 1 && e[gt - 1] == u'/';
  bool selfClosing = slash;
  size_t nameEnd = gt;
  for (size_t i = 1; i < gt; ++i)
    if (IsWs(e[i])) {
      nameEnd = i;
      break;
    }
  size_t nameStop = (nameEnd == gt && slash) ? gt - 1 : nameEnd;
  name_.assign(e.data() + 1, nameStop > 1 ? nameStop - 1 : 0);
  size_t closeLen = name_.size() + 3;
  if (!selfClosing && (e.size() < gt + 1 + closeLen || !EndsWithCloseTag(e, name_))) return false;
  if (nameEnd < gt) {
    size_t end = slash ? gt - 1 : gt;
    if (end > nameEnd + 1) getTagAttribs(e.substr(nameEnd + 1, end - nameEnd - 1), utf8);
  }
  raw_.clear();
  if (selfClosing) return true;
  TextView content = e.substr(gt + 1, e.size() - closeLen - gt - 1);
  if (mXmlText::ElementContent(content, known, base + gt + 1)) return true;  // stays pending
  setText(content, utf8);
  return true;
}

cXmlNode::Pending cXmlNode::prepare(Pending p) {
  TextView t = p.view();
  if (!p.clean && !p.noComments) {
    Text cleaned;
    if (mXmlText::StripComments(t, cleaned)) {
      p.buf = MakeBuffer(std::move(cleaned));
      p.off = 0;
      p.len = p.buf->text.size();
      t = p.view();
    }
  }
  if (!p.clean) {
    // The declaration, processing instructions and a document type before the root, and
    // what may follow it, belong to no element.
    TextView declaration;
    size_t a = mXmlText::SkipMisc(t, 0, &declaration);
    if (declaration.data()) readDeclaration(declaration);
    // The root runs to its own closing tag: what follows it is no part of it.
    size_t ts = 0, len = 0;
    Text name;
    if (mXmlText::NextTag(t, a, ts, len, name)) t = t.substr(ts, len);
    else t = t.substr(a, mXmlText::TrimMiscEnd(t, a, t.size()) - a);
  }
  t = TrimView(t);
  if (p.buf) p.off = static_cast<size_t>(t.data() - p.buf->text.data());
  p.len = t.size();
  p.clean = true;
  return p;
}

void cXmlNode::ownTagParse(Pending p, const bool* utf8) {
  dropChildren();
  clearAttrs();
  raw_.clear();
  name_.clear();
  pending_.reset();
  p = prepare(std::move(p));
  setPending(p);
  TextView t = p.view();
  if (!t.empty()) getTagInfo(t, utf8 ? *utf8 : utf8Encoding(), p.buf ? &p.buf->ends : nullptr, p.off);
  raiseChange(Family::Modified, Text());
}

void cXmlNode::expandOneLevel(const Pending& p) {
  TextView t = p.view();
  if (t.empty() || t[0] != u'<') return;
  size_t gt = FindChar(t, u'>', 0);
  if (gt == npos) return;
  bool slash = gt > 1 && t[gt - 1] == u'/';
  if (slash) return;
  TextView content = t.substr(gt + 1);
  if (EndsWithCloseTag(t, name_) && t.size() >= gt + 1 + name_.size() + 3)
    content = t.substr(gt + 1, t.size() - (name_.size() + 3) - gt - 1);
  size_t base = p.off + static_cast<size_t>(content.data() - t.data());
  // Learn every end inside this text in one pass, so neither this level nor the levels
  // below search it again for their closing tags.
  const cXmlTagEnds* known = nullptr;
  if (p.buf) {
    known = &p.buf->ends;
    if (!known->Covers(base, base + content.size())) p.buf->ends.Learn(p.buf->text, base, base + content.size());
  }
  // Text content was taken by the own-tag parse; the node is complete as it is.
  if (!mXmlText::ElementContent(content, known, base)) return;
  raw_.clear();
  // The children inherit this node's encoding; deciding it once spares each a walk up.
  const bool utf8 = utf8Encoding();
  size_t pos = 0, ts = 0, len = 0;
  Text name;
  xmlnode::NodePool pool;
  while (pos < content.size() && mXmlText::NextTag(content, pos, ts, len, name, known, base)) {
    XmlNodePtr child = pool.Make();
    child->parent_ = this;
    child->ownTagParse(Pending{p.buf, base + ts, len, true}, &utf8);
    children_.push_back(std::move(child));
    pos = ts + len;
  }
}

namespace {

bool Blank(TextView t, size_t a, size_t b) {
  for (size_t i = a; i < b; ++i)
    if (!IsWs(t[i])) return false;
  return true;
}

}  // namespace

// One forward pass with a stack of open elements. An element whose content turns out to
// hold text beside its children becomes a text node holding that content whole, as the
// own-tag parse decides it from the start.
void cXmlNode::parseNonRecursive(Pending p) {
  pending_.reset();
  dropChildren();
  clearAttrs();
  name_.clear();
  raw_.clear();
  literal_ = false;
  std::shared_ptr<const Buffer> hold = p.buf;
  TextView t = p.view();
  if (t.empty()) {
    raiseChange(Family::Modified, Text());
    return;
  }
  size_t pos = 0;
  if (!p.clean && !p.noComments) {
    Text cleaned;
    if (mXmlText::StripComments(t, cleaned)) {
      hold = MakeBuffer(std::move(cleaned));
      t = hold->text;
    }
  }
  if (!p.clean) {
    TextView declaration;
    pos = mXmlText::SkipMisc(t, 0, &declaration);
    if (declaration.data()) readDeclaration(declaration);
  }
  const bool utf8 = utf8Encoding();
  const size_t n = t.size();
  struct Open {
    cXmlNode* node;
    size_t content;  // where its content starts
    size_t kids;     // where its children start in `kids`
  };
  std::vector<Open> open;
  // The children of the open elements, innermost last: each list is built once, to size,
  // when its element closes.
  XmlNodeList kids;
  xmlnode::NodePool pool;
  bool started = false;
  auto append = [&](cXmlNode* to) -> cXmlNode* {
    kids.push_back(pool.Make());
    kids.back()->parent_ = to;
    return kids.back().get();
  };
  // Closes the open elements from the innermost down to open[k].
  auto closeFrom = [&](size_t k) {
    while (open.size() > k) {
      const Open& o = open.back();
      XmlNodeList list(std::make_move_iterator(kids.begin() + static_cast<long>(o.kids)),
                       std::make_move_iterator(kids.end()));
      for (size_t i = 0; i < list.size(); ++i) list[i]->pos_ = static_cast<uint32_t>(i);
      kids.resize(o.kids);
      o.node->children_ = std::move(list);
      open.pop_back();
    }
  };
  // The innermost open element holds text beside elements: its content is its value.
  auto toText = [&]() -> bool {
    cXmlNode* x = open.back().node;
    size_t close = mXmlText::FindTagEndFrom(t, pos, x->name_);
    if (close == npos) return false;
    kids.resize(open.back().kids);
    x->setText(t.substr(open.back().content, close - open.back().content), utf8);
    pos = close + x->name_.size() + 3;
    open.pop_back();
    return !open.empty();
  };
  while (pos < n) {
    // Mostly a line break and an indent stand before the next tag.
    size_t lt = pos;
    while (lt < n && IsWs(t[lt])) ++lt;
    if (lt < n && t[lt] != u'<') lt = FindChar(t, u'<', lt);
    if (lt == n) lt = npos;
    if (!open.empty() && !Blank(t, pos, lt == npos ? n : lt)) {
      if (!toText()) break;
      continue;
    }
    if (lt == npos || lt + 1 >= n) break;
    const char16_t c1 = t[lt + 1];
    if (c1 == u'?' || StartsWith(t, lt, u"<!--")) {
      size_t e = c1 == u'?' ? Find(t, u"?>", lt + 2) : Find(t, u"-->", lt + 4);
      if (e == npos) break;
      pos = e + (c1 == u'?' ? 2 : 3);
      continue;
    }
    if (c1 == u'!') {
      if (open.empty()) {
        pos = mXmlText::SkipDoctype(t, lt);
        continue;
      }
      if (!toText()) break;  // a CDATA section beside elements
      continue;
    }
    // The tag's end, and where its name ends: at a space, or at the end when it has no
    // attributes.
    size_t gt = npos, nameEnd = npos;
    for (size_t i = lt + 1; i < n; ++i) {
      if (t[i] == u'>') {
        gt = nameEnd = i;
        break;
      }
      if (IsWs(t[i])) {
        nameEnd = i;
        gt = FindChar(t, u'>', i);
        break;
      }
    }
    if (gt == npos) break;
    if (c1 == u'/') {
      pos = gt + 1;
      if (open.empty()) continue;
      TextView name = TrimView(t.substr(lt + 2, gt - lt - 2));
      // Close the innermost open element of that name; a closing tag nothing opened is
      // ignored.
      size_t k = open.size();
      while (k > 0 && open[k - 1].node->name_ != name) --k;
      if (k == 0) continue;
      closeFrom(k - 1);
      if (open.empty()) break;
      continue;
    }
    cXmlNode* node = this;
    if (started) {
      if (open.empty()) break;  // a second root
      node = append(open.back().node);
    }
    started = true;
    bool slash = gt - 1 > lt && t[gt - 1] == u'/';
    size_t nameStop = (nameEnd == gt && slash) ? gt - 1 : nameEnd;
    node->name_.assign(t.data() + lt + 1, nameStop - lt - 1);
    if (nameEnd < gt) {
      size_t end = slash ? gt - 1 : gt;
      if (end > nameEnd) node->getTagAttribs(t.substr(nameEnd, end - nameEnd), utf8);
    }
    pos = gt + 1;
    if (slash) {
      if (open.empty()) break;
      continue;
    }
    TextView name = node->name_;
    // The common leaf: text (or nothing) up to its own closing tag.
    bool entities = false;
    size_t q = mXmlText::FindCharNoting(t, u'<', u'&', pos, entities);
    if (q != npos && CloseTagAt(t, q, name)) {
      node->setText(t.substr(pos, q - pos), utf8, !entities);
      pos = q + name.size() + 3;
      if (open.empty()) break;
      continue;
    }
    // Content that starts with text (or a CDATA section) is text to the element's end.
    if (!mXmlText::IsXML(t, pos)) {
      size_t close = mXmlText::FindTagEnd(t, lt, name);
      if (close == npos) break;
      node->setText(t.substr(pos, close - pos), utf8);
      pos = close + name.size() + 3;
      if (open.empty()) break;
      continue;
    }
    open.push_back({node, pos, kids.size()});
  }
  closeFrom(0);  // what the text left open
  raiseChange(Family::Modified, Text());
}
