#include "app/mCmdLine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "AppInfo.h"
#include "langedit/mTools.h"

namespace mCmdLine {
namespace {

struct Switch {
  const char* name;
  Action action;
};
// Options that end the parse at once; one taking a value would read it from the next argument.
constexpr Switch kSwitches[] = {{"--help", Action::Help}, {"-h", Action::Help}, {"--version", Action::Version}};

// A path shown inside quotes on one line: control characters would break the line.
std::string Quoted(const std::string& p) {
  std::string q = "'";
  for (char c : p) q += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
  return q + "'";
}

Options Fail(std::string why) {
  Options o;
  o.action = Action::Error;
  o.error = std::move(why);
  return o;
}

// The path as the program's text, or empty when its bytes are no UTF-8: such a name would
// come back as another file.
Text PathText(const std::string& arg) {
  Text t = txt::FromUtf8(arg);
  return txt::ToUtf8(t) == arg ? t : Text();
}

std::string Absolute(const std::string& p) {
  std::error_code ec;
  auto abs = std::filesystem::absolute(p, ec);
  return ec ? p : abs.lexically_normal().string();
}

}  // namespace

Options Parse(const std::vector<std::string>& args) {
  Options o;
  std::string path;
  bool optionsEnded = false;
  for (const std::string& a : args) {
    if (!optionsEnded && a == "--") {
      optionsEnded = true;
      continue;
    }
    if (!optionsEnded && a.size() > 1 && a[0] == '-') {
      for (const Switch& s : kSwitches)
        if (a == s.name) {
          Options r;
          r.action = s.action;
          return r;
        }
      return Fail("unknown option " + Quoted(a));
    }
    if (!path.empty()) return Fail("only one suite folder or language file may be given");
    if (a.empty()) return Fail("empty path");
    path = a;
  }
  if (path.empty()) return o;

  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return Fail(Quoted(path) + ": no such file or folder");
  std::string abs = Absolute(path);
  Text text = PathText(abs);
  if (text.empty()) return Fail(Quoted(path) + ": the name is not valid UTF-8");
  if (S_ISDIR(st.st_mode)) {
    o.suiteRoot = mTools::FindKSVRoot(text, nullptr);
    if (o.suiteRoot.empty())
      return Fail(Quoted(path) + " is not a Kestrova suite folder (no " + txt::ToUtf8(mTools::kLauncher) +
                  " in it or above it)");
  } else if (S_ISREG(st.st_mode)) {
    if (::access(path.c_str(), R_OK) != 0) return Fail(Quoted(path) + ": the file cannot be read");
    o.langFile = text;
  } else {
    return Fail(Quoted(path) + " is neither a folder nor a file");
  }
  return o;
}

std::string HelpText() {
  std::string exe = txt::ToUtf8(KSV_EXE_NAME);
  return "Usage: " + exe + " [SUITE-FOLDER | LANGUAGE-FILE]\n"
         "Edit the XML language files of a Kestrova suite.\n"
         "\n"
         "  SUITE-FOLDER   the suite's folder (the one holding Kestrova.exe, or a folder below it)\n"
         "  LANGUAGE-FILE  an XML language file to open at once\n"
         "  -h, --help     show this help and exit\n"
         "  --version      show the version and exit\n"
         "\n"
         "Without a folder the suite is looked for in the folder chosen last time, around the\n"
         "program itself and among the running suite programs.\n";
}

std::string VersionText() { return txt::ToUtf8(Text(KSV_TITLE) + u" " + KSV_VERSION_TEXT) + "\n"; }

int Handle(const Options& o, std::string& out, std::string& err) {
  switch (o.action) {
    case Action::Help: out += HelpText(); return 0;
    case Action::Version: out += VersionText(); return 0;
    case Action::Error: err += txt::ToUtf8(KSV_EXE_NAME) + ": " + o.error + " (try --help)\n"; return 2;
    case Action::Run: break;
  }
  return -1;
}

}  // namespace mCmdLine
