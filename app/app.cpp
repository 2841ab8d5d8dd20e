#include "app/app.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/state.h"
#include "common/ui.h"
#include "send/driver.h"
#include "terminal/capture.h"
#include "terminal/log.h"
#include <commctrl.h>

static int toolbarHeight, statusHeight;

static const TBBUTTON toolbarButtons[] = {
    {0, TB_IEEE1284, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0}, 0, 0},
    {1, TB_USB, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0}, 0, 0},
    {2, TB_TCPIP, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0}, 0, 0},
    {3, TB_IEEE1394, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0}, 0, 0},
    {4, TB_RS232C, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0}, 0, 0},
    {5, TB_DISCONNECT, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0}, 0, 0},
    {0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {0}, 0, 0},
    {6, TB_COPY, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0}, 0, 0},
    {7, TB_CLEAR, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0}, 0, 0},
    {0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {0}, 0, 0},
    {8, TB_SAVE_START, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0}, 0, 0},
    {9, TB_SAVE_END, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0}, 0, 0},
    {0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {0}, 0, 0},
    {10, TB_STOP, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0}, 0, 0},
    {11, TB_JOB_CANCEL, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0}, 0, 0},
    {0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {0}, 0, 0},
    {12, TB_BLOCK, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0}, 0, 0},
    {13, TB_KEY_INPUT, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0}, 0, 0},
    {14, TB_SCSI, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0}, 0, 0},
};

static int WindowHeight(HWND wnd) {
  RECT r;
  GetWindowRect(wnd, &r);
  return r.bottom - r.top;
}

static void CreateMainWindowChildren(HWND wnd) {
  InitCommonControls();
  hToolbar = CreateToolbarEx(wnd, WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS, IDC_TOOLBAR, 16, hInst, IDB_TOOLBAR,
                             toolbarButtons, sizeof toolbarButtons / sizeof toolbarButtons[0], 16, 16, 16, 16,
                             sizeof(TBBUTTON));
  static const int disabled[] = {TB_SAVE_END, TB_STOP, TB_JOB_CANCEL, TB_KEY_INPUT, TB_DISCONNECT, TB_SCSI};
  for (int id : disabled) EnableToolbarButton(id, 0);

  hStatusBar = CreateWindowExA(0, STATUSCLASSNAMEA, NULL, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, wnd,
                               (HMENU)IDC_STATUSBAR, hInst, NULL);
  static const int partEdges[] = {180, 500, 650, 800};
  SendMessageA(hStatusBar, SB_SETPARTS, 4, (LPARAM)partEdges);
}

static void CreateMainWindowContent(HWND wnd) {
  CreateMainWindowChildren(wnd);
  toolbarHeight = WindowHeight(hToolbar);
  statusHeight = WindowHeight(hStatusBar);
  RECT client;
  GetClientRect(wnd, &client);
  hLogList = CreateTerminalLog(wnd, 0, toolbarHeight, client.right, client.bottom - toolbarHeight - statusHeight);
  if (!hLogList) return;
  hMainMenu = GetMenu(wnd);

  ConnectionBlockMemory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, CONNECTION_BLOCK_SIZE);
  if (!ConnectionBlockMemory) return;
  ConnectionBlock* block = (ConnectionBlock*)GlobalLock(ConnectionBlockMemory);
  block->size = CONNECTION_BLOCK_SIZE;
  if (!DriversInit(block)) EnableMenuCommand(IDM_RS232C, 0);
  block->delayNone = 0;
  GlobalUnlock(ConnectionBlockMemory);
  SendCounter = 1;
}

static void ResizeMainWindow(HWND wnd, WPARAM wParam, LPARAM lParam) {
  RECT client;
  GetClientRect(wnd, &client);
  MoveWindow(hLogList, 0, toolbarHeight, client.right, client.bottom - toolbarHeight - statusHeight, TRUE);
  SendMessageA(hToolbar, WM_SIZE, wParam, lParam);
  SendMessageA(hStatusBar, WM_SIZE, wParam, lParam);
  RecomputeHorizontalExtent();
}

