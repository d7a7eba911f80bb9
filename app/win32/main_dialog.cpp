#include "app/win32/main_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include <array>
#include <memory>
#include <optional>
#include <utility>

#include "app/win32/accessible_names.h"
#include "app/win32/dialog_template.h"
#include "app/win32/file_picker.h"
#include "app/win32/final_message_box.h"
#include "app/win32/text_dialog.h"
#include "app/win32/wide_text.h"
#include "app/win32/window_messages.h"
#include "format/windows1251.h"
#include "res/dialog_templates.h"
#include "res/dialog_texts.h"

namespace win32 {

namespace {

// The password box takes 20 characters; a job accepts 1 to 16 of them.
constexpr WPARAM kPasswordBoxLimit = 20;

HICON LoadProgramIcon(int widthMetric, int heightMetric) {
  return static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME),
                 IMAGE_ICON, GetSystemMetrics(widthMetric),
                 GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR));
}

PickerKind PickerFor(dialog::PathBox box) {
  return box == dialog::PathBox::kInput ? PickerKind::kOpen : PickerKind::kSave;
}

dialog::PathBox BoxFor(PickerKind kind) {
  return kind == PickerKind::kOpen ? dialog::PathBox::kInput
                                   : dialog::PathBox::kOutput;
}

// A picked or dropped name: its box shows it, and a job opens it, as is.
std::optional<dialog::PickedFile> Picked(const PickedPath& path) {
  if (!path) {
    return std::nullopt;
  }
  const std::string name = Utf8(*path);
  return dialog::PickedFile{name, name};
}

}  // namespace

MainDialog::MainDialog()
    : bigIcon_(LoadProgramIcon(SM_CXICON, SM_CYICON)),
      smallIcon_(LoadProgramIcon(SM_CXSMICON, SM_CYSMICON)) {}

MainDialog::~MainDialog() {
  DestroyIcon(bigIcon_);
  DestroyIcon(smallIcon_);
}

void MainDialog::Run() {
  const DialogTemplateBytes bytes(res::kMainDialog);
  DialogBoxIndirectParamW(GetModuleHandleW(nullptr), bytes.Get(), nullptr,
                          Procedure, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK MainDialog::Procedure(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    FromMessageParam<MainDialog*>(lParam)->window_ = window;
  }
  auto* self =
      FromMessageParam<MainDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  return self != nullptr ? self->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR MainDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;  // the focus goes to the first tab stop: "отказ"
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_SYSCOMMAND:
      // The low four bits are the system's own.
      if ((wParam & 0xFFF0U) == IDM_ABOUTBOX) {
        logic_.OnAbout();
        return TRUE;
      }
      return FALSE;
    case WM_DROPFILES:
      OnDropFiles(FromMessageParam<HDROP>(static_cast<std::intptr_t>(wParam)));
      return TRUE;
    case kFilePickedMessage:
      logic_.OnPickEnded(BoxFor(static_cast<PickerKind>(wParam)),
                         Picked(*TakePosted<PickedPath>(lParam)));
      return TRUE;
    case kMessageBoxClosedMessage:
      logic_.OnFinalMessageClosed();
      return TRUE;
    case kPendingCallsMessage:
      logic_.RunPendingCalls();
      return TRUE;
    default:
      return FALSE;
  }
}

void MainDialog::OnInitDialog() {
  SendMessageW(window_, WM_SETICON, ICON_BIG,
               reinterpret_cast<LPARAM>(bigIcon_));
  SendMessageW(window_, WM_SETICON, ICON_SMALL,
               reinterpret_cast<LPARAM>(smallIcon_));
  if (HMENU menu = GetSystemMenu(window_, FALSE)) {
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX,
                Wide(res::kAboutMenuText).c_str());
  }
  const std::array<win32::ControlText, 5> labels{{
      {IDC_INPUT_LABEL, res::kInputLabel},
      {IDC_OUTPUT_LABEL, res::kOutputLabel},
      {IDC_PASSWORD_LABEL, res::kPasswordLabel},
      {IDC_START, res::kStartText},
      {IDCANCEL, res::kCancelText},
  }};
  for (const win32::ControlText& label : labels) {
    SetDlgItemTextW(window_, label.id, Wide(label.text).c_str());
  }
  SendDlgItemMessageW(window_, IDC_PASSWORD, EM_LIMITTEXT, kPasswordBoxLimit,
                      0);
  NameBoxesAfterTheirLabels(window_);
  DragAcceptFiles(window_, TRUE);
}

void MainDialog::OnCommand(int id, int code) {
  switch (id) {
    case IDCANCEL:  // the button, Esc and the close box
      logic_.OnCancel();
      return;
    case IDC_START:
      logic_.OnStart();
      return;
    case IDC_BROWSE_INPUT:
      logic_.OnPickInput();
      return;
    case IDC_BROWSE_OUTPUT:
      logic_.OnPickOutput();
      return;
    case IDC_HELP_BUTTON:
      logic_.OnHelp();
      return;
    case IDC_PASSWORD:
      if (code == EN_CHANGE) {
        KeepPasswordInCodePage();
      }
      return;
    default:
      // IDOK, which Enter sends when no push button has the focus, does
      // nothing: there is no default button.
      return;
  }
}

