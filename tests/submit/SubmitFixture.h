#pragma once
// A small suite written by the test: two tools sharing French, a file with two languages and
// empty strings, contributors repeated across files, and files the scan must skip.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/MsgBox.h"
#include "storage/mFileUtils.h"
#include "tests/common/TestUtil.h"

namespace submittest {

inline void MakeDirs(const std::string& path) { EXPECT_TRUE(mFileUtils::CreateFolderPath(txt::FromUtf8(path))) << path; }

struct Suite {
  testutil::TempDir tmp;
  std::string root, program, work;

  Suite() {
    root = tmp.file("suite");
    program = tmp.file("program");
    work = tmp.file("scratch/KsvLangEditor");
    MakeDirs(root + "/KestrovaTools/KestrovaMenu/Languages");
    MakeDirs(root + "/KestrovaTools/Setup");
    MakeDirs(root + "/KestrovaTools/SDX");
    MakeDirs(program);
    testutil::WriteAll(root + "/Kestrova.exe", "");
    testutil::WriteAll(root + "/KestrovaTools/KestrovaMenu/Languages/KestrovaMenu_fr.xml",
                       "<Languages version=\"0.4\">\r\n"
                       "\t<fr name=\"Fran\xC3\xA7" "ais\" en_name=\"French\">\r\n"
                       "\t\t<Menu><Open>Ouvrir</Open><Close></Close></Menu>\r\n"
                       "\t\t<Contributors>\r\n"
                       "\t\t\t<Contributor name=\"Anne\" email=\"anne@example.org\" website=\"a.example\"/>\r\n"
                       "\t\t</Contributors>\r\n"
                       "\t</fr>\r\n"
                       "</Languages>\r\n");
    testutil::WriteAll(root + "/KestrovaTools/KestrovaMenu/Languages/KestrovaMenu_pt-BR.xml",
                       "<Languages version=\"0.4\"><pt-BR en_name=\"Portuguese\" en_country=\"\">"
                       "<Menu><Open>Abrir</Open></Menu></pt-BR></Languages>");
    // Two languages in one file; French repeats the contributor, once with another website.
    testutil::WriteAll(root + "/KestrovaTools/Setup/KVSetup_all.xml",
                       "<Languages version=\"0.4\">\r\n"
                       "\t<de en_name=\"German\"><Setup><Next>Weiter</Next></Setup></de>\r\n"
                       "\t<FR en_name=\"French\">\r\n"
                       "\t\t<Setup><Next>Suivant</Next><Back></Back><Empty><Deeper></Deeper></Empty></Setup>\r\n"
                       "\t\t<Contributors>\r\n"
                       "\t\t\t<Contributor name=\"Anne\" email=\"anne@example.org\" website=\"a.example\"/>\r\n"
                       "\t\t\t<Contributor name=\"Anne\" email=\"anne@example.org\" website=\"b.example\"/>\r\n"
                       "\t\t</Contributors>\r\n"
                       "\t</FR>\r\n"
                       "</Languages>\r\n");
    // Skipped: no Languages element, and an ID that would leave the work folder.
    testutil::WriteAll(root + "/KestrovaTools/SDX/SDX_junk.xml", "this is not xml at all");
    testutil::WriteAll(root + "/KestrovaTools/SDX/SDX_evil.xml",
                       "<Languages><a..b><S>x</S></a..b><es en_name=\"Spanish\"><S>Hola</S></es></Languages>");
  }
  Text Root() const { return txt::FromUtf8(root + "/"); }
  Text Program() const { return txt::FromUtf8(program + "/"); }
  Text Work() const { return txt::FromUtf8(work); }
};

// Records every message box and answers from a script (vbOK when it runs dry).
struct Boxes {
  std::vector<platform::MsgBoxRequest> seen;
  std::vector<int> answers;
  platform::MsgBoxHandler previous;
  Boxes() {
    previous = platform::SetMsgBoxHandler([this](const platform::MsgBoxRequest& r) {
      seen.push_back(r);
      return testutil::NextAnswer(answers, platform::vbOK);
    });
  }
  ~Boxes() { platform::SetMsgBoxHandler(previous); }
  std::string Texts() const {
    std::string all;
    for (const auto& r : seen) all += txt::ToUtf8(r.text) + "|";
    return all;
  }
};

// PATH without any 7z on it, for as long as the object lives.
struct NoArchiverOnPath {
  std::string saved;
  testutil::TempDir empty;
  NoArchiverOnPath() {
    const char* p = getenv("PATH");
    saved = p ? p : "";
    setenv("PATH", empty.path().c_str(), 1);
  }
  ~NoArchiverOnPath() { setenv("PATH", saved.c_str(), 1); }
};

}  // namespace submittest
