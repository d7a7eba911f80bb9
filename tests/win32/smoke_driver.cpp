// Works program.exe by window messages as a user would, through an
// encryption and a decryption in FOLDER; tools/win32_smoke.sh runs it under
// Wine and checks the files. Usage: win32_smoke_driver PROGRAM_EXE FOLDER

#include <windows.h>

#include <cstdio>
#include <initializer_list>
#include <string>

#include "res/resource.h"

namespace {

DWORD programId = 0;

void Expect(bool holds, const std::wstring& what) {
  if (!holds) {
    std::fwprintf(stderr, L"smoke: %ls\n", what.c_str());
    std::fflush(stderr);
    ExitProcess(1);
  }
}

template <typename Condition>
void WaitFor(const std::wstring& what, Condition condition) {
  for (int tries = 0; !condition(); ++tries) {
    Expect(tries < 300, L"timed out waiting for " + what);
    Sleep(100);
  }
}

std::wstring Text(HWND window) {
  wchar_t text[512] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 5000, nullptr);
  return text;
}

// A shown dialog of the program other than `except`, owned by `owner`.
HWND FindDialog(HWND except, HWND owner) {
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, L"#32770", nullptr)) !=
         nullptr) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == programId && window != except &&
        IsWindowVisible(window) != FALSE &&
        (owner == nullptr || GetWindow(window, GW_OWNER) == owner)) {
      return window;
    }
  }
  return nullptr;
}

// Clicks "..." and chooses `path` in the picker that opens.
void Pick(HWND main, int button, int box, const std::wstring& path) {
  PostMessageW(GetDlgItem(main, button), BM_CLICK, 0, 0);
  HWND picker = nullptr;
  WaitFor(L"the picker",
          [&] { return (picker = FindDialog(main, nullptr)) != nullptr; });
  Expect(IsWindowEnabled(main) != FALSE,
         L"the dialog is usable while a picker is open");
  Expect(SetDlgItemTextW(picker, 0x47C, path.c_str()) != FALSE,  // name box
         L"a file name typed into the picker");
  PostMessageW(picker, WM_COMMAND, IDOK, 0);
  WaitFor(L"the pick in its box " + path,
          [&] { return Text(GetDlgItem(main, box)) == path; });
}

// Starts the job and reads, checks and closes its final message.
void RunJob(HWND main, const std::wstring& expected) {
  PostMessageW(GetDlgItem(main, IDC_START), BM_CLICK, 0, 0);
  HWND box = nullptr;
  WaitFor(L"the final message",
          [&] { return (box = FindDialog(main, main)) != nullptr; });
  Sleep(300);
  Expect(IsWindowEnabled(main) != FALSE,
         L"the dialog is usable under its message");
  const std::wstring text = Text(GetDlgItem(box, 0xFFFF));
  Expect(text == expected && Text(box) == expected, L"the message " + text);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  WaitFor(L"the start button back", [&] {
    return IsWindow(box) == FALSE &&
           IsWindowEnabled(GetDlgItem(main, IDC_START)) != FALSE;
  });
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Expect(argc == 3, L"usage: win32_smoke_driver PROGRAM_EXE FOLDER");
  const std::wstring folder = std::wstring(argv[2]) + L"\\";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION program{};
  std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
  Expect(CreateProcessW(argv[1], command.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &program) != FALSE,
         L"program.exe starts");
  programId = program.dwProcessId;
  HWND main = nullptr;
  WaitFor(L"the main dialog", [&] {
    return (main = FindWindowW(L"#32770", L"program")) != nullptr &&
           IsWindowVisible(main) != FALSE;
  });

  std::wstring texts;
  for (const int id :
       {IDCANCEL, IDC_INPUT_LABEL, IDC_OUTPUT_LABEL, IDC_PASSWORD_LABEL,
        IDC_BROWSE_INPUT, IDC_BROWSE_OUTPUT, IDC_HELP_BUTTON, IDC_START}) {
    texts += Text(GetDlgItem(main, id)) + L"|";
  }
  Expect(texts == L"отказ|входен файл:|изходен файл:|парола:|...|...|?|добре|",
         L"the texts " + texts);
  HWND password = GetDlgItem(main, IDC_PASSWORD);
  Expect((GetWindowLongW(password, GWL_STYLE) & ES_PASSWORD) != 0 &&
             SendMessageW(password, EM_GETLIMITTEXT, 0, 0) == 20,
         L"a masked password box of 20 characters");
  const auto focus = [&] {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(program.dwThreadId, &info);
    return info.hwndFocus;
  };
  Expect(focus() == GetDlgItem(main, IDCANCEL), L"focus at start on отказ");

  // About, from the system menu, in place of the hidden dialog.
  PostMessageW(main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  HWND about = nullptr;
  WaitFor(L"About", [&] {
    return (about = FindWindowW(L"#32770", L"about program")) != nullptr &&
           IsWindowVisible(main) == FALSE;
  });
  Expect(Text(GetDlgItem(about, IDC_ABOUT_NAME)).starts_with(L"Име: "),
         L"About names the maintainers");
  PostMessageW(about, WM_COMMAND, IDCANCEL, 0);
  WaitFor(L"the dialog back", [&] { return IsWindowVisible(main) != FALSE; });

  Pick(main, IDC_BROWSE_INPUT, IDC_INPUT_PATH, folder + L"отчет.docx");
  Pick(main, IDC_BROWSE_OUTPUT, IDC_OUTPUT_PATH, folder + L"шифър");
  SetWindowTextW(password, L"Тайна€1ф");        // "€" is 0x88 in Windows-1251
  SetWindowTextW(password, L"Тайна€1ф\u4e2d");  // not Windows-1251: refused
  Expect(Text(password) == L"Тайна€1ф", L"the password box keeps Windows-1251");
  RunJob(main, L"готово");
  Expect(focus() == password, L"after a job, Enter cannot close the program");

  Pick(main, IDC_BROWSE_INPUT, IDC_INPUT_PATH, folder + L"шифър.crypt");
  Pick(main, IDC_BROWSE_OUTPUT, IDC_OUTPUT_PATH, folder + L"върнат");
  SetWindowTextW(password, L"Тайна€1ф");  // a pick resets the box
  RunJob(main, L"готово");

  PostMessageW(GetDlgItem(main, IDCANCEL), BM_CLICK, 0, 0);
  Expect(WaitForSingleObject(program.hProcess, 20000) == WAIT_OBJECT_0,
         L"отказ closes the program");
  std::fwprintf(stderr, L"smoke: passed\n");
  return 0;
}
