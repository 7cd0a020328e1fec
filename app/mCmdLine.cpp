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
  std::string path, checkOnly;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
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
      if (a == "--check") {
        o.action = Action::Check;
      } else if (a == "--json" || a == "--spelling") {
        (a == "--json" ? o.checkJson : o.checkSpelling) = true;
        checkOnly = a;
      } else if (a == "--tool" || a == "--lang") {
        if (i + 1 >= args.size() || args[i + 1].empty()) return Fail(a + " needs a value");
        Text value = PathText(args[++i]);
        if (value.empty()) return Fail(a + ": the value is not valid UTF-8");
        (a == "--tool" ? o.checkTool : o.checkLang) = value;
        checkOnly = a;
      } else {
        return Fail("unknown option " + Quoted(a));
      }
      continue;
    }
    if (!path.empty()) return Fail("only one suite folder or language file may be given");
    if (a.empty()) return Fail("empty path");
    path = a;
  }
  if (!checkOnly.empty() && o.action != Action::Check) return Fail(checkOnly + " goes with --check");
  if (!o.checkTool.empty()) {
    bool known = false;
    std::string names;
    for (const mTools::Tool& t : mTools::Tools()) {
      known = known || txt::EqualsNoCase(t.name, o.checkTool);
      names += (names.empty() ? "" : ", ") + txt::ToUtf8(t.name);
    }
    if (!known) return Fail("unknown tool " + Quoted(txt::ToUtf8(o.checkTool)) + " (the tools: " + names + ")");
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
  } else if (S_ISREG(st.st_mode) && o.action == Action::Check) {
    return Fail("--check takes a suite folder, not a file");
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
         "       " + exe + " --check [SUITE-FOLDER] [--tool NAME] [--lang ID] [--json] [--spelling]\n"
         "Edit the XML language files of a Kestrova suite, or check its translations.\n"
         "\n"
         "  SUITE-FOLDER   the suite's folder (the one holding Kestrova.exe, or a folder below it)\n"
         "  LANGUAGE-FILE  an XML language file to open at once\n"
         "  --check        check every translation against English, without a window: lost\n"
         "                 placeholders and tags, strings English lacks (errors); accelerators,\n"
         "                 spaces, line breaks, end punctuation, length, untranslated (warnings)\n"
         "  --tool NAME    only this tool (its name as the Tools menu shows it)\n"
         "  --lang ID      only this language (\"fr\", \"pt-BR\")\n"
         "  --json         one JSON array of {tool, lang, key, check, severity, message} on\n"
         "                 stdout; the summary goes to stderr\n"
         "  --spelling     words the system's spelling dictionary of the language does not\n"
         "                 know (warnings; languages without a dictionary are named)\n"
         "  -h, --help     show this help and exit\n"
         "  --version      show the version and exit\n"
         "\n"
         "Without a folder the suite is looked for in the folder chosen last time, around the\n"
         "program itself and among the running suite programs.\n"
         "--check prints one line per finding (tool/lang/key: severity: message) and a summary,\n"
         "and exits with 0 when no error was found, 1 when there were errors, 2 when the suite\n"
         "cannot be found or read.\n";
}

std::string VersionText() { return txt::ToUtf8(Text(KSV_TITLE) + u" " + KSV_VERSION_TEXT) + "\n"; }

int Handle(const Options& o, std::string& out, std::string& err) {
  switch (o.action) {
    case Action::Help: out += HelpText(); return 0;
    case Action::Version: out += VersionText(); return 0;
    case Action::Error: err += txt::ToUtf8(KSV_EXE_NAME) + ": " + o.error + " (try --help)\n"; return 2;
    case Action::Run:
    case Action::Check: break;
  }
  return -1;
}

}  // namespace mCmdLine
