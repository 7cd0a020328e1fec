#include "forms/cLangCommands.h"

#include <QAction>
#include <QObject>

#include "controls/ctlXmlTree.h"
#include "forms/cWorkbench.h"
#include "forms/frmLangProperties.h"
#include "forms/frmLangSelector.h"
#include "forms/frmMain.h"
#include "forms/frmNewLang.h"
#include "platform/ErrLog.h"

namespace {

// The tree's cached label colours depend on the loaded languages.
void DropColours(cVisualNode* n) {
  if (!n) return;
  std::vector<cVisualNode*> stack{n};
  while (!stack.empty()) {
    cVisualNode* v = stack.back();
    stack.pop_back();
    v->DelProp(u"color");
    for (long i = 1; i <= v->ChildCount(); ++i) stack.push_back(v->Child(i));
  }
}

}  // namespace

cLangCommands::cLangCommands(frmMain& w) : w_(w), mgr_(w.Editor()), ctx_(std::make_unique<QObject>()) {
  mgr_.AskNewLang = [this](Text& id, Text& en) { return frmNewLang::Ask(&w_, id, en); };
  mgr_.EditProperties = [this](const XmlNodePtr& lang) {
    frmLangProperties::ShowProperties(&w_, w_.Editor().SuiteRoot(), lang);
  };
  mgr_.ChooseLang = [this](const Text& caption, const std::vector<Text>& rows) {
    std::vector<std::pair<Text, long>> items;
    for (size_t i = 0; i < rows.size(); ++i) items.emplace_back(rows[i], static_cast<long>(i) + 1);
    return frmLangSelector::Choose(&w_, caption, items);
  };
  QObject::connect(w_.mnuNewLang, &QAction::triggered, ctx_.get(), [this] { mnuNewLang_Click(); });
  QObject::connect(w_.mnuImportLang, &QAction::triggered, ctx_.get(), [this] { mnuImportLang_Click(); });
  QObject::connect(w_.mnuExportLang, &QAction::triggered, ctx_.get(), [this] { mnuExportLang_Click(); });
  conns_.push_back(w_.MenusRebuilt.Subscribe([this] { HookLangItems(); }));
  HookLangItems();
}

cLangCommands::~cLangCommands() = default;

void cLangCommands::HookLangItems() {
  // The items are new after every rebuild; item 0 is the placeholder.
  for (size_t i = 1; i < w_.mnuLangDeleteChoice.size(); ++i) {
    int index = static_cast<int>(i);
    QObject::connect(w_.mnuLangDeleteChoice[i], &QAction::triggered, ctx_.get(),
                     [this, index] { mnuLangDeleteChoice_Click(index); });
  }
  for (size_t i = 1; i < w_.mnuLangPropsChoice.size(); ++i) {
    int index = static_cast<int>(i);
    QObject::connect(w_.mnuLangPropsChoice[i], &QAction::triggered, ctx_.get(),
                     [this, index] { mnuLangPropsChoice_Click(index); });
  }
}

void cLangCommands::mnuNewLang_Click() { mgr_.AddLanguage(); }

void cLangCommands::mnuLangDeleteChoice_Click(int index) {
  try {
    if (!mgr_.UnloadLanguage(index)) return;
    if (w_.Editor().LoadedLangs()->ChildCount() > 0 && w_.XmlTree->Tree()) {
      DropColours(w_.XmlTree->Tree());
      w_.XmlTree->RefreshTreeView();
    }
  } catch (const std::exception& e) {
    ErrLog::Exception("cLangCommands.mnuLangDeleteChoice_Click", e.what());
  }
}

void cLangCommands::mnuImportLang_Click() {
  w_.Workbench().RecordLangs(cUndoHistory::Kind::Import, [this] { return mgr_.ImportLanguage(); });
}

void cLangCommands::mnuExportLang_Click() { mgr_.ExportLanguage(); }

void cLangCommands::mnuLangPropsChoice_Click(int index) {
  w_.Workbench().RecordLangs(cUndoHistory::Kind::Properties, [this, index] {
    mgr_.LangProperties(index);
    return true;
  });
}
