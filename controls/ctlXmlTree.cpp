#include "controls/ctlXmlTree.h"

#include "controls/TextCut.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "controls/ColorRef.h"
#include "platform/ErrLog.h"
#include "platform/KeyCodes.h"
#include "platform/QtText.h"

namespace {

using ErrLog::Trap;

QImage MakeBox(bool plus) {
  QImage im(9, 9, QImage::Format_RGB32);
  im.fill(Qt::white);
  QPainter p(&im);
  p.setPen(QColor(128, 128, 128));
  p.drawRect(0, 0, 8, 8);
  p.setPen(Qt::black);
  p.drawLine(2, 4, 6, 4);
  if (plus) p.drawLine(4, 2, 4, 6);
  return im;
}

QFont DefaultTreeFont() {
  QFont f = QFontDatabase::families().contains(QStringLiteral("Tahoma"))
                ? QFont(QStringLiteral("Tahoma"), 8)
                : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  f.setPointSize(8);
  return f;
}

// Item boxes reach below short rows; bands look this far back for items that touch them.
constexpr long kReach = 16;

}  // namespace

const QImage& ctlXmlTree::imPlus() {
  static const QImage im = MakeBox(true);
  return im;
}
const QImage& ctlXmlTree::imMoins() {
  static const QImage im = MakeBox(false);
  return im;
}

ctlXmlTree::ctlXmlTree(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  QWidget::setFont(DefaultTreeFont());
  bars_.Orientation(cScrollBars::efsVertical);
  bars_.SmallChange(cScrollBars::sbVertical, 16);
  bars_.Max(cScrollBars::sbVertical, -1);
  bars_.Create(this);
  barConns_.push_back(bars_.Change.Subscribe([this](int) { update(); }));
  barConns_.push_back(bars_.Scroll.Subscribe([this](int) { update(); }));
  NewTree();
}

ctlXmlTree::~ctlXmlTree() {
  StopResizeTimer();
  selected_ = nullptr;
  tree_.reset();
}

void ctlXmlTree::StopResizeTimer() {
  if (resizeTimer_) platform::StopTimer(resizeTimer_);
  resizeTimer_ = 0;
}

long ctlXmlTree::InnerWidth() const { return width() - bars_.Thickness(cScrollBars::sbVertical); }
long ctlXmlTree::InnerHeight() const { return height(); }

void ctlXmlTree::Font(const QFont& f) {
  QWidget::setFont(f);
  if (xml_) Xml(xml_);
}

QFont ctlXmlTree::PaintFont() const {
  // Labels in exactly the host's colour: no blending with the background.
  QFont f = font();
  f.setStyleStrategy(QFont::NoAntialias);
  return f;
}

void ctlXmlTree::NewTree() {
  treeConns_.clear();
  selected_ = nullptr;
  rows_.clear();
  bands_.clear();
  tree_ = std::make_unique<cVisualNode>();
  cVisualNode* root = tree_.get();
  treeConns_.push_back(root->AddingItem.Subscribe([this](cVisualNode* item, XmlNodePtr el, long, bool& cancel) {
    if (!el) return;
    if (el->Name() == u"Contributors") {
      cancel = true;
      return;
    }
    if (!item->Parent) item->Expanded(true);
    if (ShowElement && item->Parent) {
      if (!ShowElement(el.get())) {
        cancel = true;
        return;
      }
      item->Expanded(true);
    }
    if (el->Attribut(u"expanded") == u"yes") item->Expanded(true);
    if (item->Parent) {
      if (el->Attribut(u"sel") == u"1") {
        item->SetProp(u"selected", u"1");
        el->Attribut(u"sel", u"");
      }
      item->Indent = 14;
      item->RowHeight = rowHeight_;
      item->BottomSpace = 0;
      item->RightMargin = 5;
    }
  }));
  treeConns_.push_back(root->ResizeEvent.Subscribe(
      [](cVisualNode* item) { item->AddMouseRegion(u"text", 0, 0, item->Width, item->RowHeight); }));
  treeConns_.push_back(root->DrawItemEvent.Subscribe([this](cVisualNode* item) {
    // The picture is painted band by band when shown; the layout only records the rows.
    item->LayoutStamp = stamp_;
    if (item->Parent) rows_.push_back(item);
  }));
}

XmlNodePtr ctlXmlTree::Xml() {
  if (!xml_) xml_ = cXmlNode::New();
  return xml_;
}

void ctlXmlTree::Xml(const XmlNodePtr& doc) {
  Trap("ctlXmlTree.Xml", [&] {
    NewTree();
    rowHeight_ = QFontMetrics(font()).height();  // the text height of a single space
    xml_ = doc;
    if (doc) tree_->CreateFromXML(doc);
    tree_->Expanded(true);
    tree_->Resize(InnerWidth());
    Layout();
    update();
  });
}

