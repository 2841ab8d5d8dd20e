#include "tests/win/harness.h"
#include "tests/win/fake_driver.h"
#include "app/app.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/state.h"
#include "platform/alloc.h"
#include "ports/tcpip/tcpip.h"
#include "send/block_dialog.h"
#include "send/engine.h"
#include "sim/device_host.h"
#include "sim/server.h"
#include "terminal/log.h"
#include <shlobj.h>
#include <commctrl.h>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <thread>

static std::thread uiThread;
static HANDLE uiEnded = CreateEventA(NULL, TRUE, FALSE, NULL);

// A folder and all it holds. The \\?\ form reaches the paths longer than MAX_PATH that a test
// makes on purpose; "rmdir /s" of Wine's cmd deletes the current directory's files instead.
static void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
    std::wstring name = found.cFileName;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((dir + L"\\" + name).c_str());
    else if (name != L"." && name != L"..") RemoveTree(dir + L"\\" + name);
  }
  FindClose(search);
  RemoveDirectoryW(dir.c_str());
}

std::string FreshFolder(const char* name) {
  char base[MAX_PATH];
  GetModuleFileNameA(NULL, base, sizeof base);
  std::string dir(base);
  dir = dir.substr(0, dir.find_last_of('\\')) + "\\testdirs";
  CreateDirectoryA(dir.c_str(), NULL);
  dir += "\\" + std::string(name);
  std::replace(dir.begin(), dir.end(), '/', '_');  // a parameterised test's name
  RemoveTree(L"\\\\?\\" + std::wstring(dir.begin(), dir.end()));
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
  ResetEvent(uiEnded);
  uiThread = std::thread([] {
    AppRun(GetModuleHandleA(NULL), SW_SHOW);
    SetEvent(uiEnded);
  });
  WaitFor([] { return hMainWnd != NULL && hLogList != NULL && IsWindowVisible(hMainWnd); });
}

struct FindArgs { const char* title; DWORD pid; HWND found; };

// GetWindowTextA waits for the window's thread, so a dialog is found once its thread is free.
static BOOL CALLBACK FindOwnDialog(HWND wnd, LPARAM lParam) {
  FindArgs* args = (FindArgs*)lParam;
  DWORD pid;
  GetWindowThreadProcessId(wnd, &pid);
  char cls[32], title[256];
  GetClassNameA(wnd, cls, sizeof cls);
  GetWindowTextA(wnd, title, sizeof title);
  if (pid == args->pid && IsWindowVisible(wnd) && strcmp(cls, "#32770") == 0 &&
      (!args->title || strcmp(title, args->title) == 0)) {
    args->found = wnd;
    return FALSE;
  }
  return TRUE;
}

static HWND FindDialog(const char* title, DWORD pid = 0) {
  FindArgs args = {title, pid ? pid : GetCurrentProcessId(), NULL};
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
  if (hMainWnd) PostMessageA(hMainWnd, WM_COMMAND, IDM_END, 0);
  if (uiThread.joinable()) uiThread.join();
}

bool EndAppWithin(int ms) {
  PostMessageA(hMainWnd, WM_COMMAND, IDM_END, 0);
  if (WaitForSingleObject(uiEnded, ms) != WAIT_OBJECT_0) return false;
  uiThread.join();
  return true;
}

void PostCommand(int id) { PostMessageA(hMainWnd, WM_COMMAND, id, 0); }

