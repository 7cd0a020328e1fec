#include "forms/frmLangProperties.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include "controls/ctlTextEdit.h"
#include "langedit/cLangProperties.h"
#include "langedit/mLangFormat.h"
#include "platform/AppIcon.h"
#include "platform/ErrLog.h"
#include "platform/MsgBox.h"
#include "platform/QtText.h"
#include "storage/mFileUtils.h"

using qtxt::ToQ;

namespace {
frmLangProperties::Handler& ShowHandler() {
  static frmLangProperties::Handler h;
  return h;
}

// The value list's colours: a translucent blue-grey selection over white, dark red text on
// it, dark blue text elsewhere (Windows colour values, 0x00BBGGRR).
constexpr long kTextSelected = 0x000055;
constexpr long kText = 0x550000;
const QColor kSelectionFill(0x66, 0x66, 0x99, 0x44);
constexpr int kIconBox = 20;
}  // namespace

frmLangProperties::frmLangProperties(QWidget* owner, TextView suiteRoot) : QDialog(owner), suiteRoot_(suiteRoot) {
  setObjectName(QStringLiteral("frmLangProperties"));
  platform::SetAppIcon(this);
  setWindowTitle(QStringLiteral("Language properties"));
  setModal(true);
  auto* grid = new QGridLayout(this);
  int row = 0;
  auto label = [&](const char* text) {
    auto* l = new QLabel(QString::fromUtf8(text), this);
    grid->addWidget(l, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
    return l;
  };
  auto box = [&](const char* name) {
    auto* b = new ctlTextEdit(this);
    b->setObjectName(QString::fromLatin1(name));
    return b;
  };

  lblLangID = label("Language ID :");
  txtLangID = new QLineEdit(this);
  txtLangID->setObjectName(QStringLiteral("txtLangID"));
  txtLangID->setReadOnly(true);
  grid->addWidget(txtLangID, row++, 1);
  label("Native name :");
  txtNativeName = box("txtNativeName");
  grid->addWidget(txtNativeName, row++, 1);
  label("English name :");
  txtEnName = box("txtEnName");
  grid->addWidget(txtEnName, row++, 1);
  label("Version :");
  txtVersion = box("txtVersion");
  grid->addWidget(txtVersion, row++, 1);
  label("Last update :");
  txtDate = box("txtDate");
  txtDate->SetText(u"0000-00-00");
  grid->addWidget(txtDate, row++, 1);
  label("Icon :");
  auto* iconRow = new QHBoxLayout();
  txtIcon = box("txtIcon");
  picIcon = new QLabel(this);
  picIcon->setObjectName(QStringLiteral("picIcon"));
  picIcon->setFixedSize(kIconBox, kIconBox);
  picIcon->setAlignment(Qt::AlignCenter);
  iconRow->addWidget(txtIcon, 1);
  iconRow->addWidget(picIcon);
  grid->addLayout(iconRow, row++, 1);

  auto* contribLabel = new QLabel(QStringLiteral("Contributors :"), this);
  grid->addWidget(contribLabel, row++, 0, 1, 2);
  lstContributors = new QListWidget(this);
  lstContributors->setObjectName(QStringLiteral("lstContributors"));
  lstContributors->setMinimumHeight(90);
  XList.ListBox(lstContributors);
  XList.ItemHeight(18);
  grid->addWidget(lstContributors, row++, 0, 1, 2);
  grid->setRowStretch(row - 1, 1);
  label("Name :");
  txtContribName = box("txtContribName");
  grid->addWidget(txtContribName, row++, 1);
  label("Email :");
  txtContribEmail = box("txtContribEmail");
  grid->addWidget(txtContribEmail, row++, 1);
  label("Website :");
  txtContribWebsite = box("txtContribWebsite");
  grid->addWidget(txtContribWebsite, row++, 1);

  auto* buttons = new QHBoxLayout();
  cmdNewContrib = new QPushButton(QStringLiteral("Create new entry"), this);
  cmdDelContrib = new QPushButton(QStringLiteral("Delete entry"), this);
  cmdClose = new QPushButton(QStringLiteral("&Close"), this);
  cmdClose->setDefault(true);
  buttons->addWidget(cmdNewContrib);
  buttons->addWidget(cmdDelContrib);
  buttons->addStretch(1);
  buttons->addWidget(cmdClose);
  grid->addLayout(buttons, row++, 0, 1, 2);
  grid->setColumnStretch(1, 1);

  connect(cmdNewContrib, &QPushButton::clicked, this, [this] { cmdNewContrib_Click(); });
  connect(cmdDelContrib, &QPushButton::clicked, this, [this] { cmdDelContrib_Click(); });
  connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
  connect(lstContributors, &QListWidget::currentRowChanged, this, [this](int) { lstContributors_Click(); });

  conns_.push_back(txtNativeName->Change.Subscribe([this] { FieldChanged(txtNativeName, mLangFormat::kAttrName); }));
  conns_.push_back(txtEnName->Change.Subscribe([this] { FieldChanged(txtEnName, mLangFormat::kAttrEnName); }));
  conns_.push_back(txtVersion->Change.Subscribe([this] { FieldChanged(txtVersion, mLangFormat::kAttrVersion); }));
  conns_.push_back(txtDate->Change.Subscribe([this] { FieldChanged(txtDate, mLangFormat::kAttrDate); }));
  conns_.push_back(txtIcon->Change.Subscribe([this] {
    FieldChanged(txtIcon, mLangFormat::kAttrIcon);
    ShowIcon();
  }));
  conns_.push_back(txtContribName->Change.Subscribe([this] { ContribChanged(txtContribName, mLangFormat::kContribName); }));
  conns_.push_back(txtContribEmail->Change.Subscribe([this] { ContribChanged(txtContribEmail, mLangFormat::kContribEmail); }));
  conns_.push_back(
      txtContribWebsite->Change.Subscribe([this] { ContribChanged(txtContribWebsite, mLangFormat::kContribWebsite); }));
  conns_.push_back(XList.DrawItem.Subscribe([this](QPainter* p, long, long, long w, long h, long index, bool, bool selected,
                                                   long, bool& handled) { DrawContributor(p, w, h, index, selected, handled); }));
  resize(400, 480);
}

frmLangProperties::~frmLangProperties() {
  // The boxes outlive nothing they write to: stop listening before the model goes.
  conns_.clear();
}

void frmLangProperties::EditLangProperties(const XmlNodePtr& lang) {
  try {
    filling_ = true;
    model_ = std::make_unique<cLangProperties>(lang);
    txtLangID->setText(ToQ(model_->LangID()));
    txtEnName->SetText(model_->Field(mLangFormat::kAttrEnName));
    txtNativeName->SetText(model_->Field(mLangFormat::kAttrName));
    txtVersion->SetText(model_->Field(mLangFormat::kAttrVersion));
    Text date = model_->Field(mLangFormat::kAttrDate);
    txtDate->SetText(date.empty() ? Text(u"0000-00-00") : date);  // shown only; nothing is stored
    txtIcon->SetText(model_->Field(mLangFormat::kAttrIcon));
    ShowIcon();
    lstContributors->clear();
    for (long i = 1; i <= model_->ContributorCount(); ++i) lstContributors->addItem(QString());
    if (lstContributors->count() > 0) lstContributors->setCurrentRow(0);
    filling_ = false;
    FillContribBoxes();
  } catch (const std::exception& e) {
    filling_ = false;
    ErrLog::Exception("frmLangProperties.EditLangProperties", e.what());
  }
}

void frmLangProperties::FieldChanged(ctlTextEdit* box, const char16_t* attr) {
  if (filling_ || !model_) return;
  model_->SetField(attr, box->GetText());
}

void frmLangProperties::ContribChanged(ctlTextEdit* box, const char16_t* attr) {
  if (filling_ || !model_) return;
  long index = SelectedContributor();
  if (index < 1) return;
  model_->SetContributorField(index, attr, box->GetText());
  XList.RefreshItem(index - 1);
}

void frmLangProperties::ShowIcon() {
  QImage img;
  Text path = model_ ? model_->IconPath(suiteRoot_) : Text();
  if (!path.empty() && mFileUtils::FileExists(path) && img.load(ToQ(path))) {
    if (img.width() > kIconBox || img.height() > kIconBox) img = img.scaled(kIconBox, kIconBox, Qt::KeepAspectRatio);
    picIcon->setPixmap(QPixmap::fromImage(img));
  } else {
    picIcon->clear();
  }
}

long frmLangProperties::SelectedContributor() const {
  int row = lstContributors->currentRow();
  if (row < 0 || !model_ || row >= model_->ContributorCount()) return 0;
  return row + 1;
}

void frmLangProperties::FillContribBoxes() {
  XmlNodePtr c = model_ ? model_->Contributor(SelectedContributor()) : nullptr;
  bool was = filling_;
  filling_ = true;
  txtContribName->SetText(c ? c->Attribut(mLangFormat::kContribName) : Text());
  txtContribEmail->SetText(c ? c->Attribut(mLangFormat::kContribEmail) : Text());
  txtContribWebsite->SetText(c ? c->Attribut(mLangFormat::kContribWebsite) : Text());
  filling_ = was;
  cmdDelContrib->setEnabled(c != nullptr);
}

void frmLangProperties::lstContributors_Click() {
  if (filling_) return;
  FillContribBoxes();
}

void frmLangProperties::cmdNewContrib_Click() {
  try {
    if (!model_) return;
    long index = model_->AddContributor();
    if (index < 1) return;
    lstContributors->addItem(QString());
    lstContributors->setCurrentRow(static_cast<int>(index - 1));
    FillContribBoxes();
    txtContribName->SelStart(0);
    txtContribName->SelLength(static_cast<long>(txtContribName->GetText().size()));
    txtContribName->setFocus();
    if (QWidget* inner = txtContribName->hWnd()) inner->setFocus();
  } catch (const std::exception& e) {
    ErrLog::Exception("frmLangProperties.cmdNewContrib_Click", e.what());
  }
}

void frmLangProperties::cmdDelContrib_Click() {
  try {
    long index = SelectedContributor();
    if (index < 1) return;
    int answer = platform::MsgBox(u"Remove this contributor's information from the language file ?",
                                  platform::vbYesNo | platform::vbQuestion);
    if (answer != platform::vbYes) return;
    if (!model_->DeleteContributor(index)) return;
    filling_ = true;
    delete lstContributors->takeItem(static_cast<int>(index - 1));
    int rows = lstContributors->count();
    lstContributors->setCurrentRow(rows == 0 ? -1 : std::min(static_cast<int>(index - 1), rows - 1));
    filling_ = false;
    FillContribBoxes();
  } catch (const std::exception& e) {
    filling_ = false;
    ErrLog::Exception("frmLangProperties.cmdDelContrib_Click", e.what());
  }
}

void frmLangProperties::DrawContributor(QPainter* p, long width, long height, long index, bool selected,
                                        bool& handled) {
  if (!p || !model_) return;
  XmlNodePtr c = model_->Contributor(index + 1);
  if (!c) return;
  QRect r(0, 0, static_cast<int>(width), static_cast<int>(height));
  p->fillRect(r, Qt::white);
  if (selected) p->fillRect(r, kSelectionFill);
  XList.DrawText(cLangProperties::ContributorRow(c), selected ? kTextSelected : kText, 2, 0, width - 2, height,
                 dt::SingleLine | dt::VCenter | dt::NoPrefix | dt::EndEllipsis);
  handled = true;
}

void frmLangProperties::ShowProperties(QWidget* owner, TextView suiteRoot, const XmlNodePtr& lang) {
  try {
    frmLangProperties dlg(owner, suiteRoot);
    dlg.EditLangProperties(lang);
    if (auto& h = ShowHandler()) {
      h(dlg);
      return;
    }
    dlg.exec();
  } catch (const std::exception& e) {
    ErrLog::Exception("frmLangProperties.ShowProperties", e.what());
  }
}

frmLangProperties::Handler frmLangProperties::SetShowHandler(Handler h) {
  Handler old = ShowHandler();
  ShowHandler() = std::move(h);
  return old;
}