void MainDialog::OnDropFiles(HDROP drop) {
  POINT point{};
  DragQueryPoint(drop, &point);
  PickedPath path;
  if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
    std::wstring name(DragQueryFileW(drop, 0, nullptr, 0) + 1, L'\0');
    name.resize(
        DragQueryFileW(drop, 0, name.data(), static_cast<UINT>(name.size())));
    path = std::move(name);
  }
  DragFinish(drop);
  const std::pair<int, dialog::PathBox> boxes[] = {
      {IDC_INPUT_PATH, dialog::PathBox::kInput},
      {IDC_OUTPUT_PATH, dialog::PathBox::kOutput}};
  for (const auto& [id, box] : boxes) {
    RECT area{};
    GetWindowRect(GetDlgItem(window_, id), &area);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&area), 2);
    if (path && PtInRect(&area, point) != FALSE) {
      logic_.OnPickEnded(box, Picked(path));  // a drop is a pick
    }
  }
}

std::wstring MainDialog::ControlText(int id) const {
  HWND control = GetDlgItem(window_, id);
  std::wstring text(GetWindowTextLengthW(control) + 1, L'\0');
  text.resize(
      GetWindowTextW(control, text.data(), static_cast<int>(text.size())));
  return text;
}

void MainDialog::KeepPasswordInCodePage() {
  std::wstring text = ControlText(IDC_PASSWORD);
  const std::optional<std::string> utf8 =
      format::FromUtf16(format::kUtf8CodePage, text);
  if (utf8 && format::Utf8ToWindows1251(*utf8)) {
    acceptedPassword_ = std::move(text);
    return;
  }
  // A character that Windows-1251 cannot hold, typed or pasted: the box
  // goes back to what it held.
  MessageBeep(MB_OK);
  SetDlgItemTextW(window_, IDC_PASSWORD, acceptedPassword_.c_str());
  const auto end = static_cast<LPARAM>(acceptedPassword_.size());
  SendDlgItemMessageW(window_, IDC_PASSWORD, EM_SETSEL, end, end);
}

void MainDialog::ShowTexts(const dialog::BoxTexts& texts) {
  SetDlgItemTextW(window_, IDC_INPUT_PATH, Wide(texts.input).c_str());
  SetDlgItemTextW(window_, IDC_OUTPUT_PATH, Wide(texts.output).c_str());
  SetDlgItemTextW(window_, IDC_PASSWORD, Wide(texts.password).c_str());
}

dialog::BoxTexts MainDialog::ReadTexts() const {
  return {Utf8(ControlText(IDC_INPUT_PATH)), Utf8(ControlText(IDC_OUTPUT_PATH)),
          Utf8(ControlText(IDC_PASSWORD))};
}

void MainDialog::EnableStart(bool enabled) {
  // A disabled button would take the focus with it, and after a job the
  // focus must not come back to "отказ", where Enter closes the program:
  // the password box, where Enter does nothing, takes it instead.
  HWND focus = GetFocus();
  if (focus == GetDlgItem(window_, enabled ? IDCANCEL : IDC_START)) {
    SendMessageW(window_, WM_NEXTDLGCTL,
                 reinterpret_cast<WPARAM>(GetDlgItem(window_, IDC_PASSWORD)),
                 TRUE);
  }
  EnableWindow(GetDlgItem(window_, IDC_START), enabled ? TRUE : FALSE);
}

void MainDialog::SetProgressRange(int minimum, int maximum) {
  SendDlgItemMessageW(window_, IDC_PROGRESS, PBM_SETRANGE32,
                      static_cast<WPARAM>(minimum), maximum);
}

void MainDialog::SetProgressPosition(int position) {
  SendDlgItemMessageW(window_, IDC_PROGRESS, PBM_SETPOS,
                      static_cast<WPARAM>(position), 0);
}

void MainDialog::ShowFinalMessage(std::string_view text) {
  if (!StartFinalMessageBox(window_, Wide(text))) {
    logic_.OnFinalMessageClosed();  // no box to wait for
  }
}

void MainDialog::OpenPicker(dialog::PathBox box) {
  if (!StartFilePicker(PickerFor(box), window_)) {
    logic_.OnPickEnded(box, std::nullopt);
  }
}

void MainDialog::OpenHelp() {
  const win32::ControlText texts[] = {{IDC_HELP_TEXT, res::kHelpText}};
  ShowTextDialog(res::kHelpDialog, texts, smallIcon_);
  logic_.OnSideDialogClosed();
}

void MainDialog::OpenAbout() {
  const std::string name =
      std::string(res::kAboutNamePrefix) + std::string(res::kMaintainerName);
  const std::string email =
      std::string(res::kAboutEmailPrefix) + std::string(res::kMaintainerEmail);
  const win32::ControlText texts[] = {{IDC_ABOUT_NAME, name},
                                      {IDC_ABOUT_EMAIL, email}};
  ShowTextDialog(res::kAboutDialog, texts, smallIcon_);
  logic_.OnSideDialogClosed();
}

void MainDialog::SetVisible(bool visible) {
  ShowWindow(window_, visible ? SW_SHOW : SW_HIDE);
}

void MainDialog::Close() { EndDialog(window_, IDCANCEL); }

void MainDialog::RequestPendingCalls() {
  PostMessageW(window_, kPendingCallsMessage, 0, 0);
}

}  // namespace win32
