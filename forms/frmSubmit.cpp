#include "forms/frmSubmit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "AppInfo.h"
#include "app/mConfig.h"
#include "controls/ctlTextEdit.h"
#include "platform/AppIcon.h"
#include "platform/Desktop.h"
#include "platform/ErrLog.h"
#include "platform/QtText.h"
#include "submit/mSubmit.h"

using qtxt::FromQ;
using qtxt::ToQ;

namespace {

constexpr char16_t kKeyName[] = u"Translator.Name";
constexpr char16_t kKeyEmail[] = u"Translator.Email";
constexpr char16_t kKeyID[] = u"Translator.ID";

void Trap(const char* routine, const std::exception* e) {
  ErrLog::Exception(std::string("frmSubmit.") + routine, e ? e->what() : "unknown error");
}

// Runs a handler so that nothing it throws reaches the toolkit.
template <typename F>
void Guard(const char* routine, F&& f) {
  try {
    f();
  } catch (const std::exception& e) {
    Trap(routine, &e);
  } catch (...) {
    Trap(routine, nullptr);
  }
}

QLabel* Caption(const char16_t* text, QWidget* parent) { return new QLabel(ToQ(text), parent); }

QLabel* Link(const char16_t* text, QWidget* parent) {
  auto* l = new QLabel(QStringLiteral("<a href=\"#\">") + ToQ(text).toHtmlEscaped() + QStringLiteral("</a>"), parent);
  l->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  return l;
}

}  // namespace

frmSubmit::frmSubmit(QWidget* owner) : QDialog(owner), state_(std::make_unique<cSubmission>()) {
  setObjectName(QStringLiteral("frmSubmit"));
  platform::SetAppIcon(this);
  setWindowTitle(ToQ(Text(u"Submit your translation to ") + KSV_SITE_NAME));
  BuildControls();
  conns_.push_back(state_->PackingChanged.Subscribe([this](bool) { UpdateBusy(); }));
  conns_.push_back(state_->UploadStarted.Subscribe([this] {
    prgTransfer->setRange(0, 100);
    prgTransfer->setValue(0);
    UpdateBusy();
  }));
  conns_.push_back(state_->UploadProgress.Subscribe([this](long next, long length) {
    int pct = length > 0 ? static_cast<int>(100.0 * static_cast<double>(next - 1) / static_cast<double>(length)) : 100;
    prgTransfer->setRange(0, 100);
    prgTransfer->setValue(std::clamp(pct, 0, 100));
  }));
  conns_.push_back(state_->UploadEnded.Subscribe([this](bool closeDialog) { OnUploadEnded(closeDialog); }));
  UpdateBusy();
}

frmSubmit::~frmSubmit() {
  conns_.clear();
}

