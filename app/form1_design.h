#pragma once

#include <array>

#include "endgame/messages.h"

namespace velkaro::app {

// The window's design: client area and controls in twips, controls in tab order.

inline constexpr wchar_t kFormCaption[] = L"训练Velkaro";
inline constexpr int kFormWidth = 3660;
inline constexpr int kFormHeight = 2220;

enum class ControlKind { kLabel, kTextBox, kPushButton, kCheckBox };

struct ControlDesign {
  int id;
  ControlKind kind;
  const wchar_t* text;
  int left, top, width, height;
  // The name screen readers announce, where it is not the control's own text.
  const wchar_t* accessible_name = nullptr;
};

// Control IDs stay clear of IDOK and IDCANCEL, which Enter and Esc send.
inline constexpr int kLabel1 = 101;
inline constexpr int kText1 = 102;
inline constexpr int kCommand1 = 103;
inline constexpr int kCheck1 = 104;
inline constexpr int kLabel2 = 105;

inline constexpr wchar_t kLevelLabel[] = L"训练级别(" VELKARO_LEVEL_RANGE ")";
inline constexpr wchar_t kClearedLabel[] = L"通关";

inline constexpr std::array<ControlDesign, 5> kControls{{
    {kLabel1, ControlKind::kLabel, kLevelLabel, 200, 500, 1400, 300},
    {kText1, ControlKind::kTextBox, L"100", 1650, 420, 1500, 300, kLevelLabel},
    {kCommand1, ControlKind::kPushButton, L"更换题库", 1000, 1400, 1500, 500},
    // Too narrow for its own caption: Label2 beside it is the caption the user sees.
    {kCheck1, ControlKind::kCheckBox, L"Check1", 1300, 960, 135, 180, kClearedLabel},
    {kLabel2, ControlKind::kLabel, kClearedLabel, 1650, 960, 975, 300},
}};

}  // namespace velkaro::app
