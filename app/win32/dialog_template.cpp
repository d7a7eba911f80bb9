#include "app/win32/dialog_template.h"

#include <commctrl.h>

#include <cstring>
#include <string>

#include "format/wide_text.h"

namespace win32 {

namespace {

namespace style = res::style;

// The predefined control classes, as atoms.
constexpr WORD kButtonClass = 0x0080;
constexpr WORD kEditClass = 0x0081;
constexpr WORD kStaticClass = 0x0082;

// Appends the template's fields one 16-bit word at a time.
class TemplateWriter {
 public:
  void Word(WORD value) { words_.push_back(value); }
  void Short(int value) { Word(static_cast<WORD>(static_cast<short>(value))); }
  void Dword(DWORD value) {
    Word(LOWORD(value));
    Word(HIWORD(value));
  }
  void Text(std::string_view utf8) {
    for (const wchar_t unit : format::ToUtf16(format::kUtf8CodePage, utf8)
                                  .value_or(std::wstring())) {
      Word(static_cast<WORD>(unit));
    }
    Word(0);
  }
  // Every control's record starts on a DWORD boundary.
  void AlignToDword() {
    if (words_.size() % 2 != 0) {
      Word(0);
    }
  }
  [[nodiscard]] std::vector<DWORD> Dwords() {
    AlignToDword();
    std::vector<DWORD> dwords(words_.size() / 2);
    std::memcpy(dwords.data(), words_.data(), words_.size() * sizeof(WORD));
    return dwords;
  }

 private:
  std::vector<WORD> words_;
};

DWORD Bit(std::uint32_t styles, std::uint32_t bit, DWORD windowsStyle) {
  return (styles & bit) != 0 ? windowsStyle : 0;
}

DWORD CommonStyles(std::uint32_t styles) {
  return Bit(styles, style::kChild, WS_CHILD) |
         Bit(styles, style::kVisible, WS_VISIBLE) |
         Bit(styles, style::kDisabled, WS_DISABLED) |
         Bit(styles, style::kBorder, WS_BORDER) |
         Bit(styles, style::kTabStop, WS_TABSTOP) |
         Bit(styles, style::kGroup, WS_GROUP);
}

void WriteClass(TemplateWriter& out, res::ControlKind kind) {
  switch (kind) {
    case res::ControlKind::kPushButton:
      out.Word(0xFFFF);
      out.Word(kButtonClass);
      return;
    case res::ControlKind::kEdit:
      out.Word(0xFFFF);
      out.Word(kEditClass);
      return;
    case res::ControlKind::kStatic:
      out.Word(0xFFFF);
      out.Word(kStaticClass);
      return;
    case res::ControlKind::kProgressBar:
      out.Text("msctls_progress32");
      return;
  }
}

}  // namespace

WindowStyles DialogStyles(std::uint32_t styles) {
  return {CommonStyles(styles) | Bit(styles, style::kPopup, WS_POPUP) |
              Bit(styles, style::kCaption, WS_CAPTION) |
              Bit(styles, style::kSysMenu, WS_SYSMENU) |
              Bit(styles, style::kMinimizeBox, WS_MINIMIZEBOX) |
              Bit(styles, style::kModalFrame, DS_MODALFRAME) |
              Bit(styles, style::kSetFont, DS_SETFONT) |
              Bit(styles, style::kFixedSys, DS_FIXEDSYS),
          Bit(styles, style::kAppWindow, WS_EX_APPWINDOW)};
}

WindowStyles ControlStyles(res::ControlKind kind, std::uint32_t styles) {
  DWORD own = 0;
  switch (kind) {
    case res::ControlKind::kPushButton:
      own = BS_PUSHBUTTON;
      break;
    case res::ControlKind::kEdit:
      own = Bit(styles, style::kAutoHScroll, ES_AUTOHSCROLL) |
            Bit(styles, style::kPassword, ES_PASSWORD);
      break;
    case res::ControlKind::kStatic:
      own = Bit(styles, style::kLeft, SS_LEFT) |
            Bit(styles, style::kSimple, SS_SIMPLE) |
            Bit(styles, style::kNoPrefix, SS_NOPREFIX);
      break;
    case res::ControlKind::kProgressBar:
      own = Bit(styles, style::kSmooth, PBS_SMOOTH);
      break;
  }
  return {CommonStyles(styles) | own, 0};
}

DialogTemplateBytes::DialogTemplateBytes(const res::DialogTemplate& dialog) {
  TemplateWriter out;
  const WindowStyles dialogStyles = DialogStyles(dialog.styles);
  out.Word(1);       // version of the extended template
  out.Word(0xFFFF);  // its signature
  out.Dword(0);      // help context
  out.Dword(dialogStyles.extendedStyle);
  out.Dword(dialogStyles.style);
  out.Word(static_cast<WORD>(dialog.controls.size()));
  out.Short(0);  // x and y: the system places the dialog
  out.Short(0);
  out.Short(dialog.width);
  out.Short(dialog.height);
  out.Word(0);  // no menu
  out.Word(0);  // the system's dialog class
  out.Text(dialog.caption);
  out.Word(static_cast<WORD>(dialog.fontPointSize));
  out.Word(FW_NORMAL);
  out.Word(MAKEWORD(FALSE, DEFAULT_CHARSET));  // not italic; the character set
  out.Text(dialog.fontName);

  for (const res::ControlTemplate& control : dialog.controls) {
    const WindowStyles styles = ControlStyles(control.kind, control.styles);
    out.AlignToDword();
    out.Dword(0);  // help context
    out.Dword(styles.extendedStyle);
    out.Dword(styles.style);
    out.Short(control.rect.x);
    out.Short(control.rect.y);
    out.Short(control.rect.width);
    out.Short(control.rect.height);
    out.Dword(static_cast<DWORD>(control.id));
    WriteClass(out, control.kind);
    out.Text(control.text);
    out.Word(0);  // no creation data
  }
  words_ = out.Dwords();
}

}  // namespace win32
