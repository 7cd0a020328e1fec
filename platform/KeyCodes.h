#pragma once
// Windows virtual-key codes and Shift bits as the controls report them to their hosts.

namespace vk {

constexpr int Back = 8;
constexpr int Tab = 9;
constexpr int Return = 13;
constexpr int ShiftKey = 16;
constexpr int Control = 17;
constexpr int Menu = 18;
constexpr int Escape = 27;
constexpr int Space = 32;
constexpr int Prior = 33;  // Page Up
constexpr int Next = 34;   // Page Down
constexpr int End = 35;
constexpr int Home = 36;
constexpr int Left = 37;
constexpr int Up = 38;
constexpr int Right = 39;
constexpr int Down = 40;
constexpr int Insert = 45;
constexpr int Delete = 46;
constexpr int F1 = 112;
constexpr int F3 = 114;
constexpr int F12 = 123;

// Shift argument bits of key and mouse events.
constexpr int ShiftMask = 1;
constexpr int CtrlMask = 2;
constexpr int AltMask = 4;

// Mouse button bits.
constexpr int LeftButton = 1;
constexpr int RightButton = 2;
constexpr int MiddleButton = 4;

// Toolkit key code (Qt::Key value) -> virtual-key code; 0 for keys without one.
int FromQtKey(int qtKey);
// Virtual-key code -> toolkit key code; 0 when unknown.
int ToQtKey(int vkCode);
// Toolkit modifier flags -> Shift bits (1 Shift, 2 Ctrl, 4 Alt).
int ShiftFromQt(unsigned modifiers);
// Toolkit mouse button flags -> button bits (1 left, 2 right, 4 middle).
int ButtonsFromQt(unsigned buttons);

}  // namespace vk
