#include "forms/frmSubmitCheck.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/AppIcon.h"
#include "platform/ErrLog.h"
#include "platform/QtText.h"

namespace {
frmSubmitCheck::Handler& ShowHandler() {
  static frmSubmitCheck::Handler h;
  return h;
}

Text Counted(size_t n, const char16_t* one, const char16_t* many) {
  return txt::FromInt(static_cast<long>(n)) + u" " + (n == 1 ? one : many);
}
}  // namespace

frmSubmitCheck::frmSubmitCheck(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmSubmitCheck"));
  setWindowTitle(QStringLiteral("Check before submitting"));
  platform::SetAppIcon(this);
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  lblCounts = new QLabel(this);
  lblCounts->setObjectName(QStringLiteral("lblCounts"));
  lblCounts->setTextFormat(Qt::PlainText);
  lblCounts->setWordWrap(true);
  layout->addWidget(lblCounts, 1);
  auto* row = new QHBoxLayout();
  row->addStretch(1);
  cmdReview = new QPushButton(QStringLiteral("&Review"), this);
  cmdReview->setDefault(true);
  cmdSubmitAnyway = new QPushButton(QStringLiteral("&Submit anyway"), this);
  cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  for (QPushButton* b : {cmdReview, cmdSubmitAnyway, cmdCancel}) row->addWidget(b);
  layout->addLayout(row);
  connect(cmdReview, &QPushButton::clicked, this, [this] {
    choice = Choice::Review;
    accept();
  });
  connect(cmdSubmitAnyway, &QPushButton::clicked, this, [this] {
    choice = Choice::SubmitAnyway;
    accept();
  });
  connect(cmdCancel, &QPushButton::clicked, this, [this] {
    choice = Choice::Cancel;
    reject();
  });
}

Text frmSubmitCheck::CountsText(TextView langId, size_t errors, size_t warnings, size_t review) {
  return u"The checks of " + Text(langId) + u" found " + Counted(errors, u"error", u"errors") + u", " +
         Counted(warnings, u"warning", u"warnings") + u" and " +
         Counted(review, u"string needing review", u"strings needing review") +
         u".\r\n\r\nReview them before submitting?";
}

frmSubmitCheck::Choice frmSubmitCheck::Ask(QWidget* owner, TextView langId, size_t errors, size_t warnings,
                                           size_t review) {
  try {
    frmSubmitCheck dlg(owner);
    dlg.lblCounts->setText(qtxt::ToQ(CountsText(langId, errors, warnings, review)).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (auto& h = ShowHandler())
      h(dlg);
    else
      dlg.exec();
    return dlg.choice;
  } catch (const std::exception& e) {
    ErrLog::Exception("frmSubmitCheck.Ask", e.what());
    return Choice::Cancel;
  }
}

frmSubmitCheck::Handler frmSubmitCheck::SetShowHandler(Handler h) {
  Handler old = ShowHandler();
  ShowHandler() = std::move(h);
  return old;
}
