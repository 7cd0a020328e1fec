#pragma once
// The dialog that sends one language of the suite's tools to the maintainers: packed for
// e-mail on the ZIP page, or uploaded from the submit page. Its work is done by cSubmission.
#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

#include "net/cHTTPGet.h"
#include "platform/Event.h"
#include "platform/Text.h"
#include "submit/cSubmission.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class ctlTextEdit;

class frmSubmit : public QDialog {
 public:
  explicit frmSubmit(QWidget* owner = nullptr);
  ~frmSubmit() override;

  // Asked before a language is packed, with its ID and the tools chosen; false stops it.
  using PackingCheck = std::function<bool(frmSubmit&, const Text& langId, const std::vector<long>& tools)>;
  PackingCheck BeforePacking;

  // Opens the dialog modally for the suite below suiteRoot.
  static void ShowSubmit(QWidget* owner, const Text& suiteRoot, PackingCheck beforePacking = {});

  // Reads the translator's settings and every tool's languages.
  void Form_Load(const Text& suiteRoot);
  // Stores the translator's settings when asked to.
  void Form_Unload();

  cSubmission& Submission() { return *state_; }
  // The server host (host or host:port): the configuration's "Server.Host" or the default.
  static Text ServerHost();

  void cmbLangs_Click();
  void cmbContributors_Click();
  void lstToolsTranslations_Change();
  void UpdateSumbitButton();
  void UpdateZipButton();
  void cmdZIP_Click();
  void cmdCopyEmail_Click();
  void cmdSubmit_Click();
  void cmdCNXdone_Click();
  void chkUseProxy_Click();
  void cmdCancel_Click();
  void ShowZipPage();
  void ShowSubmitPage();
  // The chosen language ID ("" when none) and the checked tools (1-based numbers).
  Text ChosenLangID() const;
  std::vector<long> SelectedTools() const;

  // Controls, named as the form names them.
  QComboBox* cmbLangs = nullptr;
  QListWidget* lstToolsTranslations = nullptr;
  QStackedWidget* pages = nullptr;
  QGroupBox* FrameZIP = nullptr;
  QPushButton* cmdZIP = nullptr;
  QLineEdit* txtEmail = nullptr;
  QPushButton* cmdCopyEmail = nullptr;
  QLabel* lblSubmitLink = nullptr;
  QWidget* submitPage = nullptr;
  QGroupBox* FrameContrib = nullptr;
  QComboBox* cmbContributors = nullptr;
  ctlTextEdit* txtAuthorName = nullptr;
  ctlTextEdit* txtAuthorEmail = nullptr;
  ctlTextEdit* txtAuthorID = nullptr;
  QCheckBox* chkSaveTranslatorInfo = nullptr;
  ctlTextEdit* txtComments = nullptr;
  QPushButton* cmdSubmit = nullptr;
  QLabel* lblZIPformLink = nullptr;
  QGroupBox* FrameCNX = nullptr;
  QCheckBox* chkUseProxy = nullptr;
  QLineEdit* txtProxyHost = nullptr;
  QLineEdit* txtProxyPort = nullptr;
  QLineEdit* txtProxyUser = nullptr;
  QLineEdit* txtProxyPass = nullptr;
  QPushButton* cmdCNXdone = nullptr;
  QProgressBar* prgTransfer = nullptr;
  QLabel* lblStatus = nullptr;
  QPushButton* cmdCancel = nullptr;

  // The download client the connection settings prepare (no download is started with it).
  cHTTPGet* HTTP() const { return HTTP_.get(); }

 protected:
  void done(int result) override;
  void reject() override;
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  void BuildControls();
  void UpdateBusy();
  void OnUploadEnded(bool closeDialog);

  std::unique_ptr<cSubmission> state_;
  std::unique_ptr<cHTTPGet> HTTP_;
  std::vector<Connection> conns_;
  QList<QWidget*> proxyControls_;
  bool unloaded_ = false;
};
