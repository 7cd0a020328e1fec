#pragma once
// "Language properties": names, version, date and icon of one language and its list of
// contributors. Every box writes straight into the language element (through
// cLangProperties, which also notes that something changed).
#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

#include "controls/cXListBox.h"
#include "platform/Event.h"
#include "platform/Text.h"
#include "xml/cXmlNode.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class ctlTextEdit;
class cLangProperties;

class frmLangProperties : public QDialog {
 public:
  frmLangProperties(QWidget* owner, TextView suiteRoot);
  ~frmLangProperties() override;

  // Fills the dialog from a language element and edits it from then on.
  void EditLangProperties(const XmlNodePtr& lang);
  cLangProperties* Model() const { return model_.get(); }

  // Shows the dialog modally on a language element.
  static void ShowProperties(QWidget* owner, TextView suiteRoot, const XmlNodePtr& lang);
  // Tests act on the dialog instead of a person: the handler runs in place of the modal loop.
  using Handler = std::function<void(frmLangProperties&)>;
  static Handler SetShowHandler(Handler h);

  // The selected contributor (1-based), 0 when none.
  long SelectedContributor() const;
  void lstContributors_Click();
  void cmdNewContrib_Click();
  void cmdDelContrib_Click();

  QLabel* lblLangID = nullptr;
  QLineEdit* txtLangID = nullptr;
  ctlTextEdit* txtNativeName = nullptr;
  ctlTextEdit* txtEnName = nullptr;
  ctlTextEdit* txtVersion = nullptr;
  ctlTextEdit* txtDate = nullptr;
  ctlTextEdit* txtIcon = nullptr;
  QLabel* picIcon = nullptr;
  QListWidget* lstContributors = nullptr;
  cXListBox XList;
  ctlTextEdit* txtContribName = nullptr;
  ctlTextEdit* txtContribEmail = nullptr;
  ctlTextEdit* txtContribWebsite = nullptr;
  QPushButton* cmdNewContrib = nullptr;
  QPushButton* cmdDelContrib = nullptr;
  QPushButton* cmdClose = nullptr;

 private:
  void FieldChanged(ctlTextEdit* box, const char16_t* attr);
  void ContribChanged(ctlTextEdit* box, const char16_t* attr);
  void ShowIcon();
  void FillContribBoxes();
  void DrawContributor(QPainter* p, long width, long height, long index, bool selected, bool& handled);

  Text suiteRoot_;
  std::unique_ptr<cLangProperties> model_;
  std::vector<Connection> conns_;
  bool filling_ = false;
};
