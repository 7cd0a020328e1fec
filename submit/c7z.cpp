#include "submit/c7z.h"

#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <exception>
#include <vector>

#include "platform/ErrLog.h"
#include "platform/EventLoop.h"
#include "platform/ProcessTools.h"
#include "storage/mFileUtils.h"
#include "storage/mStringTools.h"
#include "storage/mTextFile.h"

namespace {

constexpr const char* kObj = "c7z";
constexpr TextView kAllOk = u"Everything is Ok";
const Text kQ = u"\"";

void Trap(const char* routine, const std::exception* e, ErrLog::Kind kind = ErrLog::Kind::Function) {
  ErrLog::Error(5, e ? txt::FromUtf8(e->what()) : Text(u"Unknown error"), kObj, routine, kind);
}

bool Contains(TextView hay, TextView needle) { return hay.find(needle) != TextView::npos; }

// Lines of the output, without their CR (the archiver ends lines with LF here).
std::vector<Text> Lines(TextView t) {
  std::vector<Text> out;
  size_t start = 0;
  while (start <= t.size()) {
    size_t end = t.find(u'\n', start);
    if (end == TextView::npos) end = t.size();
    Text line(t.substr(start, end - start));
    while (!line.empty() && line.back() == u'\r') line.pop_back();
    out.push_back(std::move(line));
    start = end + 1;
  }
  return out;
}

// The number after the last occurrence of the marker; 0 when it is missing.
long CountAfterLast(TextView output, TextView marker) {
  size_t p = output.rfind(marker);
  if (p == TextView::npos) return 0;
  return static_cast<long>(txt::ToInt(output.substr(p + marker.size())));
}

// A name inside the archive that stays inside the folder it is extracted to.
bool SafeMemberName(TextView file) {
  if (file.empty() || file[0] == u'/' || file[0] == u'\\') return false;
  if (file.size() >= 2 && file[1] == u':') return false;
  size_t start = 0;
  while (start <= file.size()) {
    size_t end = file.find_first_of(u"/\\", start);
    if (end == TextView::npos) end = file.size();
    if (file.substr(start, end - start) == u"..") return false;
    start = end + 1;
  }
  return true;
}

// Where the archiver put a member: the recursive extraction keeps the member's folders,
// so a bare name may land below the destination. Links are never followed.
thread_local std::string g_wanted, g_found;
int FindVisit(const char* path, const struct stat* st, int type, struct FTW* ftw) {
  if (type == FTW_F && S_ISREG(st->st_mode) && g_wanted == path + ftw->base) {
    g_found = path;
    return 1;
  }
  return 0;
}
std::string FindExtracted(const std::string& folder, TextView file) {
  std::string direct = folder + mFileUtils::NativePath(file);
  struct stat st {};
  if (::lstat(direct.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return direct;
  g_wanted = mFileUtils::NativePath(mFileUtils::FileNameOnly(file));
  g_found.clear();
  ::nftw(folder.c_str(), FindVisit, 16, FTW_PHYS);
  return g_found;
}

int RemoveVisit(const char* path, const struct stat*, int type, struct FTW*) {
  if (type == FTW_DP) ::rmdir(path);
  else ::unlink(path);
  return 0;
}
// Removes our extraction folder without following links the archive may have held.
void RemoveTree(const std::string& folder) { ::nftw(folder.c_str(), RemoveVisit, 16, FTW_DEPTH | FTW_PHYS); }

}  // namespace

c7z::c7z() {
  dataConn_ = ShellPipe.DataStream.Subscribe([this](const Text& chunk) {
    lastOutput_ += Dos2Win(chunk);
    if (extracting_) ExtractLog.Raise(chunk);
  });
  finishConn_ = ShellPipe.OnFinish.Subscribe([this] { finished_ = true; });
}

c7z::~c7z() { *alive_ = false; }

Text c7z::Path7zip() const {
  if (!path7zip_.empty()) return path7zip_;
  return txt::FromUtf8(platform::proc::ExecutableFolder()) + u"7z.exe";
}

Text c7z::ProgramToRun() const {
  Text configured = Path7zip();
  if (platform::proc::IsExecutable(mFileUtils::NativePath(configured))) return configured;
  std::string onPath = platform::proc::FindOnPath("7z");
  if (!onPath.empty()) return txt::FromUtf8(onPath);
  return configured;
}

Text c7z::TypeSwitch() const {
  static const char16_t* const kNames[] = {u"7z", u"split", u"zip", u"gzip", u"bzip2", u"tar", u"udf", u"iso"};
  if (ArchiveType == 0) return Text();
  Text name = (ArchiveType >= 1 && ArchiveType <= 8) ? kNames[ArchiveType - 1] : u"7z";
  return u"-t" + name + u" ";
}

// The OEM code page of the archiver's command line is the ANSI text itself here.
Text c7z::Win2Dos(TextView text) {
  size_t z = text.find(u'\0');
  return Text(z == TextView::npos ? text : text.substr(0, z));
}
Text c7z::Dos2Win(TextView text) { return Win2Dos(text); }

// There are no short or long path forms here: a path is its own form.
Text c7z::ShortPath(TextView path) { return Text(path); }
Text c7z::LongPath(TextView path) { return Text(path); }

Text c7z::RunSevenZip(TextView arguments, bool wait) {
  try {
    // A run started from an event handler while another waits would mix their output.
    if (running_) {
      ErrLog::Line(u"Erreur [c7z] 7z.exe is already running [" + Text(arguments) + u"]");
      return Text();
    }
    Text command = kQ + LongPath(ProgramToRun()) + kQ + u" " + Text(arguments);
    lastCommand_ = command;
    ErrLog::Line(u"Exec 7zip => " + command);
    lastOutput_.clear();
    finished_ = false;
    if (!ShellPipe.ShellExecPipeAsync(Win2Dos(command), false, cShellPipe::IDLE_PRIORITY_CLASS)) {
      finished_ = true;
      ErrLog::Line(u"Erreur [c7z] en ex\u00e9cutant 7z.exe [" + command + u"]");
      return Text();
    }
    // Nothing is ever typed to the archiver: a prompt (a password, a question) then ends
    // the run instead of waiting forever.
    ShellPipe.CloseWritePipe();
    if (!wait) return u"OK";
    running_ = true;
    auto alive = alive_;
    while (!finished_) {
      platform::SleepMs(10);
      platform::DoEvents();
      if (!*alive) return Text();
      if (!finished_ && !ShellPipe.Running()) break;  // the poll stopped without an end
    }
    running_ = false;
    return lastOutput_;
  } catch (const std::exception& e) {
    running_ = false;
    Trap("RunSevenZip", &e);
  } catch (...) {
    running_ = false;
    Trap("RunSevenZip", nullptr);
  }
  return Text();
}

bool c7z::Add(TextView files) {
  try {
    if (fileName_.empty()) return false;
    Text level = ArchiveType == 4 ? Text() : Text(u"-mx9");
    Text folder = mFileUtils::FilePathOnly(fileName_);
    if (!folder.empty()) folder = mFileUtils::AddDirSep(folder);
    Text args = u" a " + TypeSwitch() + kQ + ShortPath(fileName_) + kQ + u" " + level + u" " + kQ + folder +
                Text(files) + kQ;
    return Contains(RunSevenZip(args, true), kAllOk);
  } catch (const std::exception& e) {
    Trap("Add", &e);
  } catch (...) {
    Trap("Add", nullptr);
  }
  return false;
}

bool c7z::TestArchive(TextView file, long& files, long& folders) {
  files = 0;
  folders = 0;
  try {
    if (fileName_.empty()) return false;
    Text args = u"t " + kQ + ShortPath(fileName_) + kQ;
    if (!file.empty()) args += u" " + kQ + Text(file) + kQ;
    Text out = RunSevenZip(args, true);
    folders = CountAfterLast(out, u"Folders: ");
    files = CountAfterLast(out, u"Files: ");
    return Contains(out, kAllOk);
  } catch (const std::exception& e) {
    Trap("TestArchive", &e);
  } catch (...) {
    Trap("TestArchive", nullptr);
  }
  files = 0;
  folders = 0;
  return false;
}

bool c7z::Extract(TextView file, TextView destination) {
  try {
    if (fileName_.empty()) {
      ErrLog::Line(u"Erreur [c7z] Fichier 7zip non d\u00e9fini");
      return false;
    }
    Text args = u"x -y -r -o" + kQ + ShortPath(destination) + kQ + u" " + kQ + ShortPath(fileName_) + kQ + u" " +
                kQ + Text(file) + kQ;
    extracting_ = true;
    auto alive = alive_;
    Text out = RunSevenZip(args, true);
    if (!*alive) return false;
    extracting_ = false;
    bool ok = Contains(out, kAllOk);
    if (!ok) ErrLog::Line(u"Erreur [c7z] Extraction \u00e9chou\u00e9e.");
    return ok;
  } catch (const std::exception& e) {
    Trap("Extract", &e);
  } catch (...) {
    Trap("Extract", nullptr);
  }
  extracting_ = false;
  return false;
}

Text c7z::GetFileList(TextView arguments, long& files, long& folders) {
  files = 0;
  folders = 0;
  try {
    if (fileName_.empty()) return Text();
    Text out = RunSevenZip(u" l -slt " + kQ + ShortPath(fileName_) + kQ + u" " + Text(arguments), true);
    size_t dash = out.find(u"----------");
    if (dash == Text::npos) return Text();
    Text result;
    for (const Text& line : Lines(TextView(out).substr(dash))) {
      // A key and a value around the first " = "; the value may hold " = " itself (a name).
      size_t eq = line.find(u" = ");
      if (eq == Text::npos || eq == 0 || eq + 3 >= line.size()) continue;
      TextView key = TextView(line).substr(0, eq);
      if (key == u"Block") continue;
      if (!result.empty()) result += u"\r\n";
      result += line;
      if (key == u"Attributes") {
        if (line.size() > eq + 3 && line[eq + 3] == u'D') ++folders;
        else ++files;
      }
    }
    return result;
  } catch (const std::exception& e) {
    Trap("GetFileList", &e);
  } catch (...) {
    Trap("GetFileList", nullptr);
  }
  files = 0;
  folders = 0;
  return Text();
}

Text c7z::GetFileInfo(TextView arguments, TextView property) {
  try {
    if (fileName_.empty()) return Text();
    Text want = txt::LCase(mStringTools::xTrim(property));
    Text out = RunSevenZip(u" l -slt " + kQ + ShortPath(fileName_) + kQ + u" " + Text(arguments), true);
    Text result;
    for (const Text& line : Lines(out)) {
      size_t eq = line.find(u" = ");
      if (eq == Text::npos) continue;
      if (txt::LCase(mStringTools::xTrim(TextView(line).substr(0, eq))) == want)
        result = mStringTools::xTrim(TextView(line).substr(eq + 3));
    }
    return result;
  } catch (const std::exception& e) {
    Trap("GetFileInfo", &e);
  } catch (...) {
    Trap("GetFileInfo", nullptr);
  }
  return Text();
}

Text c7z::GetFileContent(TextView file, bool& found) {
  found = false;
  try {
    if (!SafeMemberName(file)) return Text();
    // A private folder: extracting straight into the shared temporary folder would
    // overwrite, and then delete, a file of the same name that is not ours.
    std::string tmpl = mFileUtils::NativePath(TmpPath()) + "ksv7z_XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) return Text();
    Text folder = txt::FromUtf8(buf.data());
    Text content;
    if (Extract(file, mFileUtils::AddDirSep(folder))) {
      std::string path = FindExtracted(std::string(buf.data()) + "/", file);
      if (!path.empty()) {
        int mode = mStringTools::ModeAutoDetect;
        content = mTextFile::LoadTextFile(txt::FromUtf8(path), true, true, mode);
        found = true;
      }
    }
    RemoveTree(buf.data());
    return found ? content : Text();
  } catch (const std::exception& e) {
    Trap("GetFileContent", &e);
  } catch (...) {
    Trap("GetFileContent", nullptr);
  }
  found = false;
  return Text();
}

Text c7z::TmpPath() {
  try {
    return txt::FromUtf8(platform::proc::TempFolder());
  } catch (...) {
    Trap("TmpPath", nullptr);
  }
  return Text();
}

Text c7z::GetTmpFile() {
  try {
    std::string tmpl = mFileUtils::NativePath(TmpPath()) + "XXXXXX.tmp";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    int fd = ::mkstemps(buf.data(), 4);
    if (fd < 0) return Text();
    ::close(fd);
    return txt::FromUtf8(buf.data());
  } catch (...) {
    Trap("GetTmpFile", nullptr);
  }
  return Text();
}
