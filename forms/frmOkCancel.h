#pragma once
// The OK / "&Cancel" button row the language dialogs share: right-aligned, OK the default,
// wired to accept and reject.
#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

inline QHBoxLayout* MakeOkCancelRow(QDialog* dlg, QPushButton*& ok, QPushButton*& cancel) {
  auto* row = new QHBoxLayout();
  row->addStretch(1);
  ok = new QPushButton(QStringLiteral("OK"), dlg);
  ok->setDefault(true);
  cancel = new QPushButton(QStringLiteral("&Cancel"), dlg);
  row->addWidget(ok);
  row->addWidget(cancel);
  QObject::connect(ok, &QPushButton::clicked, dlg, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, dlg, &QDialog::reject);
  return row;
}
