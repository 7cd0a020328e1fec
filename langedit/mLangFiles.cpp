#include "langedit/mLangFiles.h"

#include <exception>
#include <functional>

#include "langedit/mLangFormat.h"
#include "platform/ErrLog.h"
#include "storage/VbDate.h"
#include "storage/mFileUtils.h"
#include "storage/mTextFile.h"

namespace mLangFiles {

XmlNodePtr ReadXmlFile(TextView path, bool lazy, Text* stamp) {
  auto doc = cXmlNode::New();
  if (stamp) stamp->clear();
  try {
    int mode = 0;
    Text text = mTextFile::LoadTextFile(path, false, true, mode);
    if (stamp) *stamp = ContentStamp(text);
    if (lazy) doc->XmlData(std::move(text));
    else doc->XmlData___NonRecursif(std::move(text));
  } catch (const std::exception& e) {
    ErrLog::Exception("mLangFiles.ReadXmlFile", e.what());
  }
  return doc;
}

XmlNodePtr ReadLanguagesFile(TextView path, XmlNodePtr& doc, Text* stamp) {
  doc = cXmlNode::New();
  try {
    int mode = 0;
    Text text = mTextFile::LoadTextFile(path, false, true, mode);
    if (stamp) *stamp = ContentStamp(text);
    if (txt::LCase(text).find(u"</languages") == Text::npos) return nullptr;
    doc->XmlData___NonRecursif(std::move(text));
    XmlNodePtr languages = FindLanguages(doc);
    if (languages) mLangFormat::CheckVersionChanges(languages);
    return languages;
  } catch (const std::exception& e) {
    ErrLog::Exception("mLangFiles.ReadLanguagesFile", e.what());
    return nullptr;
  }
}

Text ContentStamp(TextView text) {
  if (text.empty()) return Text();
  return txt::FromInt(static_cast<long long>(text.size())) + u":" +
         txt::FromInt(static_cast<long long>(std::hash<TextView>{}(text) & 0x7FFFFFFFFFFFFFFFULL));
}

Text FileStamp(TextView path) {
  int mode = 0;
  return ContentStamp(mTextFile::LoadTextFile(path, false, true, mode));
}

XmlNodePtr FindLanguages(const XmlNodePtr& doc) {
  if (!doc) return nullptr;
  return doc->FindNode(mLangFormat::kRootTag, true, false);
}

Text LangFileText(const XmlNodePtr& doc, const XmlNodePtr& languages) {
  if (!doc) return Text();
  if (languages && doc != languages && doc->Name().empty()) return languages->XmlData();
  return doc->XmlData();
}

XmlNodePtr NewLanguagesRoot(TextView version, const XmlNodePtr& lang) {
  auto root = cXmlNode::New();
  root->Name(mLangFormat::kRootTag);
  root->Attribut(mLangFormat::kVersionAttr, version);
  if (lang) root->AddChild(lang->Clone());
  return root;
}

Text NewLangFilePath(TextView pattern, TextView langId) {
  size_t star = pattern.find(u'*');
  if (star == TextView::npos) return Text();
  Text head(pattern.substr(0, star)), tail(pattern.substr(star + 1));
  Text path = head + Text(langId) + tail;
  // Bounded: a folder full of numbered copies must not hang the editor.
  for (long n = 2; mFileUtils::FileExists(path) && n < 100000; ++n)
    path = head + Text(langId) + u"_" + txt::FromInt(n) + tail;
  return mFileUtils::FileExists(path) ? Text() : path;
}

Text NewLangFileText(const XmlNodePtr& lang) {
  if (!lang) return Text();
  // The root element itself: a nameless document around it would be written as "<>".
  return NewLanguagesRoot(mLangFormat::kCreatedFormatVersion, lang)->XmlData();
}

Text Today() { return vbdate::Format(vbdate::Today(), mLangFormat::kDateFormat); }

mTextFile::SaveOutcome WriteLangFile(TextView path, TextView text) {
  return mTextFile::SaveFileOutcome(path, text, true, 2, false, 1252, 0, false, u"", 0, 5);
}

}  // namespace mLangFiles
