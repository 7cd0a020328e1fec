#pragma once
// Shown before a language is packed when the checks found something: the counts, and the
// choice between reviewing first and submitting as it is.
#include <QDialog>
#include <functional>

#include "platform/Text.h"

class QLabel;
class QPushButton;

class frmSubmitCheck : public QDialog {
 public:
  enum class Choice { Cancel, Review, SubmitAnyway };

  explicit frmSubmitCheck(QWidget* owner);

  static Choice Ask(QWidget* owner, TextView langId, size_t errors, size_t warnings, size_t review);
  // The text the counts are shown with ("fr: 2 errors, 1 warning, 3 needing review").
  static Text CountsText(TextView langId, size_t errors, size_t warnings, size_t review);

  // Tests answer in place of a person: the handler runs instead of the modal loop and may
  // click a button; without a click it counts as Cancel.
  using Handler = std::function<void(frmSubmitCheck&)>;
  static Handler SetShowHandler(Handler h);

  QLabel* lblCounts = nullptr;
  QPushButton* cmdReview = nullptr;
  QPushButton* cmdSubmitAnyway = nullptr;
  QPushButton* cmdCancel = nullptr;
  Choice choice = Choice::Cancel;
};