void frmSubmit::BuildControls() {
  auto* root = new QVBoxLayout(this);

  root->addWidget(Caption(u"Select the language you want to submit :", this));
  cmbLangs = new QComboBox(this);
  cmbLangs->setObjectName(QStringLiteral("cmbLangs"));
  root->addWidget(cmbLangs);
  root->addWidget(Caption(u"Select the tools translations you want to submit :", this));
  lstToolsTranslations = new QListWidget(this);
  lstToolsTranslations->setObjectName(QStringLiteral("lstToolsTranslations"));
  lstToolsTranslations->setSelectionMode(QAbstractItemView::MultiSelection);
  lstToolsTranslations->setMinimumHeight(90);
  root->addWidget(lstToolsTranslations);

  pages = new QStackedWidget(this);
  root->addWidget(pages, 1);

  // ZIP page.
  FrameZIP = new QGroupBox(ToQ(u"ZIP your files for send via email"));
  {
    auto* v = new QVBoxLayout(FrameZIP);
    cmdZIP = new QPushButton(ToQ(u"ZIP my translations now !"), FrameZIP);
    v->addWidget(cmdZIP);
    v->addWidget(Caption(u"When your files are saved, send them by email to :", FrameZIP));
    auto* h = new QHBoxLayout;
    txtEmail = new QLineEdit(FrameZIP);
    txtEmail->setReadOnly(true);
    txtEmail->setText(ToQ(KSV_MAINTAINERS_MAIL));
    txtEmail->installEventFilter(this);
    cmdCopyEmail = new QPushButton(ToQ(u"Copy"), FrameZIP);
    h->addWidget(txtEmail, 1);
    h->addWidget(cmdCopyEmail);
    v->addLayout(h);
    auto* l = new QHBoxLayout;
    l->addWidget(Caption(u"If you have a translator ID, you can use the", FrameZIP));
    lblSubmitLink = Link(u"submit form", FrameZIP);
    l->addWidget(lblSubmitLink);
    l->addStretch(1);
    v->addLayout(l);
    v->addStretch(1);
  }
  pages->addWidget(FrameZIP);

  // Submit page: the contributor and the connection settings side by side.
  submitPage = new QWidget;
  {
    auto* h = new QHBoxLayout(submitPage);
    h->setContentsMargins(0, 0, 0, 0);
    FrameContrib = new QGroupBox(ToQ(u"Contributor information (you !) :"), submitPage);
    auto* g = new QGridLayout(FrameContrib);
    int row = 0;
    g->addWidget(Caption(u"Pick from languages :", FrameContrib), row, 0);
    cmbContributors = new QComboBox(FrameContrib);
    g->addWidget(cmbContributors, row++, 1);
    g->addWidget(Caption(u"Name :", FrameContrib), row, 0);
    txtAuthorName = new ctlTextEdit(FrameContrib);
    g->addWidget(txtAuthorName, row++, 1);
    g->addWidget(Caption(u"Email :", FrameContrib), row, 0);
    txtAuthorEmail = new ctlTextEdit(FrameContrib);
    g->addWidget(txtAuthorEmail, row++, 1);
    g->addWidget(Caption(u"Translator ID :", FrameContrib), row, 0);
    txtAuthorID = new ctlTextEdit(FrameContrib);
    g->addWidget(txtAuthorID, row++, 1);
    chkSaveTranslatorInfo = new QCheckBox(ToQ(u"Save these settings in a config file"), FrameContrib);
    g->addWidget(chkSaveTranslatorInfo, row++, 0, 1, 2);
    g->addWidget(Caption(u"Comments :", FrameContrib), row++, 0, 1, 2);
    txtComments = new ctlTextEdit(FrameContrib);
    txtComments->MultiLine(true);
    txtComments->ScrollBars(2);
    txtComments->setMinimumHeight(70);
    g->addWidget(txtComments, row++, 0, 1, 2);
    g->setRowStretch(row - 1, 1);
    cmdSubmit = new QPushButton(ToQ(u"Submit your translation !"), FrameContrib);
    g->addWidget(cmdSubmit, row++, 0, 1, 2);
    lblZIPformLink = Link(u"Go back to the ZIP form", FrameContrib);
    g->addWidget(lblZIPformLink, row++, 0, 1, 2);
    h->addWidget(FrameContrib, 3);

    FrameCNX = new QGroupBox(ToQ(u"You must be connected to the internet to send your translation"), submitPage);
    auto* c = new QGridLayout(FrameCNX);
    row = 0;
    chkUseProxy = new QCheckBox(ToQ(u"Use a HTTP proxy server"), FrameCNX);
    c->addWidget(chkUseProxy, row++, 0, 1, 2);
    auto addField = [&](const char16_t* caption, QLineEdit*& edit) {
      QLabel* l = Caption(caption, FrameCNX);
      edit = new QLineEdit(FrameCNX);
      c->addWidget(l, row++, 0, 1, 2);
      c->addWidget(edit, row++, 0, 1, 2);
      proxyControls_ << l << edit;
    };
    addField(u"Host name or IP address :", txtProxyHost);
    addField(u"Port :", txtProxyPort);
    addField(u"User name :", txtProxyUser);
    addField(u"Password :", txtProxyPass);
    txtProxyPass->setEchoMode(QLineEdit::Password);
    c->setRowStretch(row++, 1);
    cmdCNXdone = new QPushButton(ToQ(u"Next >>"), FrameCNX);
    c->addWidget(cmdCNXdone, row++, 0, 1, 2);
    h->addWidget(FrameCNX, 2);
  }
  pages->addWidget(submitPage);

  auto* bottom = new QHBoxLayout;
  lblStatus = new QLabel(this);
  prgTransfer = new QProgressBar(this);
  prgTransfer->setTextVisible(false);
  cmdCancel = new QPushButton(ToQ(u"&Cancel"), this);
  bottom->addWidget(lblStatus);
  bottom->addWidget(prgTransfer, 1);
  bottom->addWidget(cmdCancel);
  root->addLayout(bottom);

  for (QWidget* w : proxyControls_) w->setEnabled(false);
  for (QPushButton* b : {cmdZIP, cmdSubmit, cmdCopyEmail, cmdCNXdone, cmdCancel}) b->setAutoDefault(false);

  connect(cmbLangs, &QComboBox::activated, this, [this](int) { cmbLangs_Click(); });
  connect(cmbContributors, &QComboBox::activated, this, [this](int) { cmbContributors_Click(); });
  connect(lstToolsTranslations, &QListWidget::itemSelectionChanged, this, [this] { lstToolsTranslations_Change(); });
  connect(cmdZIP, &QPushButton::clicked, this, [this] { cmdZIP_Click(); });
  connect(cmdCopyEmail, &QPushButton::clicked, this, [this] { cmdCopyEmail_Click(); });
  connect(cmdSubmit, &QPushButton::clicked, this, [this] { cmdSubmit_Click(); });
  connect(cmdCNXdone, &QPushButton::clicked, this, [this] { cmdCNXdone_Click(); });
  connect(chkUseProxy, &QCheckBox::toggled, this, [this](bool) { chkUseProxy_Click(); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
  connect(lblSubmitLink, &QLabel::linkActivated, this, [this](const QString&) { ShowSubmitPage(); });
  connect(lblZIPformLink, &QLabel::linkActivated, this, [this](const QString&) { ShowZipPage(); });
  for (ctlTextEdit* t : {txtAuthorName, txtAuthorEmail, txtAuthorID})
    conns_.push_back(t->Change.Subscribe([this] { UpdateSumbitButton(); }));
  resize(720, 520);
}

void frmSubmit::ShowSubmit(QWidget* owner, const Text& suiteRoot, PackingCheck beforePacking) {
  try {
    frmSubmit dlg(owner);
    dlg.BeforePacking = std::move(beforePacking);
    dlg.Form_Load(suiteRoot);
    dlg.exec();
  } catch (const std::exception& e) {
    Trap("ShowSubmit", &e);
  } catch (...) {
    Trap("ShowSubmit", nullptr);
  }
}

Text frmSubmit::ServerHost() {
  Text host = mConfig::GetConfig(u"Server.Host");
  return host.empty() ? Text(KSV_SERVER_HOST) : host;
}

void frmSubmit::Form_Load(const Text& suiteRoot) {
  Guard("Form_Load", [&] {
    Text name = mConfig::GetConfig(kKeyName);
    Text email = mConfig::GetConfig(kKeyEmail);
    Text id = mConfig::GetConfig(kKeyID);
    bool any = !name.empty() || !email.empty() || !id.empty();
    chkSaveTranslatorInfo->setChecked(any);
    if (any) {
      txtAuthorName->SetText(name);
      txtAuthorEmail->SetText(email);
      txtAuthorID->SetText(id);
    }

    state_->FindAllLangs(suiteRoot);
    cmbLangs->clear();
    for (size_t i = 0; i < state_->LangIDs.size(); ++i)
      cmbLangs->addItem(ToQ(mSubmit::LangCaption(state_->LangIDs[i], state_->LangNames[i], state_->LangCountries[i])));
    cmbLangs->setCurrentIndex(-1);
    cmbContributors->clear();
    for (const XmlNodePtr& c : state_->Contributors) cmbContributors->addItem(ToQ(mSubmit::ContributorCaption(c)));
    cmbContributors->setCurrentIndex(-1);
    lstToolsTranslations->clear();

    // A translator who already has an ID goes straight to the upload.
    if (id.empty()) ShowZipPage();
    else ShowSubmitPage();
    UpdateSumbitButton();
    UpdateZipButton();
  });
}

void frmSubmit::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  Guard("Form_Unload", [&] {
    if (chkSaveTranslatorInfo->isChecked()) {
      mConfig::SetConfig(kKeyName, txtAuthorName->GetText());
      mConfig::SetConfig(kKeyEmail, txtAuthorEmail->GetText());
      mConfig::SetConfig(kKeyID, txtAuthorID->GetText());
      mConfig::SaveConfig();
    }
  });
}

Text frmSubmit::ChosenLangID() const {
  int i = cmbLangs->currentIndex();
  if (i < 0 || i >= static_cast<int>(state_->LangIDs.size())) return Text();
  return state_->LangIDs[static_cast<size_t>(i)];
}

std::vector<long> frmSubmit::SelectedTools() const {
  std::vector<long> tools;
  for (int i = 0; i < lstToolsTranslations->count(); ++i) {
    QListWidgetItem* item = lstToolsTranslations->item(i);
    if (item && item->isSelected()) tools.push_back(item->data(Qt::UserRole).toInt());
  }
  return tools;
}

void frmSubmit::cmbLangs_Click() {
  Guard("cmbLangs_Click", [&] {
    lstToolsTranslations->clear();
    Text id = ChosenLangID();
    if (!id.empty()) {
      for (long t : state_->ToolsForLang(id)) {
        auto* item = new QListWidgetItem(ToQ(state_->ToolNames[static_cast<size_t>(t - 1)]), lstToolsTranslations);
        item->setData(Qt::UserRole, static_cast<int>(t));
        item->setSelected(true);
      }
    }
    lstToolsTranslations_Change();
  });
}

void frmSubmit::cmbContributors_Click() {
  Guard("cmbContributors_Click", [&] {
    int i = cmbContributors->currentIndex();
    if (i < 0 || i >= static_cast<int>(state_->Contributors.size())) return;
    const XmlNodePtr& c = state_->Contributors[static_cast<size_t>(i)];
    txtAuthorName->SetText(c->Attribut(u"name"));
    txtAuthorEmail->SetText(c->Attribut(u"email"));
  });
}

void frmSubmit::lstToolsTranslations_Change() {
  UpdateSumbitButton();
  UpdateZipButton();
}

void frmSubmit::UpdateSumbitButton() {
  Guard("UpdateSumbitButton", [&] {
    bool ok = !txtAuthorName->GetText().empty() && !txtAuthorID->GetText().empty() &&
              mSubmit::IsValidEmail(txtAuthorEmail->GetText()) && !SelectedTools().empty();
    cmdSubmit->setEnabled(ok && !state_->Packing() && !state_->Uploading());
  });
}

void frmSubmit::UpdateZipButton() {
  Guard("UpdateZipButton", [&] {
    cmdZIP->setEnabled(!SelectedTools().empty() && !state_->Packing() && !state_->Uploading());
  });
}

void frmSubmit::UpdateBusy() {
  Guard("UpdateBusy", [&] {
    bool packing = state_->Packing();
    bool uploading = state_->Uploading();
    bool busy = packing || uploading;
    cmbLangs->setEnabled(!busy);
    lstToolsTranslations->setEnabled(!busy);
    lblSubmitLink->setEnabled(!busy);
    lblZIPformLink->setEnabled(!busy);
    cmdCNXdone->setEnabled(!busy);
    cmdCancel->setEnabled(!packing);
    prgTransfer->setVisible(busy);
    if (packing) {
      prgTransfer->setRange(0, 0);  // the archiver tells nothing of its progress
      lblStatus->setText(ToQ(u"Compressing..."));
    } else if (uploading) {
      lblStatus->setText(ToQ(u"Sending..."));
    } else {
      lblStatus->clear();
    }
    UpdateSumbitButton();
    UpdateZipButton();
  });
}

void frmSubmit::cmdZIP_Click() {
  Guard("cmdZIP_Click", [&] {
    if (state_->Packing() || state_->Uploading()) return;
    if (BeforePacking && !BeforePacking(*this, ChosenLangID(), SelectedTools())) return;
    state_->ExtractFiles(false, ChosenLangID(), SelectedTools());
  });
}

void frmSubmit::cmdCopyEmail_Click() {
  Guard("cmdCopyEmail_Click", [&] {
    platform::ClipboardClear();
    if (!platform::ClipboardSetText(FromQ(txtEmail->text()))) ErrLog::Line(u"Address not copied: no clipboard");
  });
}

void frmSubmit::cmdSubmit_Click() {
  Guard("cmdSubmit_Click", [&] {
    if (BeforePacking && !BeforePacking(*this, ChosenLangID(), SelectedTools())) return;
    cSubmission::SubmitRequest r;
    r.langId = ChosenLangID();
    r.tools = SelectedTools();
    r.email = txtAuthorEmail->GetText();
    r.translatorId = txtAuthorID->GetText();
    r.comments = txtComments->GetText();
    r.useProxy = chkUseProxy->isChecked();
    r.proxyHost = FromQ(txtProxyHost->text());
    r.proxyPort = FromQ(txtProxyPort->text());
    r.proxyUser = FromQ(txtProxyUser->text());
    r.proxyPass = FromQ(txtProxyPass->text());
    r.serverHost = ServerHost();
    state_->Submit(r);
    UpdateBusy();
  });
}

void frmSubmit::cmdCNXdone_Click() {
  Guard("cmdCNXdone_Click", [&] {
    HTTP_ = std::make_unique<cHTTPGet>();
    if (chkUseProxy->isChecked()) {
      HTTP_->ProxyHost(FromQ(txtProxyHost->text()));
      HTTP_->ProxyPort(static_cast<long>(txt::ToInt(FromQ(txtProxyPort->text()))));
      HTTP_->ProxyUserName(FromQ(txtProxyUser->text()));
      HTTP_->ProxyPassword(FromQ(txtProxyPass->text()));
    }
    if (cmdSubmit->isEnabled()) cmdSubmit->setFocus();
    else txtAuthorName->setFocus();
  });
}

void frmSubmit::chkUseProxy_Click() {
  bool on = chkUseProxy->isChecked();
  for (QWidget* w : proxyControls_) w->setEnabled(on);
}

void frmSubmit::cmdCancel_Click() {
  Guard("cmdCancel_Click", [&] {
    if (state_->Packing()) return;
    // A running upload is stopped first; the dialog stays for another try.
    if (state_->Uploading()) {
      state_->CancelUpload();
      return;
    }
    reject();
  });
}

void frmSubmit::ShowZipPage() { pages->setCurrentWidget(FrameZIP); }

void frmSubmit::ShowSubmitPage() { pages->setCurrentWidget(submitPage); }

void frmSubmit::OnUploadEnded(bool closeDialog) {
  UpdateBusy();
  if (closeDialog) accept();
}

void frmSubmit::reject() {
  // The archiver's wait keeps events running; closing in the middle would pull the lists
  // from under it.
  if (state_->Packing()) return;
  if (state_->Uploading()) state_->CancelUpload();
  QDialog::reject();
}

void frmSubmit::done(int result) {
  Form_Unload();
  QDialog::done(result);
}

bool frmSubmit::eventFilter(QObject* o, QEvent* e) {
  if (o == txtEmail && (e->type() == QEvent::FocusIn || e->type() == QEvent::MouseButtonRelease)) {
    // After the toolkit placed the caret, so the selection is not undone.
    QTimer::singleShot(0, txtEmail, [this] { txtEmail->selectAll(); });
  }
  return QDialog::eventFilter(o, e);
}
