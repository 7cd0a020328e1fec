#include "app/mConfig.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "AppInfo.h"
#include "platform/ErrLog.h"
#include "platform/MsgBox.h"
#include "platform/ProcessTools.h"
#include "storage/mFileUtils.h"
#include "storage/mTextFile.h"

namespace mConfig {
namespace {
XmlNodePtr g_config;
Text g_path;
bool g_failureReported = false;

// access(W_OK) says yes to root on any folder of a writable mount, so only creating a file
// tells whether the save (a temporary file renamed over the old one) can work.
bool CanCreateFilesIn(const std::string& folder) {
  if (folder.empty()) return false;
  std::string probe = folder + (folder.back() == '/' ? "" : "/") + ".KsvLangEditor-probe-" + std::to_string(::getpid());
  int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

bool Absolute(const char* p) { return p && p[0] == '/'; }

Text RootName() {
  Text name = mFileUtils::FileNameOnly(ConfigPath());
  size_t dot = name.rfind(u'.');
  return dot == Text::npos ? name : name.substr(0, dot);
}

XmlNodePtr NewConfig() {
  auto doc = cXmlNode::New();
  doc->Name(RootName());
  return doc;
}

XmlNodePtr KeyNode(TextView key) {
  return Config()->GetChildNode(u"Config." + Text(key), true, true, u".");
}
}  // namespace

Text ExeName() {
  Text name = mFileUtils::FileNameOnly(txt::FromUtf8(platform::proc::ExecutablePath()));
  return name.empty() ? Text(KSV_EXE_NAME) : name;
}

Text ConfigPathFor(TextView programFolder, TextView exeName, const char* xdgConfigHome, const char* home) {
  Text file = Text(exeName) + u".xml";
  if (CanCreateFilesIn(txt::ToUtf8(programFolder))) return mFileUtils::AddDirSep(programFolder) + file;
  Text base;
  if (Absolute(xdgConfigHome)) base = txt::FromUtf8(xdgConfigHome);
  else if (Absolute(home)) base = mFileUtils::AddDirSep(txt::FromUtf8(home)) + u".config";
  // Nowhere of the user's own: the program's folder, whose failed save is then reported.
  if (base.empty()) return mFileUtils::AddDirSep(programFolder) + file;
  return mFileUtils::AddDirSep(base) + KSV_EXE_NAME + u"/" + file;
}

Text ConfigPath() {
  if (g_path.empty()) {
    const char* home = std::getenv("HOME");
    if (!Absolute(home))
      if (const passwd* pw = ::getpwuid(::getuid())) home = pw->pw_dir;
    g_path = ConfigPathFor(txt::FromUtf8(platform::proc::ExecutableFolder()), ExeName(), std::getenv("XDG_CONFIG_HOME"),
                           home);
  }
  return g_path;
}

void SetConfigPath(TextView path) {
  g_path = Text(path);
  g_config.reset();
  g_failureReported = false;
}

void LoadConfig() {
  try {
    int mode = 0;
    Text text = mTextFile::LoadTextFile(ConfigPath(), false, true, mode);
    auto doc = cXmlNode::New();
    doc->XmlData___NonRecursif(std::move(text));
    // A file of another program (or none at all) is not ours to keep.
    g_config = doc->Name() == RootName() ? doc : NewConfig();
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
  mTextFile::SaveOutcome out{mTextFile::SaveStep::Prepare, ENOMEM};
  try {
    XmlNodePtr cfg = Config()->GetChildNode(u"Config", true, true, u".");
    if (cfg) cfg->DeleteEmptyChilds(true);
    out = mTextFile::SaveFileOutcome(ConfigPath(), Config()->XmlData());
  } catch (const std::exception& e) {
    ErrLog::Exception("mConfig.SaveConfig", e.what());
  }
  // Settings the translator asked to keep must not vanish unseen; once is enough, though.
  if (!out && !g_failureReported) {
    g_failureReported = true;
    platform::MsgBox(u"Your settings could not be saved in\r\n" + ConfigPath() + u": " +
                         mTextFile::SaveFailureReason(out) + u"\r\n\r\nThey are kept until the program ends.",
                     platform::vbExclamation | platform::vbOKOnly);
  }
  return out.ok();
}

Text GetConfig(TextView key) {
  XmlNodePtr n = KeyNode(key);
  return n ? n->Value() : Text();
}

void SetConfig(TextView key, TextView value) {
  if (XmlNodePtr n = KeyNode(key)) n->Value(Text(value));
}

}  // namespace mConfig
