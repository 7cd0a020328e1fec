#include "forms/frmLangSelect.h"
#include "forms/frmOkCancel.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/ctlXmlTree.h"
#include "langedit/cLangManager.h"
#include "locale/mLang.h"
#include "platform/AppIcon.h"
#include "platform/ErrLog.h"
#include "platform/QtText.h"

namespace {
frmLangSelect::Handler& ShowHandler() {
  static frmLangSelect::Handler h;
  return h;
}
}  // namespace

frmLangSelect::frmLangSelect(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmLangSelect"));
  platform::SetAppIcon(this);
  setWindowTitle(QStringLiteral("Language selection"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  txtSearch = new QLineEdit(this);
  txtSearch->setObjectName(QStringLiteral("txtSearch"));
  txtSearch->setPlaceholderText(QStringLiteral("Search: tag, language or country"));
  txtSearch->setClearButtonEnabled(true);
  txtSearch->installEventFilter(this);
  layout->addWidget(txtSearch);
  connect(txtSearch, &QLineEdit::textChanged, this,
          [this](const QString& t) { LoadLocales(userLcid_, qtxt::FromQ(t)); });
  XmlTree = new ctlXmlTree(this);
  XmlTree->setObjectName(QStringLiteral("XmlTree"));
  layout->addWidget(XmlTree, 1);
  QHBoxLayout* buttons = MakeOkCancelRow(this, cmdOK, cmdCancel);
  layout->addLayout(buttons);
  textConn_ = XmlTree->GetNodeText.Subscribe([](XmlNodePtr el, Text& label) {
    if (!el) return;
    Text name = el->Attribut(u"name");
    if (!name.empty()) label = name;
  });
  resize(360, 420);
}

void frmLangSelect::LoadLocales(TextView userLcid, TextView filter) {
  try {
    userLcid_ = Text(userLcid);
    XmlNodePtr selected;
    doc_ = cLangManager::BuildLocaleTree(userLcid, &selected, filter);
    XmlTree->Xml(doc_);
    if (selected && XmlTree->Tree())
      if (cVisualNode* item = XmlTree->Tree()->FindNodeFromXML(selected.get())) XmlTree->SelectNode(item);
  } catch (const std::exception& e) {
    ErrLog::Exception("frmLangSelect.LoadLocales", e.what());
  }
}

// From the search box, Down goes on into the tree and Enter takes the selected locale.
bool frmLangSelect::eventFilter(QObject* o, QEvent* e) {
  if (o == txtSearch && e->type() == QEvent::KeyPress) {
    int key = static_cast<QKeyEvent*>(e)->key();
    if (key == Qt::Key_Down) {
      XmlTree->setFocus();
      return true;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && SelectedRecord()) {
      cmdOK->click();
      return true;
    }
  }
  return QDialog::eventFilter(o, e);
}

XmlNodePtr frmLangSelect::SelectedRecord() const {
  cVisualNode* item = XmlTree->SelectedItem();
  if (!item || !item->XmlNode || item->XmlNode->Attribut(u"ISO").empty()) return nullptr;
  return item->XmlNode;
}

XmlNodePtr frmLangSelect::Choose(QWidget* owner) {
  try {
    frmLangSelect dlg(owner);
    dlg.LoadLocales(mLang::GetUserLangLCID());
    if (auto& h = ShowHandler()) {
      dlg.setResult(QDialog::Rejected);
      h(dlg);
    } else {
      dlg.exec();
    }
    return dlg.result() == QDialog::Accepted ? dlg.SelectedRecord() : nullptr;
  } catch (const std::exception& e) {
    ErrLog::Exception("frmLangSelect.Choose", e.what());
    return nullptr;
  }
}

frmLangSelect::Handler frmLangSelect::SetShowHandler(Handler h) {
  Handler old = ShowHandler();
  ShowHandler() = std::move(h);
  return old;
}