void ctlXmlTree::XmlData(const Text& xml) {
  Trap("ctlXmlTree.XmlData", [&] {
    XmlNodePtr doc = Xml();
    doc->XmlData(xml);
    Xml(doc);
  });
}

void ctlXmlTree::UpdateScrollBar() {
  long h = InnerHeight();
  bars_.LargeChange(cScrollBars::sbVertical, h);
  bars_.Max(cScrollBars::sbVertical, tree_->Height() - h - 1);
}

void ctlXmlTree::Layout() {
  if (!tree_) return;
  long w = InnerWidth();
  tree_->Resize(w);
  UpdateScrollBar();
  if (InnerWidth() != w) {
    w = InnerWidth();
    tree_->Resize(w);
  }
  ++stamp_;
  rows_.clear();
  bands_.clear();
  pictureWidth_ = w;
  pictureHeight_ = tree_->ExpandedHeight();
  tree_->DrawItem(0, 0, w);
  UpdateScrollBar();
}

void ctlXmlTree::RefreshTreeView() {
  Trap("ctlXmlTree.RefreshTreeView", [&] {
    Layout();
    update();
  });
}

bool ctlXmlTree::IsDrawn(const cVisualNode* n) const { return n && n->LayoutStamp == stamp_ && n->Visible(); }

void ctlXmlTree::PaintItem(QPainter& p, cVisualNode* item, long bandTop) {
  if (!item->Parent || !item->XmlNode) return;
  Text label = item->XmlNode->Name();
  GetNodeText.Raise(item->XmlNode, label);
  BeforeDrawItem.Raise(item);
  long y = item->Top - bandTop;
  if (item->ChildCount() > 0)
    p.drawImage(QPoint(static_cast<int>(item->Left + 3), static_cast<int>(y + 3)),
                item->Expanded() ? imMoins() : imPlus());
  QString s = qtxt::ToQ(textcut::ForWidth(label, std::max<long>(p.device()->width(), 1)));
  QFontMetrics fm(p.font());
  int tw = fm.horizontalAdvance(s);
  bool sel = item->GetProp(u"selected") == u"1";
  QRect box(static_cast<int>(item->Left + item->Indent), static_cast<int>(y), tw + 2, static_cast<int>(item->RowHeight));
  p.fillRect(box, sel ? Qt::black : Qt::white);
  std::vector<std::pair<size_t, size_t>> marks;
  Text note;
  if (Decorate) Decorate(item, label, marks, note);
  for (auto [start, len] : marks) {
    int from = static_cast<int>(std::min<size_t>(start, s.size()));
    int to = static_cast<int>(std::min<size_t>(start + len, s.size()));
    if (to <= from) continue;
    int x0 = fm.horizontalAdvance(s.left(from)), x1 = fm.horizontalAdvance(s.left(to));
    p.fillRect(QRect(box.left() + 1 + x0, box.top(), x1 - x0, box.height()),
               sel ? QColor(0x80, 0x60, 0x00) : QColor(0xFF, 0xE0, 0x60));
  }
  p.setPen(sel ? QColor(Qt::white) : colorref::ToQColor(txt::ToInt(item->GetProp(u"color"))));
  p.drawText(QRect(box.left() + 1, box.top(), tw + 1, box.height()), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
             s);
  int noteX = box.right() + 5;
  if (long mark = ItemMark ? ItemMark(item) : -1; mark >= 0) {
    int d = std::max(5, std::min(8, static_cast<int>(item->RowHeight) - 6));
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colorref::ToQColor(mark));
    p.drawEllipse(QRect(box.right() + 4, box.top() + (box.height() - d) / 2, d, d));
    p.restore();
    noteX += d + 4;
  }
  if (!note.empty()) {
    p.setPen(QColor(0x90, 0x90, 0x90));
    p.drawText(QRect(noteX, box.top(), fm.horizontalAdvance(qtxt::ToQ(note)) + 2, box.height()),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, qtxt::ToQ(note));
  }
}

const QImage& ctlXmlTree::Band(long index) {
  auto it = bands_.find(index);
  if (it != bands_.end()) return it->second;
  long top = index * BandHeight;
  QImage im(static_cast<int>(std::max<long>(pictureWidth_, 1)), static_cast<int>(BandHeight), QImage::Format_RGB32);
  im.fill(Qt::white);
  {
    QPainter p(&im);
    p.setFont(PaintFont());
    auto first = std::lower_bound(rows_.begin(), rows_.end(), top - kReach,
                                  [](const cVisualNode* n, long y) { return n->Top < y; });
    for (auto i = first; i != rows_.end() && (*i)->Top < top + BandHeight; ++i) PaintItem(p, *i, top);
  }
  return bands_.emplace(index, std::move(im)).first->second;
}

