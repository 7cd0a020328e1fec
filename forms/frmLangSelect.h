#pragma once
// "Language selection": every known locale in a tree grouped by the first letter of its
// language, the user's own locale opened and selected; a search box above it narrows the
// tree to the locales whose tag, English names or native name hold what is typed.
#include <QDialog>
#include <functional>

#include "platform/Event.h"
#include "xml/cXmlNode.h"

class QLineEdit;
class QPushButton;
class ctlXmlTree;

class frmLangSelect : public QDialog {
 public:
  explicit frmLangSelect(QWidget* owner);

  // Fills the tree; userLcid picks the record opened and selected, `filter` narrows it.
  void LoadLocales(TextView userLcid, TextView filter = {});
  // The selected locale record ("ISO", "LNAME", "LCID", "name"), null when a group or
  // nothing is selected.
  XmlNodePtr SelectedRecord() const;

  // Shows the dialog modally; the chosen record, or null on Cancel or closing.
  static XmlNodePtr Choose(QWidget* owner);
  // Tests answer the dialog: the handler runs in place of the modal loop and may select an
  // item and click OK or "&Cancel"; without a click it counts as Cancel.
  using Handler = std::function<void(frmLangSelect&)>;
  static Handler SetShowHandler(Handler h);

  QLineEdit* txtSearch = nullptr;
  ctlXmlTree* XmlTree = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;

 private:
  bool eventFilter(QObject* o, QEvent* e) override;

  XmlNodePtr doc_;
  Text userLcid_;
  Connection textConn_;
};
