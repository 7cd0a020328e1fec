#include "forms/frmMergeConflicts.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "forms/frmOkCancel.h"
#include "platform/AppIcon.h"
#include "platform/ErrLog.h"
#include "platform/QtText.h"

using qtxt::ToQ;

namespace {
frmMergeConflicts::Handler& ShowHandler() {
  static frmMergeConflicts::Handler h;
  return h;
}

QTableWidgetItem* Cell(const Text& text, bool absentIsNone) {
  auto* item = new QTableWidgetItem();
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  if (text.empty() && absentIsNone) {
    item->setText(QStringLiteral("(none)"));
    item->setForeground(Qt::gray);
    return item;
  }
  // Stored line breaks shown as the arrows the eye finds in a one-line cell.
  QString q = ToQ(text);
  item->setToolTip(QString(q).replace(QStringLiteral("\\n"), QStringLiteral("\n")));
  item->setText(q.replace(QStringLiteral("\\n"), QStringLiteral(" \u21B5 ")));
  return item;
}

QString KeyText(const cLangMerge::Conflict& c) {
  switch (c.kind) {
    case cLangMerge::Kind::Attribute:
      return QStringLiteral("(attribute) ") + ToQ(c.key);
    case cLangMerge::Kind::Contributor:
      return QStringLiteral("(contributor) ") + ToQ(c.key);
    default:
      return ToQ(c.key);
  }
}
}  // namespace

frmMergeConflicts::frmMergeConflicts(QWidget* owner, TextView file, TextView langId,
                                     const std::vector<cLangMerge::Conflict>& conflicts)
    : QDialog(owner) {
  setObjectName(QStringLiteral("frmMergeConflicts"));
  platform::SetAppIcon(this);
  setWindowTitle(QStringLiteral("Changed here and on disk"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);

  lblInfo = new QLabel(this);
  lblInfo->setObjectName(QStringLiteral("lblInfo"));
  lblInfo->setTextFormat(Qt::PlainText);
  lblInfo->setWordWrap(true);
  lblInfo->setText(QStringLiteral("Another program changed the file\n") + ToQ(file) +
                   QStringLiteral("\nsince ") + ToQ(langId) +
                   QStringLiteral(" was loaded. These strings were changed there and here; choose which text "
                                  "to save. Every other change from the file is kept with yours."));
  layout->addWidget(lblInfo);

  tblConflicts = new QTableWidget(static_cast<int>(conflicts.size()), 5, this);
  tblConflicts->setObjectName(QStringLiteral("tblConflicts"));
  tblConflicts->setHorizontalHeaderLabels({QStringLiteral("Key"), QStringLiteral("Loaded"),
                                           QStringLiteral("Theirs (on disk)"), QStringLiteral("Mine (here)"),
                                           QStringLiteral("Save")});
  tblConflicts->verticalHeader()->setVisible(false);
  tblConflicts->setSelectionMode(QAbstractItemView::NoSelection);
  tblConflicts->setWordWrap(false);
  for (int r = 0; r < static_cast<int>(conflicts.size()); ++r) {
    const cLangMerge::Conflict& c = conflicts[static_cast<size_t>(r)];
    auto* key = new QTableWidgetItem(KeyText(c));
    key->setFlags(Qt::ItemIsEnabled);
    tblConflicts->setItem(r, 0, key);
    tblConflicts->setItem(r, 1, Cell(c.base, true));
    tblConflicts->setItem(r, 2, Cell(c.theirs, true));
    tblConflicts->setItem(r, 3, Cell(c.ours, true));
    auto* box = new QWidget(tblConflicts);
    auto* h = new QHBoxLayout(box);
    h->setContentsMargins(4, 0, 4, 0);
    auto* mine = new QRadioButton(QStringLiteral("Keep mine"), box);
    auto* theirs = new QRadioButton(QStringLiteral("Take theirs"), box);
    auto* group = new QButtonGroup(box);
    group->addButton(mine);
    group->addButton(theirs);
    (c.takeTheirs ? theirs : mine)->setChecked(true);
    h->addWidget(mine);
    h->addWidget(theirs);
    tblConflicts->setCellWidget(r, 4, box);
    rows_.push_back({mine, theirs});
  }
  // The texts share what the key and the choice leave, so the choice is never scrolled off.
  QHeaderView* header = tblConflicts->horizontalHeader();
  header->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  for (int col = 1; col < 4; ++col) header->setSectionResizeMode(col, QHeaderView::Stretch);
  header->setSectionResizeMode(4, QHeaderView::ResizeToContents);
  layout->addWidget(tblConflicts, 1);

  auto* row = MakeOkCancelRow(this, cmdOK, cmdCancel);
  cmdKeepAllMine = new QPushButton(QStringLiteral("Keep all &mine"), this);
  cmdTakeAllTheirs = new QPushButton(QStringLiteral("Take all &theirs"), this);
  row->insertWidget(0, cmdTakeAllTheirs);
  row->insertWidget(0, cmdKeepAllMine);
  QObject::connect(cmdKeepAllMine, &QPushButton::clicked, this, [this] { SetAll(false); });
  QObject::connect(cmdTakeAllTheirs, &QPushButton::clicked, this, [this] { SetAll(true); });
  layout->addLayout(row);
  cmdOK->setFocus();
  resize(860, 360);
}

bool frmMergeConflicts::TakesTheirs(int row) const {
  return row >= 0 && row < static_cast<int>(rows_.size()) && rows_[static_cast<size_t>(row)].theirs->isChecked();
}

void frmMergeConflicts::SetTakeTheirs(int row, bool theirs) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  const RowChoice& r = rows_[static_cast<size_t>(row)];
  (theirs ? r.theirs : r.mine)->click();
}

void frmMergeConflicts::SetAll(bool theirs) {
  for (int r = 0; r < static_cast<int>(rows_.size()); ++r) SetTakeTheirs(r, theirs);
}

bool frmMergeConflicts::Resolve(QWidget* owner, TextView file, TextView langId,
                                std::vector<cLangMerge::Conflict>& conflicts) {
  try {
    frmMergeConflicts dlg(owner, file, langId, conflicts);
    if (auto& h = ShowHandler()) {
      dlg.setResult(QDialog::Rejected);
      h(dlg);
    } else {
      dlg.exec();
    }
    if (dlg.result() != QDialog::Accepted) return false;
    for (size_t i = 0; i < conflicts.size(); ++i) conflicts[i].takeTheirs = dlg.TakesTheirs(static_cast<int>(i));
    return true;
  } catch (const std::exception& e) {
    ErrLog::Exception("frmMergeConflicts.Resolve", e.what());
    return false;
  }
}

frmMergeConflicts::Handler frmMergeConflicts::SetShowHandler(Handler h) {
  Handler old = ShowHandler();
  ShowHandler() = std::move(h);
  return old;
}