void ctlXmlTree::DropFarBands() {
  long v = bars_.Value(cScrollBars::sbVertical), h = std::max<long>(InnerHeight(), BandHeight);
  long lo = (v - h) / BandHeight - 1, hi = (v + 2 * h) / BandHeight + 1;
  for (auto it = bands_.begin(); it != bands_.end();)
    it = (it->first < lo || it->first > hi) ? bands_.erase(it) : std::next(it);
}

size_t ctlXmlTree::CachedBandBytes() const {
  size_t n = 0;
  for (const auto& b : bands_) n += static_cast<size_t>(b.second.sizeInBytes());
  return n;
}

QImage ctlXmlTree::RenderArea(long top, long height) {
  QImage out(static_cast<int>(std::max<long>(pictureWidth_, 1)), static_cast<int>(std::max<long>(height, 1)),
             QImage::Format_RGB32);
  out.fill(Qt::white);
  Trap("ctlXmlTree.RenderArea", [&] {
    QPainter p(&out);
    for (long b = std::max<long>(top, 0) / BandHeight; b * BandHeight < top + height && b * BandHeight < pictureHeight_;
         ++b)
      p.drawImage(QPoint(0, static_cast<int>(b * BandHeight - top)), Band(b));
  });
  return out;
}

void ctlXmlTree::paintEvent(QPaintEvent*) {
  Trap("ctlXmlTree.Paint", [&] {
    QPainter p(this);
    long v = bars_.Value(cScrollBars::sbVertical);
    long h = InnerHeight();
    p.fillRect(QRect(0, 0, static_cast<int>(InnerWidth()), static_cast<int>(h)), Qt::white);
    if (!tree_ || pictureHeight_ <= 0) return;
    DropFarBands();
    for (long b = std::max<long>(v, 0) / BandHeight; b * BandHeight < v + h && b * BandHeight < pictureHeight_; ++b)
      p.drawImage(QPoint(0, static_cast<int>(b * BandHeight - v)), Band(b));
  });
}

void ctlXmlTree::RefreshNode(cVisualNode* node) {
  Trap("ctlXmlTree.RefreshNode", [&] {
    // An item outside the current layout has no place in the picture: drawing it at its old
    // place would paint over whatever is there now.
    if (!IsDrawn(node) || !node->Parent) return;
    for (auto& [index, im] : bands_) {
      long top = index * BandHeight;
      if (node->Top + std::max<long>(node->RowHeight, kReach) < top || node->Top >= top + BandHeight) continue;
      QPainter p(&im);
      p.setFont(PaintFont());
      // Clear the old label (it may have been longer), not the box left of it.
      p.fillRect(QRect(static_cast<int>(node->Left + node->Indent), static_cast<int>(node->Top - top),
                       static_cast<int>(std::max<long>(node->Width - node->Indent, 0)), static_cast<int>(node->RowHeight)),
                 Qt::white);
      PaintItem(p, node, top);
    }
    update();
  });
}

void ctlXmlTree::SelectNode(cVisualNode* node) {
  Trap("ctlXmlTree.SelectNode", [&] {
    if (!node) return;
    if (cVisualNode* old = selected_) {
      old->DelProp(u"selected");
      selected_ = nullptr;
      RefreshNode(old);
    }
    node->SetProp(u"selected", u"1");
    selected_ = node;
    RefreshNode(node);
    EnsureVisible(node);
    update();
    ItemSelected.Raise(node);
  });
}

void ctlXmlTree::EnsureVisible(cVisualNode* node) {
  Trap("ctlXmlTree.EnsureVisible", [&] {
    if (!node) return;
    if (!node->Visible()) {
      for (cVisualNode* p = node->Parent; p; p = p->Parent) p->Expanded(true);
      Layout();
    }
    long v = bars_.Value(cScrollBars::sbVertical), h = InnerHeight(), t = node->Top, r = node->RowHeight;
    if (v + h >= t + r) {
      if (t < v) bars_.Value(cScrollBars::sbVertical, t);
    } else {
      bars_.Value(cScrollBars::sbVertical, t + r - h);
    }
    update();
  });
}

