#include "forms/frmLangSelector.h"
#include "forms/frmOkCancel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/AppIcon.h"
#include "platform/ErrLog.h"
#include "platform/QtText.h"

namespace {
frmLangSelector::Handler& ShowHandler() {
  static frmLangSelector::Handler h;
  return h;
}
}  // namespace

frmLangSelector::frmLangSelector(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmLangSelector"));
  platform::SetAppIcon(this);
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  lblLanguages = new QLabel(QStringLiteral("Available languages :"), this);
  layout->addWidget(lblLanguages);
  lstLanguages = new QListWidget(this);
  lstLanguages->setObjectName(QStringLiteral("lstLanguages"));
  layout->addWidget(lstLanguages, 1);
  QHBoxLayout* buttons = MakeOkCancelRow(this, cmdOK, cmdCancel);
  layout->addLayout(buttons);
  connect(lstLanguages, &QListWidget::itemDoubleClicked, this, [this] { accept(); });
  resize(320, 300);
}

void frmLangSelector::AddLang(TextView caption, long index) {
  auto* item = new QListWidgetItem(qtxt::ToQ(caption), lstLanguages);
  item->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(index));
}

long frmLangSelector::SelectedIndex() const {
  QListWidgetItem* item = lstLanguages->currentItem();
  if (!item || !item->isSelected()) return 0;
  return static_cast<long>(item->data(Qt::UserRole).toLongLong());
}

long frmLangSelector::Choose(QWidget* owner, TextView caption, const std::vector<std::pair<Text, long>>& rows) {
  try {
    frmLangSelector dlg(owner);
    dlg.setWindowTitle(qtxt::ToQ(caption));
    for (const auto& r : rows) dlg.AddLang(r.first, r.second);
    if (dlg.lstLanguages->count() > 0) dlg.lstLanguages->setCurrentRow(0);
    if (auto& h = ShowHandler()) {
      dlg.setResult(QDialog::Rejected);
      h(dlg);
    } else {
      dlg.exec();
    }
    return dlg.result() == QDialog::Accepted ? dlg.SelectedIndex() : 0;
  } catch (const std::exception& e) {
    ErrLog::Exception("frmLangSelector.Choose", e.what());
    return 0;
  }
}

frmLangSelector::Handler frmLangSelector::SetShowHandler(Handler h) {
  Handler old = ShowHandler();
  ShowHandler() = std::move(h);
  return old;
}