// Accelerators are translated through the menu and open it first: an item greyed here
// would swallow its key. So opening greys exactly what the state does not allow.
static void GreyOnMenuOpening() {
  MenuStateRefresh();
  EnableMenuCommand(IDM_STOP, JobRunning());
}

static int SupplyTooltip(LPARAM lParam) {
  NMHDR* header = (NMHDR*)lParam;
  if (header->code != TTN_GETDISPINFOA && header->code != TTN_GETDISPINFOW) return 0;
  UINT_PTR id = header->idFrom;
  if (id < TB_IEEE1284 || id > TB_SCSI) return 0;
  NMTTDISPINFOA* info = (NMTTDISPINFOA*)lParam;
  info->hinst = hInst;
  info->lpszText = MAKEINTRESOURCEA(IDS_TIP_FIRST + (id - TB_IEEE1284));
  return 1;
}

LRESULT CALLBACK MainWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE: hMainWnd = wnd; CreateMainWindowContent(wnd); return 0;
    case WM_SIZE: ResizeMainWindow(wnd, wParam, lParam); return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(wnd, &ps);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_INITMENU: GreyOnMenuOpening(); return 0;
    case WM_NOTIFY:
      if (SupplyTooltip(lParam)) return 0;
      break;
    case WM_COMMAND:
      if (DispatchCommand(wnd, LOWORD(wParam), wParam, lParam)) return 0;
      break;
    case WM_APPEND_LINE: AppendDisplayLine((const char*)lParam); return 0;
    case WM_CAPTURE_COUNT: ShowCaptureCount(); return 0;
    case WM_SEND_STATUS: ShowPostedSendStatus(); return 0;
    case WM_RENDER_CHUNK: RenderIntoLog((const unsigned char*)lParam, (int)wParam); return 0;
    case WM_TIMER:
      if (wParam == CAPTURE_COUNT_TIMER) ShowCaptureCount();
      else if (wParam == LOG_REDRAW_TIMER) ResumeLogRedraw();
      else break;
      return 0;
    case WM_SOCKET_EVENT:
      DriverCommand(IF_TCPIP, wnd, wParam, lParam, ACTION_SOCKET_EVENT);
      BlockCommandEnable(1);
      return 0;
    case WM_CLOSE:
      if (MessageBoxA(wnd, "May I end ?", "End check", MB_YESNO | MB_ICONQUESTION) == IDYES) Shutdown(wnd);
      return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
  }
  MenuStateRefresh();
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

static int RegisterMainClass(const char* className) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = hInst;
  wc.hIcon = LoadIconA(hInst, MAKEINTRESOURCEA(IDI_TARVEX));
  wc.hIconSm = LoadIconA(hInst, MAKEINTRESOURCEA(IDI_TARVEX_SMALL));
  wc.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
  wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
  wc.lpszClassName = className;
  return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

int AppRun(HINSTANCE instance, int showCommand) {
  hInst = instance;
  char title[100], className[100];
  LoadStringA(instance, IDS_TITLE, title, sizeof title);
  LoadStringA(instance, IDS_CLASS, className, sizeof className);
  FormSettingsPath();
  LoadAllSettings();
  if (!RegisterMainClass(className)) return 0;
  HWND wnd = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, NULL, NULL, instance, NULL);
  if (!wnd) return 0;
  ShowWindow(wnd, showCommand);
  UpdateWindow(wnd);
  ResetConnectionState();

  HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCEL));
  MSG msg;
  while (GetMessageA(&msg, NULL, 0, 0) > 0) {
    if (TranslateAcceleratorA(wnd, accelerators, &msg)) continue;
    if (IsDialogMessageA(wnd, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  hMainWnd = hToolbar = hLogList = hStatusBar = NULL;
  return (int)msg.wParam;
}
