#include "platform/KeyCodes.h"

#include <Qt>

namespace vk {
namespace {

struct Pair {
  int qt;
  int vk;
};
constexpr Pair kKeys[] = {
    {Qt::Key_Backspace, Back}, {Qt::Key_Tab, Tab},        {Qt::Key_Return, Return},  {Qt::Key_Enter, Return},
    {Qt::Key_Shift, ShiftKey}, {Qt::Key_Control, Control}, {Qt::Key_Alt, Menu},      {Qt::Key_Escape, Escape},
    {Qt::Key_Space, Space},    {Qt::Key_PageUp, Prior},    {Qt::Key_PageDown, Next}, {Qt::Key_End, End},
    {Qt::Key_Home, Home},      {Qt::Key_Left, Left},       {Qt::Key_Up, Up},         {Qt::Key_Right, Right},
    {Qt::Key_Down, Down},      {Qt::Key_Insert, Insert},   {Qt::Key_Delete, Delete},
};

}  // namespace

int FromQtKey(int qtKey) {
  for (const auto& p : kKeys)
    if (p.qt == qtKey) return p.vk;
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) return F1 + (qtKey - Qt::Key_F1);
  // Letters and digits share their codes with the upper-case ASCII characters.
  if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)) return qtKey;
  return 0;
}

int ToQtKey(int vkCode) {
  for (const auto& p : kKeys)
    if (p.vk == vkCode) return p.qt;
  if (vkCode >= F1 && vkCode <= F12) return Qt::Key_F1 + (vkCode - F1);
  if ((vkCode >= '0' && vkCode <= '9') || (vkCode >= 'A' && vkCode <= 'Z')) return vkCode;
  return 0;
}

int ShiftFromQt(unsigned modifiers) {
  int s = 0;
  if (modifiers & Qt::ShiftModifier) s |= ShiftMask;
  if (modifiers & Qt::ControlModifier) s |= CtrlMask;
  if (modifiers & Qt::AltModifier) s |= AltMask;
  return s;
}

int ButtonsFromQt(unsigned buttons) {
  int b = 0;
  if (buttons & Qt::LeftButton) b |= LeftButton;
  if (buttons & Qt::RightButton) b |= RightButton;
  if (buttons & Qt::MiddleButton) b |= MiddleButton;
  return b;
}

}  // namespace vk