void ctlXmlTree::resizeEvent(QResizeEvent*) {
  Trap("ctlXmlTree.Resize", [&] {
    if (width() != lastWidth_) {
      lastWidth_ = width();
      StopResizeTimer();
      resizeTimer_ = platform::StartTimer(50, [this] {
        StopResizeTimer();
        if (tree_) RefreshTreeView();
      });
      if (!resizeTimer_ && tree_) RefreshTreeView();  // no loop to coalesce in
    } else {
      if (tree_) UpdateScrollBar();
      update();
    }
  });
}

void ctlXmlTree::LeftPress(long x, long y) {
  if (!tree_) return;
  long v = bars_.Value(cScrollBars::sbVertical);
  cVisualNode* hit = tree_->HitTest(x, y + v);
  if (!hit) return;
  if (hit->GetMouseRegion(x - hit->Left, y + v - hit->Top) != u"text") return;
  if (hit->ChildCount() == 0) {
    SelectNode(hit);
  } else {
    SelectNode(hit);
    hit->Expanded(!hit->Expanded());
    if (singleSel_ && hit->Expanded() && x >= hit->Left + 16 && hit->Parent)
      for (long i = 1; i <= hit->Parent->ChildCount(); ++i)
        if (cVisualNode* s = hit->Parent->Child(i); s != hit) s->Expanded(false);
  }
  Layout();
  update();
}

void ctlXmlTree::mousePressEvent(QMouseEvent* e) {
  Trap("ctlXmlTree.MouseDown", [&] {
    if (e->button() != Qt::LeftButton) return;
    mouseX_ = static_cast<long>(e->position().x());
    mouseY_ = static_cast<long>(e->position().y());
    LeftPress(mouseX_, mouseY_);
  });
}

void ctlXmlTree::mouseDoubleClickEvent(QMouseEvent* e) {
  Trap("ctlXmlTree.DblClick", [&] {
    if (e->button() == Qt::LeftButton) LeftPress(mouseX_, mouseY_);
  });
}

void ctlXmlTree::mouseReleaseEvent(QMouseEvent* e) {
  Trap("ctlXmlTree.MouseUp", [&] {
    if (!tree_) return;
    long x = static_cast<long>(e->position().x()), y = static_cast<long>(e->position().y());
    long v = bars_.Value(cScrollBars::sbVertical);
    cVisualNode* hit = tree_->HitTest(x, y + v);
    if (!hit) return;
    Text region = hit->GetMouseRegion(x - hit->Left, y + v - hit->Top);
    int button = vk::ButtonsFromQt(e->button());
    int shift = vk::ShiftFromQt(e->modifiers());
    ItemMouseUp.Raise(button, shift, hit, region);
  });
}

void ctlXmlTree::keyPressEvent(QKeyEvent* e) {
  bool used = false;
  Trap("ctlXmlTree.KeyDown", [&] { used = KeyDownCode(vk::FromQtKey(e->key()), vk::ShiftFromQt(e->modifiers())); });
  if (!used) QWidget::keyPressEvent(e);
}

void ctlXmlTree::SelectByKey(cVisualNode* node, int shift) {
  if (!node) return;
  SelectNode(node);
  int button = 1;
  Text region = u"item";
  ItemMouseUp.Raise(button, shift, node, region);
}

bool ctlXmlTree::KeyDownCode(int keyCode, int shift) {
  if (!tree_) return false;
  cVisualNode* sel = selected_;
  auto down = [&] {
    if (tree_->ChildCount() == 0) return;
    SelectByKey(sel ? sel->NextItem() : tree_->Child(1), shift);
  };
  auto up = [&] {
    if (tree_->ChildCount() == 0) return;
    SelectByKey(sel ? sel->PrevItem() : tree_->Child(tree_->ChildCount()), shift);
  };
  switch (keyCode) {
    case vk::Down: down(); return true;
    case vk::Up: up(); return true;
    case vk::Right:
      if (!sel) return true;
      if (sel->Parent && !sel->Expanded() && sel->ChildCount() > 0) {
        sel->Expanded(true);
        RefreshTreeView();
      } else {
        down();
      }
      return true;
    case vk::Left:
      if (!sel) return true;
      if (sel->Parent && sel->Expanded() && sel->ChildCount() > 0) {
        sel->Expanded(false);
        RefreshTreeView();
      } else {
        up();
      }
      return true;
    case vk::Prior:
      bars_.Value(cScrollBars::sbVertical, bars_.Value(cScrollBars::sbVertical) - bars_.LargeChange(cScrollBars::sbVertical));
      update();
      return true;
    case vk::Next:
      bars_.Value(cScrollBars::sbVertical, bars_.Value(cScrollBars::sbVertical) + bars_.LargeChange(cScrollBars::sbVertical));
      update();
      return true;
    default: return false;
  }
}
