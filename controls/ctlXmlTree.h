#pragma once
// The owner-drawn tree view of a cXmlNode document: an indented, collapsible list of element
// names. Items are painted into an off-screen picture kept in horizontal bands, so the
// coordinates are those of one picture as tall as the tree while only the bands near the
// view are held in memory.
#include <QFont>
#include <QImage>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "controls/cScrollBars.h"
#include "controls/cVisualNode.h"
#include "platform/EventLoop.h"
#include "xml/cXmlNode.h"

class ctlXmlTree : public QWidget {
 public:
  explicit ctlXmlTree(QWidget* parent = nullptr);
  ~ctlXmlTree() override;

  XmlNodePtr Xml();
  void Xml(const XmlNodePtr& doc);
  void XmlData(const Text& xml);
  cVisualNode* SelectedItem() const { return selected_; }
  cVisualNode* Tree() const { return tree_.get(); }
  bool SingleSel() const { return singleSel_; }
  void SingleSel(bool on) { singleSel_ = on; }
  QFont Font() const { return font(); }
  void Font(const QFont& f);

  void SelectNode(cVisualNode* node);
  void EnsureVisible(cVisualNode* node);
  void RefreshNode(cVisualNode* node);
  void RefreshTreeView();

  cScrollBars& ScrollBar() { return bars_; }
  long InnerWidth() const;
  long InnerHeight() const;
  // Keyboard as the key-down codes bring it (37-40, 33, 34); true when the key was used.
  bool KeyDownCode(int keyCode, int shift);

  // Painted pixels of the whole tree picture (not only the view), for checks and tools.
  QImage RenderArea(long top, long height);
  size_t CachedBandBytes() const;

  Event<cVisualNode*> ItemSelected;
  Event<int&, int&, cVisualNode*, Text&> ItemMouseUp;  // Button, Shift, Node, Region
  Event<cVisualNode*> BeforeDrawItem;
  Event<XmlNodePtr, Text&> GetNodeText;
  // Set while the tree shows only some elements (the root always shows); every shown item
  // starts expanded so nothing kept is hidden. Takes effect at the next Xml().
  std::function<bool(const cXmlNode*)> ShowElement;
  // Parts of an item's label to highlight, as (start, length), and a note drawn in grey
  // after the label.
  std::function<void(const cVisualNode*, const Text& label, std::vector<std::pair<size_t, size_t>>& marks,
                     Text& note)>
      Decorate;
  // A dot drawn after an item's label (a colour as 0x00BBGGRR), or -1 for none.
  std::function<long(const cVisualNode*)> ItemMark;

  static constexpr long BandHeight = 256;
  // 9x9 boxes drawn beside items with children.
  static const QImage& imPlus();
  static const QImage& imMoins();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void NewTree();
  QFont PaintFont() const;
  void Layout();
  void UpdateScrollBar();
  void PaintItem(QPainter& p, cVisualNode* item, long bandTop);
  const QImage& Band(long index);
  void DropFarBands();
  void LeftPress(long x, long y);
  void SelectByKey(cVisualNode* node, int shift);
  void StopResizeTimer();
  bool IsDrawn(const cVisualNode* n) const;

  XmlNodePtr xml_;
  std::unique_ptr<cVisualNode> tree_;
  std::vector<Connection> treeConns_;  // to the current tree, renewed with it
  std::vector<Connection> barConns_;   // to the scroll bars, for the control's life
  cVisualNode* selected_ = nullptr;
  bool singleSel_ = false;
  cScrollBars bars_;
  long mouseX_ = 0, mouseY_ = 0;
  platform::TimerId resizeTimer_ = 0;
  int lastWidth_ = -1;
  unsigned long stamp_ = 0;
  std::vector<cVisualNode*> rows_;  // drawn items in display order (Top ascending)
  std::map<long, QImage> bands_;
  long pictureWidth_ = 0;
  long pictureHeight_ = 0;
  long rowHeight_ = 13;
};
