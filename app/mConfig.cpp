#include "app/mConfig.h"

#include "AppInfo.h"
#include "platform/ErrLog.h"
#include "platform/ProcessTools.h"
#include "storage/mTextFile.h"

namespace mConfig {
namespace {
XmlNodePtr g_config;
Text g_path;

XmlNodePtr NewConfig() {
  auto doc = cXmlNode::New();
  doc->Name(KSV_EXE_NAME);
  return doc;
}

XmlNodePtr KeyNode(TextView key) {
  return Config()->GetChildNode(u"Config." + Text(key), true, true, u".");
}
}  // namespace

Text ConfigPath() {
  if (!g_path.empty()) return g_path;
  return txt::FromUtf8(platform::proc::ExecutableFolder()) + KSV_EXE_NAME + u".xml";
}

void SetConfigPath(TextView path) {
  g_path = Text(path);
  g_config.reset();
}

void LoadConfig() {
  try {
    int mode = 0;
    Text text = mTextFile::LoadTextFile(ConfigPath(), false, true, mode);
    auto doc = cXmlNode::New();
    doc->XmlData___NonRecursif(std::move(text));
    // A file of another program (or none at all) is not ours to keep.
    g_config = doc->Name() == KSV_EXE_NAME ? doc : NewConfig();
  } catch (const std::exception& e) {
    ErrLog::Exception("mConfig.LoadConfig", e.what());
    g_config = NewConfig();
  }
}

XmlNodePtr Config() {
  if (!g_config) LoadConfig();
  return g_config;
}

bool SaveConfig() {
  try {
    XmlNodePtr cfg = Config()->GetChildNode(u"Config", true, true, u".");
    if (cfg) cfg->DeleteEmptyChilds(true);
    return mTextFile::SaveFile(ConfigPath(), Config()->XmlData());
  } catch (const std::exception& e) {
    ErrLog::Exception("mConfig.SaveConfig", e.what());
    return false;
  }
}

Text GetConfig(TextView key) {
  XmlNodePtr n = KeyNode(key);
  return n ? n->Value() : Text();
}

void SetConfig(TextView key, TextView value) {
  if (XmlNodePtr n = KeyNode(key)) n->Value(Text(value));
}

}  // namespace mConfig
