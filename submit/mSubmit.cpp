#include "submit/mSubmit.h"

#include <exception>

#include "locale/mLang.h"
#include "platform/ErrLog.h"

namespace mSubmit {
namespace {

bool Has(TextView t, TextView what) { return t.find(what) != TextView::npos; }

void Trap(const char* routine, const std::exception& e) { ErrLog::Exception(std::string("mSubmit.") + routine, e.what()); }

}  // namespace

bool IsValidEmail(TextView text) {
  try {
    if (text.size() < 6) return false;
    if (!Has(text, u"@") || !Has(text, u".")) return false;
    if (text.front() == u'@' || text.back() == u'.') return false;
    TextView domain = text.substr(text.find(u'@') + 1);
    if (Has(domain, u"@") || Has(domain, u" ") || !Has(domain, u".")) return false;
    static constexpr TextView kForbidden = u"\"!#$%^&*()=+{}[]|\\;:'/?>,< ";
    if (text.find_first_of(kForbidden) != TextView::npos) return false;
    return !Has(text, u"..");
  } catch (const std::exception& e) {
    Trap("IsValidEmail", e);
  }
  return false;
}

bool IsSafeLangID(TextView id) {
  if (id.empty() || id.size() > 64) return false;
  for (char16_t c : id) {
    bool ok = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' ||
              c == u'_';
    if (!ok) return false;
  }
  return true;
}

bool StrInCol(TextView text, const std::vector<Text>& list) {
  for (const Text& t : list)
    if (txt::EqualsNoCase(t, text)) return true;
  return false;
}

bool XmlInCol(const XmlNodePtr& node, const std::vector<XmlNodePtr>& list) {
  try {
    if (!node) return false;
    Text xml = node->XmlData();
    for (const XmlNodePtr& n : list)
      if (n && n->XmlData() == xml) return true;
  } catch (const std::exception& e) {
    Trap("XmlInCol", e);
  }
  return false;
}

Text LangCaption(TextView id, TextView enName, TextView enCountry) {
  try {
    Text tail = u" [" + Text(id) + u"]";
    if (Has(id, u"-")) {
      Text lang = enName.empty() ? mLang::GetISOLangName(id) : Text(enName);
      Text country = enCountry.empty() ? mLang::GetISOCountryName(id) : Text(enCountry);
      return lang + u" - " + country + tail;
    }
    Text lang = mLang::GetISOLangName(id);
    // An ID the locale table does not know still shows the file's own English name.
    if (lang.empty()) lang = Text(enName);
    return lang + tail;
  } catch (const std::exception& e) {
    Trap("LangCaption", e);
  }
  return Text();
}

Text ContributorCaption(const XmlNodePtr& contributor) {
  if (!contributor) return Text();
  return contributor->Attribut(u"name") + u" <" + contributor->Attribut(u"email") + u">";
}

Text PackedFileName(TextView mask, TextView id) {
  try {
    Text m = txt::Replace(mask, u"\\", u"/");
    size_t slash = m.rfind(u'/');
    Text folder = slash == Text::npos ? Text() : m.substr(0, slash + 1);
    Text name = slash == Text::npos ? m : m.substr(slash + 1);
    return folder + txt::Replace(name, u"*", id);
  } catch (const std::exception& e) {
    Trap("PackedFileName", e);
  }
  return Text();
}

Text ArchiveFileName(TextView id, VbDate localTime) {
  return kArchivePrefix + Text(id) + u"_" + vbdate::Format(localTime, kArchiveStamp) + u".7z";
}

XmlNodePtr CleanLanguageDocument(const XmlNodePtr& language) {
  try {
    if (!language) return nullptr;
    auto root = cXmlNode::New();
    root->Name(u"Languages");
    root->Attribut(u"version", kPackedVersion);
    XmlNodePtr copy = language->Clone();
    if (!copy) return nullptr;
    copy->DeleteEmptyChilds(true);
    root->AddChild(copy);
    return root;
  } catch (const std::exception& e) {
    Trap("CleanLanguageDocument", e);
  }
  return nullptr;
}

Text UploadURL(TextView host) { return u"http://" + Text(host) + kUploadPath; }

bool IsOkAnswer(TextView page) { return page.substr(0, 2) == u"OK"; }

Text OkAnswerText(TextView page) { return page.size() > 3 ? Text(page.substr(3)) : Text(); }

}  // namespace mSubmit
