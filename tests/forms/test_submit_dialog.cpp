#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <string>
#include <vector>

#include "app/mConfig.h"
#include "controls/ctlTextEdit.h"
#include "forms/frmSubmit.h"
#include "platform/EventLoop.h"
#include "storage/mFileUtils.h"
#include "tests/net/PyHttpServer.h"
#include "tests/submit/SubmitFixture.h"

using submittest::Boxes;
using submittest::Suite;

namespace {

using nettest::UploadServer;
using testutil::Contains;

// One dialog on the test suite, with its own configuration file and folders.
struct DialogFixture : ::testing::Test {
  Suite s;
  testutil::TempDir cfgDir;
  std::unique_ptr<frmSubmit> f;

  void SetUp() override { mConfig::SetConfigPath(cfgDir.tfile("KsvLangEditor.xml")); }
  void TearDown() override {
    f.reset();
    mConfig::SetConfigPath(u"");
  }
  void Open() {
    f = std::make_unique<frmSubmit>();
    f->Submission().ProgramFolder(s.Program());
    f->Submission().WorkFolder(s.Work());
    f->Form_Load(s.Root());
    f->show();
  }
  int LangIndex(const char* id) { return f->cmbLangs->findText(QString("[%1]").arg(id), Qt::MatchEndsWith); }
  void Choose(const char* id) {
    int i = LangIndex(id);
    ASSERT_GE(i, 0) << id;
    f->cmbLangs->setCurrentIndex(i);
    f->cmbLangs_Click();
  }
  void FillTranslator(const char16_t* name, const char16_t* email, const char16_t* id) {
    f->txtAuthorName->SetText(name);
    f->txtAuthorEmail->SetText(email);
    f->txtAuthorID->SetText(id);
  }
  std::vector<std::string> Archives() {
    std::vector<std::string> out;
    for (const Text& n : mFileUtils::GetFileList(s.Program() + u"*.7z")) out.push_back(txt::ToUtf8(n));
    return out;
  }
};

TEST_F(DialogFixture, OpensWithLanguagesToolsAndSavedTranslatorAndStoresThemOnClose) {
  mConfig::SetConfig(u"Translator.Name", u"Anne");
  mConfig::SetConfig(u"Translator.Email", u"anne@example.org");
  mConfig::SetConfig(u"Translator.ID", u"T-42");
  Open();
  EXPECT_TRUE(f->chkSaveTranslatorInfo->isChecked());
  EXPECT_EQ(f->pages->currentWidget(), f->submitPage);  // an ID means the upload page

  // French, found in two tools and two letter cases, is one entry that selects both tools.
  ASSERT_EQ(f->cmbLangs->count(), 4);
  EXPECT_EQ(f->cmbLangs->itemText(LangIndex("pt-BR")).toStdString(), "Portuguese - Brazil [pt-BR]");
  Choose("fr");
  EXPECT_EQ(f->SelectedTools(), (std::vector<long>{1, 2}));
  EXPECT_TRUE(f->cmdSubmit->isEnabled());
  // The submit button follows the fields and the tool selection.
  FillTranslator(u"Anne", u"anne@exampleorg", u"T-42");
  EXPECT_FALSE(f->cmdSubmit->isEnabled());
  FillTranslator(u"Anne", u"anne@example.org", u"T-42");
  f->lstToolsTranslations->clearSelection();
  EXPECT_FALSE(f->cmdSubmit->isEnabled());
  EXPECT_FALSE(f->cmdZIP->isEnabled());
  f->chkUseProxy->setChecked(true);
  EXPECT_TRUE(f->txtProxyHost->isEnabled());

  FillTranslator(u"Anne-Marie", u"am@example.org", u"T-43");
  f->close();
  std::string cfg = testutil::ReadAll(cfgDir.file("KsvLangEditor.xml"));
  EXPECT_TRUE(Contains(cfg, "<Name>Anne-Marie</Name>")) << cfg;
  EXPECT_TRUE(Contains(cfg, "<ID>T-43</ID>")) << cfg;
}

TEST_F(DialogFixture, WithoutSavedTranslatorNothingIsStoredAndZipKeepsTheDialogOpen) {
  Open();
  EXPECT_FALSE(f->chkSaveTranslatorInfo->isChecked());
  EXPECT_EQ(f->pages->currentWidget(), static_cast<QWidget*>(f->FrameZIP));
  EXPECT_FALSE(f->cmdZIP->isEnabled());  // no language chosen yet
  Choose("fr");
  Boxes boxes;
  f->cmdZIP->click();
  ASSERT_EQ(Archives().size(), 1u) << boxes.Texts();
  EXPECT_EQ(boxes.seen.size(), 1u);
  EXPECT_TRUE(f->isVisible());
  FillTranslator(u"Bob", u"bob@example.org", u"B-1");
  f->cmdCancel->click();
  EXPECT_FALSE(f->isVisible());
  EXPECT_FALSE(testutil::Exists(cfgDir.file("KsvLangEditor.xml")));
}

struct UploadCase {
  const char* name;
  std::vector<std::string> serverArgs;
  std::vector<int> answers;  // scripted message-box answers
  bool closes, archiveKept;
};

void PrintTo(const UploadCase& c, std::ostream* os) { *os << c.name; }

class DialogUpload : public DialogFixture, public ::testing::WithParamInterface<UploadCase> {};

TEST_P(DialogUpload, SendsTheArchiveAndHandlesTheAnswer) {
  const UploadCase& c = GetParam();
  std::vector<std::string> args{"--expect-header", "x-lng-id: fr", "--expect-user", "anne@example.org",
                                "--expect-password", "T-42"};
  args.insert(args.end(), c.serverArgs.begin(), c.serverArgs.end());
  UploadServer server(args);
  ASSERT_TRUE(server.ready());
  mConfig::SetConfig(u"Server.Host", txt::FromUtf8("127.0.0.1:" + std::to_string(server.port())));
  Open();
  Choose("fr");
  FillTranslator(u"Anne", u"anne@example.org", u"T-42");
  f->txtComments->SetText(u"Relu deux fois.");

  Boxes boxes;
  boxes.answers = c.answers;
  bool ended = false;
  auto conn = f->Submission().UploadEnded.Subscribe([&](bool) { ended = true; });
  ASSERT_TRUE(f->cmdSubmit->isEnabled());
  f->cmdSubmit->click();
  ASSERT_TRUE(platform::WaitUntil([&] { return ended; }, 20000)) << boxes.Texts();
  EXPECT_FALSE(testutil::Exists(s.program + "/comments.tmp"));

  EXPECT_TRUE(Contains(server.Report(), "\"problems\": []")) << server.Report();
  std::string texts = boxes.Texts();
  if (c.closes) {
    ASSERT_EQ(boxes.seen.size(), 2u) << texts;
    EXPECT_EQ(txt::ToUtf8(boxes.seen[0].text), "thanks");
    EXPECT_EQ(boxes.seen[0].flags, platform::vbInformation);
    EXPECT_TRUE(Contains(txt::ToUtf8(boxes.seen[1].text), "Do you keep the ZIP file as a backup?\r\n\r\nKSVLangPack_fr_"))
        << texts;  // the archive's name, not its full path
    EXPECT_EQ(boxes.seen[1].flags, platform::vbYesNo | platform::vbQuestion);
    EXPECT_FALSE(f->isVisible());
  } else {
    ASSERT_EQ(boxes.seen.size(), 1u) << texts;
    EXPECT_EQ(txt::ToUtf8(boxes.seen[0].title), "Error 500");
    EXPECT_TRUE(Contains(texts, "\r\nNot today")) << texts;
    EXPECT_TRUE(f->isVisible());
    EXPECT_TRUE(f->cmdSubmit->isEnabled());  // usable for another try
  }
  EXPECT_EQ(Archives().size(), c.archiveKept ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DialogUpload,
    ::testing::Values(UploadCase{"OkKeep", {"--page", "OK thanks"}, {platform::vbOK, platform::vbYes}, true, true},
                      UploadCase{"OkDrop", {"--page", "OK thanks"}, {platform::vbOK, platform::vbNo}, true, false},
                      UploadCase{"Refused", {"--status", "500", "--page", "Not today"}, {}, false, false}),
    [](const ::testing::TestParamInfo<UploadCase>& i) { return std::string(i.param.name); });

TEST_F(DialogFixture, CancellingAnUploadKeepsTheDialogAndDropsTheArchive) {
  // A listener that takes the request and never answers: the upload can only end by cancelling.
  nettest::ScriptServer mute;
  mute.Add(nettest::Script{{}, 0, true});
  mConfig::SetConfig(u"Server.Host", txt::FromUtf8("127.0.0.1:" + std::to_string(mute.port())));
  Open();
  Choose("fr");
  FillTranslator(u"Anne", u"anne@example.org", u"T-42");
  Boxes boxes;
  bool ended = false;
  auto conn = f->Submission().UploadEnded.Subscribe([&](bool) { ended = true; });
  f->cmdSubmit->click();
  EXPECT_TRUE(f->Submission().Uploading());
  f->cmdCancel->click();
  ASSERT_TRUE(platform::WaitUntil([&] { return ended; }, 5000));
  EXPECT_TRUE(boxes.seen.empty()) << boxes.Texts();
  EXPECT_TRUE(f->isVisible());
  EXPECT_TRUE(Archives().empty());
}

}  // namespace
