#include "forms/frmLangSelect.h"
#include "forms/frmOkCancel.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/ctlXmlTree.h"
#include "langedit/cLangManager.h"
#include "locale/mLang.h"
#include "platform/AppIcon.h"
#include "platform/ErrLog.h"

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

void frmLangSelect::LoadLocales(TextView userLcid) {
  try {
    XmlNodePtr selected;
    doc_ = cLangManager::BuildLocaleTree(userLcid, &selected);
    XmlTree->Xml(doc_);
    if (selected && XmlTree->Tree())
      if (cVisualNode* item = XmlTree->Tree()->FindNodeFromXML(selected.get())) XmlTree->SelectNode(item);
  } catch (const std::exception& e) {
    ErrLog::Exception("frmLangSelect.LoadLocales", e.what());
  }
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
