// Shows the four controls on sample data; with an argument, saves a picture of the window
// to that PNG file and quits (for looking at them under a virtual display).
#include <QApplication>
#include <QListWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "controls/VSplitter.h"
#include "controls/cXListBox.h"
#include "controls/ctlTextEdit.h"
#include "controls/ctlXmlTree.h"
#include "platform/Desktop.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget win;
  win.setObjectName("frmGallery");
  win.setWindowTitle("Controls");
  win.resize(640, 400);
  auto* lay = new QVBoxLayout(&win);
  lay->setContentsMargins(0, 0, 0, 0);
  auto* split = new VSplitter(&win);
  lay->addWidget(split);
  const int tpp = platform::TwipsPerPixelX();
  split->SplitLeft(240 * tpp);

  auto* tree = new ctlXmlTree(split);
  VSplitter::SetTag(tree, u"LeftFrame");
  auto colour = tree->BeforeDrawItem.Subscribe([](cVisualNode* n) {
    if (n->GetProp(u"color").empty()) n->SetProp(u"color", n->ChildCount() == 0 && n->Top % 3 == 0 ? u"255" : u"0");
  });
  Text xml = u"<Languages><en><Labels expanded=\"yes\">";
  for (int i = 0; i < 40; ++i) xml += u"<Label_" + txt::FromInt(i) + u"/>";
  xml += u"</Labels><Menus><File/><Edit/></Menus><Contributors><Contributor/></Contributors></en></Languages>";
  tree->XmlData(xml);

  auto* right = new QWidget(split);
  VSplitter::SetTag(right, u"RightFrame");
  auto* rl = new QVBoxLayout(right);
  auto* list = new QListWidget(right);
  for (const char* id : {"en", "fr-FR", "de", "ru"}) list->addItem(id);
  cXListBox xl;
  xl.ListBox(list);
  xl.ItemHeight(20);
  auto draw = xl.DrawItem.Subscribe([&](QPainter*, long, long, long w, long h, long index, bool, bool selected, long,
                                       bool& handled) {
    xl.FillRect(0, 0, w, h, selected ? 0x996666 : 0xFFFFFF);
    Text id = u"[" + txt::FromUtf8(list->item(static_cast<int>(index))->text().toStdString()) + u"]";
    xl.DrawText(id, 0, 22, 0, w, h, dt::SingleLine | dt::VCenter);
    xl.DrawText(u"Привет / Hello", 0x550000, 22 + xl.TextWidth(id) + 4, 0, w, h, dt::SingleLine | dt::VCenter);
    handled = true;
  });
  list->setCurrentRow(1);
  auto* edit = new ctlTextEdit(right);
  edit->MultiLine(true);
  edit->ScrollBars(2);
  edit->SetText(u"Fichier\r\nÉdition — 編集");
  rl->addWidget(list);
  rl->addWidget(edit);

  win.show();
  tree->SelectNode(tree->Tree()->Child(1)->Child(1)->Child(3));
  if (argc > 1) {
    QString out = QString::fromLocal8Bit(argv[1]);
    QTimer::singleShot(300, &app, [&win, &app, out] {
      win.grab().save(out);
      app.quit();
    });
  }
  return app.exec();
}
