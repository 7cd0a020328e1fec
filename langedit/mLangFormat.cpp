#include "langedit/mLangFormat.h"

#include <exception>

#include "locale/mLang.h"
#include "platform/ErrLog.h"
#include "storage/mStringTools.h"

namespace mLangFormat {
namespace {

struct AuthorMove {
  const char16_t* from;
  const char16_t* to;
};
constexpr AuthorMove kAuthorMoves[] = {
    {u"author", kContribName}, {u"author_email", kContribEmail}, {u"author_website", kContribWebsite}};

// Before 0.2 a language named its one translator in author attributes.
void UpgradeTo02(cXmlNode& lang) {
  lang.Attribut(kAttrEnName, mLang::GetISOLangName(lang.Name()));
  bool any = false;
  for (const auto& m : kAuthorMoves) any = any || !lang.Attribut(m.from).empty();
  // A new contributor only for a language that names an author: resolving the path would
  // otherwise pick an existing contributor and wipe its attributes with empty ones.
  if (any) {
    XmlNodePtr contributors = lang.GetChildNode(kContributors, true, true, u".");
    XmlNodePtr contributor = cXmlNode::New();
    contributor->Name(kContributor);
    for (const auto& m : kAuthorMoves) contributor->Attribut(m.to, lang.Attribut(m.from));
    if (contributors) contributors->AddChild(contributor);
  }
  for (const auto& m : kAuthorMoves) lang.Attribut(m.from, u"");
}

// 0.3 moved the hot-key caption from the labels to the options.
void UpgradeTo03(cXmlNode& lang) {
  XmlNodePtr old = lang.GetChildNode(u"Config.Labels.AppHotKeys_Caption", false, true, u".");
  if (!old) return;
  Text value = old->Value();
  if (XmlNodePtr parent = old->Parent()) parent->DelChild(old);
  XmlNodePtr target = lang.GetChildNode(u"Config.Options.KeyboardShortcuts", true, true, u".");
  if (target && target->Value().empty()) target->Value(value);
}

}  // namespace

bool CheckVersionChanges(const XmlNodePtr& languages) {
  if (!languages) return false;
  try {
    bool changed = false;
    if (mStringTools::NeedUpdate(languages->Attribut(kVersionAttr), u"0.2")) {
      long n = languages->ChildCount();
      for (long i = 1; i <= n; ++i)
        if (XmlNodePtr lang = languages->Child(i)) UpgradeTo02(*lang);
      languages->Attribut(kVersionAttr, u"0.2");
      changed = true;
    }
    if (mStringTools::NeedUpdate(languages->Attribut(kVersionAttr), u"0.3")) {
      long n = languages->ChildCount();
      for (long i = 1; i <= n; ++i)
        if (XmlNodePtr lang = languages->Child(i)) UpgradeTo03(*lang);
      languages->Attribut(kVersionAttr, u"0.3");
      changed = true;
    }
    if (languages->Attribut(kVersionAttr) != kFormatVersion) {
      languages->Attribut(kVersionAttr, kFormatVersion);
      changed = true;
    }
    return changed;
  } catch (const std::exception& e) {
    ErrLog::Exception("mLangFormat.CheckVersionChanges", e.what());
    return false;
  }
}

bool IsObsoleteFormat(TextView filePath, TextView rootVersion, TextView announcedFormatVersion) {
  if (announcedFormatVersion.empty()) return false;
  if (txt::LCase(filePath).find(txt::LCase(kMenuFileMarker)) == Text::npos) return false;
  return mStringTools::NeedUpdate(rootVersion, announcedFormatVersion);
}

Text ObsoleteFormatMessage() {
  return u"Warning!\r\n\r\nThe format of the language file you just loaded is obsolete.\r\n"
         u"Make sure you make the translation from the latest language file provided on the beta channel of "
         u"Kestrova updates.";
}

Text IconFileName(TextView langId) {
  size_t dash = langId.find(u'-');
  TextView part = dash == TextView::npos ? langId : langId.substr(dash + 1);
  return txt::LCase(part) + u".png";
}

bool IsReferenceLangID(TextView langId) { return langId.size() >= 2 && txt::EqualsNoCase(langId.substr(0, 2), u"en"); }

}  // namespace mLangFormat
