#include "tests/win/harness.h"
#include "app/app.h"
#include "app/state.h"
#include <commctrl.h>
#include <direct.h>
#include <fstream>
#include <sstream>
#include <thread>

static std::thread uiThread;

std::string FreshFolder(const char* name) {
  char base[MAX_PATH];
  GetModuleFileNameA(NULL, base, sizeof base);
  std::string dir(base);
  dir = dir.substr(0, dir.find_last_of('\\')) + "\\testdirs";
  CreateDirectoryA(dir.c_str(), NULL);
  dir += "\\" + std::string(name);
  std::string command = "cmd /c rmdir /s /q \"" + dir + "\" >nul 2>nul";
  if (GetFileAttributesA(dir.c_str()) != INVALID_FILE_ATTRIBUTES) system(command.c_str());
  CreateDirectoryA(dir.c_str(), NULL);
  SetCurrentDirectoryA(dir.c_str());
  return dir;
}

bool WaitFor(const std::function<bool()>& condition, int ms) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < (DWORD)ms; Sleep(10))
    if (condition()) return true;
  return condition();
}

void StartApp() {
  hMainWnd = NULL;
  uiThread = std::thread([] { AppRun(GetModuleHandleA(NULL), SW_SHOW); });
  WaitFor([] { return hMainWnd != NULL && hLogList != NULL && IsWindowVisible(hMainWnd); });
}

struct FindArgs { const char* title; HWND found; };

static BOOL CALLBACK FindOwnDialog(HWND wnd, LPARAM lParam) {
  FindArgs* args = (FindArgs*)lParam;
  DWORD pid;
  GetWindowThreadProcessId(wnd, &pid);
  char cls[32], title[256];
  GetClassNameA(wnd, cls, sizeof cls);
  GetWindowTextA(wnd, title, sizeof title);
  if (pid == GetCurrentProcessId() && IsWindowVisible(wnd) && strcmp(cls, "#32770") == 0 &&
      (!args->title || strcmp(title, args->title) == 0)) {
    args->found = wnd;
    return FALSE;
  }
  return TRUE;
}

static HWND FindDialog(const char* title) {
  FindArgs args = {title, NULL};
  EnumWindows(FindOwnDialog, (LPARAM)&args);
  return args.found;
}

void StopApp() {
  for (int i = 0; i < 5; i++) {
    HWND left = FindDialog(NULL);
    if (!left) break;
    PostMessageA(left, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(left, WM_CLOSE, 0, 0);
    WaitFor([&] { return !IsWindow(left); }, 1000);
  }
  if (hMainWnd) PostMessageA(hMainWnd, WM_COMMAND, 32832, 0);
  if (uiThread.joinable()) uiThread.join();
}

void PostCommand(int id) { PostMessageA(hMainWnd, WM_COMMAND, id, 0); }

HWND WaitDialog(const char* title, int ms) {
  HWND found = NULL;
  WaitFor([&] { return (found = FindDialog(title)) != NULL; }, ms);
  return found;
}

bool DialogGone(HWND dlg, int ms) {
  return WaitFor([&] { return !IsWindow(dlg) || !IsWindowVisible(dlg); }, ms);
}

void SetText(HWND dlg, int id, const std::string& text) { SetDlgItemTextA(dlg, id, text.c_str()); }

std::string Text(HWND dlg, int id) {
  char text[4096] = "";
  GetDlgItemTextA(dlg, id, text, sizeof text);
  return text;
}

void Click(HWND dlg, int id) { PostMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }

bool IsChecked(HWND dlg, int id) { return IsDlgButtonChecked(dlg, id) == BST_CHECKED; }

void SetCheck(HWND dlg, int id, bool on) {
  if (IsChecked(dlg, id) == on) return;
  Click(dlg, id);
  WaitFor([&] { return IsChecked(dlg, id) == on; }, 2000);
}

bool IsEnabled(HWND dlg, int id) { return IsWindowEnabled(GetDlgItem(dlg, id)) != 0; }

std::string AnswerMessageBox(const char* title, int button, int ms) {
  HWND box = WaitDialog(title, ms);
  if (!box) return "<no message box>";
  std::string text = Text(box, 0xFFFF);
  PostMessageA(box, WM_COMMAND, button, (LPARAM)GetDlgItem(box, button));
  DialogGone(box);
  return text;
}

std::vector<std::string> LogLines() {
  std::vector<std::string> lines;
  int count = (int)SendMessageA(hLogList, LB_GETCOUNT, 0, 0);
  for (int i = 0; i < count; i++) {
    LRESULT length = SendMessageA(hLogList, LB_GETTEXTLEN, i, 0);
    if (length == LB_ERR) break;  // the log changed under us
    std::string line(length + 1, '\0');
    length = SendMessageA(hLogList, LB_GETTEXT, i, (LPARAM)&line[0]);
    if (length == LB_ERR) break;
    line.resize(length);
    lines.push_back(line);
  }
  return lines;
}

std::string StatusText(int part) {
  char text[256] = "";
  SendMessageA(hStatusBar, SB_GETTEXTA, part, (LPARAM)text);
  return text;
}

bool MenuEnabled(int id) {
  return (GetMenuState(GetMenu(hMainWnd), id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) == 0;
}

bool ToolbarEnabled(int id) { return SendMessageA(hToolbar, TB_ISBUTTONENABLED, id, 0) != 0; }

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}
