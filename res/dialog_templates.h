#pragma once

// The three dialog templates as data: controls in template order (which is
// also the tab order), with their ids, kinds, template texts, styles and
// rectangles in dialog units. The layout code in app/ builds the windows
// from these; nothing here depends on a toolkit.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "res/resource.h"

namespace res {

enum class ControlKind : std::uint8_t {
  kPushButton,
  kStatic,
  kEdit,
  kProgressBar,
};

// Window and control styles, as the templates name them.
namespace style {
inline constexpr std::uint32_t kChild = 1U << 0;
inline constexpr std::uint32_t kVisible = 1U << 1;
inline constexpr std::uint32_t kDisabled = 1U << 2;
inline constexpr std::uint32_t kBorder = 1U << 3;
inline constexpr std::uint32_t kTabStop = 1U << 4;
inline constexpr std::uint32_t kGroup = 1U << 5;
inline constexpr std::uint32_t kAutoHScroll = 1U << 6;  // edit
inline constexpr std::uint32_t kPassword = 1U << 7;     // edit, masked
inline constexpr std::uint32_t kSmooth = 1U << 8;       // progress bar
inline constexpr std::uint32_t kLeft = 1U << 9;         // static, wrapping
inline constexpr std::uint32_t kSimple = 1U << 10;      // static, one line
inline constexpr std::uint32_t kNoPrefix = 1U << 11;    // static, "&" as is
// Dialog styles.
inline constexpr std::uint32_t kPopup = 1U << 16;
inline constexpr std::uint32_t kCaption = 1U << 17;
inline constexpr std::uint32_t kSysMenu = 1U << 18;
inline constexpr std::uint32_t kMinimizeBox = 1U << 19;
inline constexpr std::uint32_t kModalFrame = 1U << 20;
inline constexpr std::uint32_t kSetFont = 1U << 21;
inline constexpr std::uint32_t kFixedSys = 1U << 22;
inline constexpr std::uint32_t kAppWindow = 1U << 23;  // extended style
}  // namespace style

// x, y, width, height in dialog units.
struct DialogRect {
  int x, y, width, height;
};

struct ControlTemplate {
  int id;
  std::string_view name;
  ControlKind kind;
  std::string_view text;  // the template's own text
  std::uint32_t styles;
  DialogRect rect;
};

struct DialogTemplate {
  int id;
  std::string_view name;
  std::string_view caption;
  int width, height;  // dialog units
  std::string_view fontName;
  int fontPointSize;
  std::uint32_t styles;
  std::span<const ControlTemplate> controls;  // template order
};

namespace detail {

using namespace style;  // NOLINT(google-build-using-namespace): table only
inline constexpr std::uint32_t kDialogStyles =
    kPopup | kCaption | kSysMenu | kModalFrame | kSetFont | kFixedSys;
inline constexpr std::uint32_t kShown = kChild | kVisible;

// clang-format off
inline constexpr std::array kMainControls = {
  //              id                  name                  kind                       text           styles                                                    x    y    w    h
  ControlTemplate{IDCANCEL,           "IDCANCEL",           ControlKind::kPushButton,  "Cancel",      kShown | kTabStop,                                        {169, 80,  50, 14}},
  ControlTemplate{IDC_INPUT_LABEL,    "IDC_INPUT_LABEL",    ControlKind::kStatic,      "Input file:", kShown | kLeft | kGroup,                                  {7,   9,   48,  8}},
  ControlTemplate{IDC_PROGRESS,       "IDC_PROGRESS",       ControlKind::kProgressBar, "",            kShown | kBorder | kSmooth,                               {7,   59, 212, 14}},
  ControlTemplate{IDC_OUTPUT_LABEL,   "IDC_OUTPUT_LABEL",   ControlKind::kStatic,      "Output file:", kShown | kLeft | kGroup,                                 {7,   26,  51,  8}},
  ControlTemplate{IDC_INPUT_PATH,     "IDC_INPUT_PATH",     ControlKind::kEdit,        "",            kShown | kDisabled | kBorder | kTabStop | kAutoHScroll,   {62,  7,  140, 14}},
  ControlTemplate{IDC_OUTPUT_PATH,    "IDC_OUTPUT_PATH",    ControlKind::kEdit,        "",            kShown | kDisabled | kBorder | kTabStop | kAutoHScroll,   {62,  24, 140, 14}},
  ControlTemplate{IDC_BROWSE_INPUT,   "IDC_BROWSE_INPUT",   ControlKind::kPushButton,  "...",         kShown | kTabStop,                                        {206, 7,   13, 14}},
  ControlTemplate{IDC_BROWSE_OUTPUT,  "IDC_BROWSE_OUTPUT",  ControlKind::kPushButton,  "...",         kShown | kTabStop,                                        {206, 24,  13, 14}},
  ControlTemplate{IDC_PASSWORD_LABEL, "IDC_PASSWORD_LABEL", ControlKind::kStatic,      "Password:",   kShown | kLeft | kGroup,                                  {7,   43,  28,  8}},
  ControlTemplate{IDC_PASSWORD,       "IDC_PASSWORD",       ControlKind::kEdit,        "",            kShown | kBorder | kTabStop | kPassword | kAutoHScroll,   {62,  41, 140, 14}},
  ControlTemplate{IDC_HELP_BUTTON,    "IDC_HELP_BUTTON",    ControlKind::kPushButton,  "?",           kShown | kTabStop,                                        {7,   80,  12, 14}},
  ControlTemplate{IDC_START,          "IDC_START",          ControlKind::kPushButton,  "OK",          kShown | kTabStop,                                        {115, 80,  50, 14}},
};

inline constexpr std::array kHelpControls = {
  ControlTemplate{IDC_HELP_TEXT,      "IDC_HELP_TEXT",      ControlKind::kStatic,      "",            kShown | kGroup | kLeft,                                  {7,   7,  217, 105}},
};

// Wider than the window system's original (99 and 130 units, in a dialog of
// 146) so that the maintainers' name and address fit on their lines.
inline constexpr std::array kAboutControls = {
  ControlTemplate{IDC_ABOUT_NAME,     "IDC_ABOUT_NAME",     ControlKind::kStatic,      "Name",        kShown | kGroup | kSimple | kNoPrefix,                    {7,   7,  170,  8}},
  ControlTemplate{IDC_ABOUT_EMAIL,    "IDC_ABOUT_EMAIL",    ControlKind::kStatic,      "E-mail",      kShown | kGroup | kLeft,                                  {7,   19, 170,  8}},
};
// clang-format on

}  // namespace detail

// clang-format off
//                                           id            name            caption          w    h    font            points
inline constexpr DialogTemplate kMainDialog{IDD_MAIN,     "IDD_MAIN",     "program",       226, 101, "MS Shell Dlg", 8,
    detail::kDialogStyles | style::kVisible | style::kMinimizeBox | style::kAppWindow,
    detail::kMainControls};
inline constexpr DialogTemplate kHelpDialog{IDD_HELP,     "IDD_HELP",     "помощ",         231, 119, "MS Shell Dlg", 8,
    detail::kDialogStyles, detail::kHelpControls};
inline constexpr DialogTemplate kAboutDialog{IDD_ABOUTBOX, "IDD_ABOUTBOX", "about program", 184, 34,  "MS Shell Dlg", 8,
    detail::kDialogStyles, detail::kAboutControls};
// clang-format on

// String resource IDS_ABOUTBOX: the About entry of the system menu.
inline constexpr std::string_view kAboutMenuText = "&About program...";

}  // namespace res