HWND WaitDialog(const char* title, int ms, DWORD pid) {
  HWND found = NULL;
  WaitFor([&] { return (found = FindDialog(title, pid)) != NULL; }, ms);
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

// No log line comes near the buffer's size, so a line that changes between asking its length
// and reading it still fits.
std::vector<std::string> LogLines() {
  std::vector<std::string> lines;
  std::vector<char> line(65536);
  int count = (int)SendMessageA(hLogList, LB_GETCOUNT, 0, 0);
  for (int i = 0; i < count; i++) {
    if ((size_t)SendMessageA(hLogList, LB_GETTEXTLEN, i, 0) >= line.size()) break;
    if (SendMessageA(hLogList, LB_GETTEXT, i, (LPARAM)line.data()) == LB_ERR) break;
    lines.push_back(line.data());
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
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

int LineCount(const std::string& line) {
  std::vector<std::string> lines = LogLines();
  return (int)std::count(lines.begin(), lines.end(), line);
}

bool WaitLine(const std::string& line, int times, int ms) {
  return WaitFor([&] { return LineCount(line) >= times; }, ms);
}

bool HasLine(const std::string& line) { return LineCount(line) > 0; }

std::vector<std::string> LinesWith(const std::string& part) {
  std::vector<std::string> found;
  for (const std::string& line : LogLines())
    if (line.find(part) != std::string::npos) found.push_back(line);
  return found;
}

std::string LogDump() {
  std::string all = "\nlog:\n";
  for (const std::string& line : LogLines()) all += "  " + line + "\n";
  return all;
}

bool ConfirmTcpipDialog(const std::string& host, int port, bool bidirectional, bool reconnect, bool check) {
  HWND dlg = WaitDialog("TCP/IP(Network)");
  if (!dlg) {
    ADD_FAILURE() << "the TCP/IP dialog did not open; TcpState " << TcpState << LogDump();
    return false;
  }
  SetText(dlg, IDC_TCP_HOST, host);
  SetText(dlg, IDC_TCP_PORT, std::to_string(port));
  SetCheck(dlg, IDC_TCP_BIDIR, bidirectional);
  SetCheck(dlg, IDC_TCP_RECONNECT, reconnect);
  SetCheck(dlg, IDC_TCP_CHECK, check);
  Click(dlg, IDOK);
  return DialogGone(dlg);
}

// Types the path into a file dialog's name field and presses its OK button.
bool ChooseInFileDialog(const char* title, const std::string& path, DWORD pid) {
  HWND box = WaitDialog(title, 5000, pid);
  if (!box) return false;
  HWND name = GetDlgItem(box, 0x047C);
  if (name) {
    HWND inner = FindWindowExA(name, NULL, "Edit", NULL);
    if (inner) name = inner;
  } else {
    name = GetDlgItem(box, 0x0480);
  }
  if (!name) return false;
  SendMessageA(name, WM_SETTEXT, 0, (LPARAM)path.c_str());
  PostMessageA(box, WM_COMMAND, IDOK, (LPARAM)GetDlgItem(box, IDOK));
  return DialogGone(box);
}

void DropOnDialog(HWND dlg, const std::vector<std::string>& paths, bool post) {
  std::string names;
  for (const std::string& path : paths) names += path + '\0';
  names += '\0';
  HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size());
  DROPFILES* files = (DROPFILES*)GlobalLock(drop);
  files->pFiles = sizeof(DROPFILES);
  memcpy((char*)(files + 1), names.data(), names.size());
  GlobalUnlock(drop);
  if (post)
    PostMessageA(dlg, WM_DROPFILES, (WPARAM)drop, 0);
  else
    SendMessageA(dlg, WM_DROPFILES, (WPARAM)drop, 0);
}

std::vector<std::string> ListEntries(HWND dlg) {
  std::vector<std::string> entries;
  HWND list = GetDlgItem(dlg, IDC_BLK_LIST);
  int count = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (int i = 0; i < count; i++) {
    std::string name(SendMessageA(list, LB_GETTEXTLEN, i, 0) + 1, '\0');
    name.resize(SendMessageA(list, LB_GETTEXT, i, (LPARAM)&name[0]));
    entries.push_back(name);
  }
  return entries;
}

HWND OpenBlockDialog() {
  PostCommand(IDM_BLOCK);
  return WaitDialog("Block transmission");
}

bool JobEnded(int ms) {
  return WaitFor([] { return SendThreadHandle == NULL && WaitForSingleObject(PortMutex, 0) == WAIT_OBJECT_0; }, ms) &&
         ReleaseMutex(PortMutex);
}

std::string DeviceKept(SimDevice* device) {
  SimDeviceLock(device);
  std::string kept = SimDevicePrinter(device)->kept;
  SimDeviceUnlock(device);
  return kept;
}

HWND ListJob(const std::vector<std::string>& paths, const char* blockSize) {
  HWND dlg = OpenBlockDialog();
  if (!dlg) return NULL;
  SendMessageA(GetDlgItem(dlg, IDC_BLK_LIST), LB_RESETCONTENT, 0, 0);
  DropOnDialog(dlg, paths);
  SetText(dlg, IDC_BLK_SIZE, blockSize);
  return dlg;
}

bool RunJob(const std::vector<std::string>& paths, int times, const char* blockSize, bool order) {
  HWND dlg = ListJob(paths, blockSize);
  if (!dlg) return false;
  SetText(dlg, IDC_BLK_TIMES, std::to_string(times));
  SetCheck(dlg, IDC_BLK_ORDER, order);
  Click(dlg, IDOK);
  return DialogGone(dlg) && JobEnded();
}

bool StartJob(const std::vector<std::string>& paths, const char* blockSize, int timeOutSeconds) {
  HWND dlg = ListJob(paths, blockSize);
  if (!dlg) return false;
  SetCheck(dlg, IDC_BLK_TIMEOUT_ON, timeOutSeconds > 0);
  if (timeOutSeconds) SetText(dlg, IDC_BLK_TIMEOUT, std::to_string(timeOutSeconds));
  Click(dlg, IDOK);
  return DialogGone(dlg);
}

HWND OpenKeyInputDialog(int hex, int unit, int newline) {
  KEYINHexFlag = hex, KEYINSendType = unit, KEYINNewlineCode = newline;
  PostCommand(IDM_KEY_INPUT);
  return WaitDialog("Data transmission by the keyboard input");
}

void TypeChars(HWND field, const char* chars) {
  for (const char* c = chars; *c; c++) SendMessageA(field, WM_CHAR, (unsigned char)*c, 1);
}

HWND OpenCaptureDialog() {
  PostCommand(IDM_SAVE_START);
  return WaitDialog("A setup of a preservation place");
}

bool StartCapture(const std::string& path) {
  HWND dlg = OpenCaptureDialog();
  if (!dlg) return false;
  SetText(dlg, IDC_CAP_NAME, path);
  Click(dlg, IDOK);
  return WaitFor([] { return PreservationFlag == 1; });
}

void AppTest::SetUp() {
  folder = FreshFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
  BeforeStart();
  if (HasFatalFailure()) return;
  StartApp();
  ASSERT_TRUE(hMainWnd != NULL);
}

// The job options outlive the window; back to the program's start values.
void AppTest::TearDown() {
  StopApp();
  KbyteFlag = OrderOption = 1;
  WaitOn = TimeOutOn = HighSpeed = 0;
  BlockSizeBytes = 1024;
  FileTable.clear();
  FileBufferAllocLimit = 0;
  QuietFlag = 0;
}

std::string AppTest::File(const std::string& name, const std::string& bytes) {
  std::string path = folder + "\\" + name;
  WriteBytes(path, bytes);
  return path;
}

void FakePortTest::BeforeStart() { InstallFakeDriver(); }

void FakePortTest::SetUp() {
  AppTest::SetUp();
  if (HasFatalFailure()) return;
  PostCommand(IDM_RS232C);
  ASSERT_TRUE(WaitFor([] { return Ports[IF_RS232C].connected == 1; }));
}

void FakePortTest::TearDown() {
  AppTest::TearDown();
  RemoveFakeDriver();
}

void PrinterTest::BeforeStart() {
  port = SimStart("127.0.0.1", 0);
  ASSERT_NE(0, port);
}

void PrinterTest::TearDown() {
  SimSetReadRate(0, 0);  // a printer that takes nothing would hold up the shutdown
  AppTest::TearDown();
  SimStop();
}

void PrinterTest::Connect(bool bidirectional, bool reconnect, bool check) {
  PostCommand(IDM_TCPIP);
  ASSERT_TRUE(ConfirmTcpipDialog("127.0.0.1", port, bidirectional, reconnect, check));
  ASSERT_TRUE(WaitLine("TCP/IP:Connected.")) << LogDump();
  ASSERT_TRUE(WaitFor([] { return SimGetStats().connected == 1; }));
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
