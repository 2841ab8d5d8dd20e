#include "common/ui.h"
#include "common/resource.h"
#include "common/state.h"
#include "send/driver.h"
#include "terminal/log.h"
#include "terminal/capture.h"
#include <commctrl.h>
#include <stdio.h>

void EnableToolbarButton(int id, int on) {
  SendMessageA(hToolbar, TB_ENABLEBUTTON, id, MAKELONG(on ? TRUE : FALSE, 0));
}

void EnableMenuCommand(int id, int on) {
  EnableMenuItem(hMainMenu, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
}

void BlockCommandEnable(int on) {
  EnableToolbarButton(TB_BLOCK, on);
  EnableMenuCommand(IDM_BLOCK, on);
}

static void EnableBoth(int button, int item, int on) {
  EnableToolbarButton(button, on);
  EnableMenuCommand(item, on);
}

void MenuStateRefresh() {
  int connected = AnyConnected();
  static const int connectButtons[] = {TB_IEEE1284, TB_USB, TB_TCPIP, TB_IEEE1394, TB_RS232C};
  static const int connectItems[] = {IDM_IEEE1284, IDM_USB, IDM_TCPIP, IDM_IEEE1394, IDM_RS232C};
  for (int i = 0; i < 5; i++) EnableBoth(connectButtons[i], connectItems[i], !connected);
  EnableBoth(TB_KEY_INPUT, IDM_KEY_INPUT, connected);
  EnableBoth(TB_DISCONNECT, IDM_DISCONNECT, connected);
  if (connected) BlockCommandEnable(1);

  EnableBoth(TB_SAVE_START, IDM_SAVE_START, !PreservationFlag);
  EnableBoth(TB_SAVE_END, IDM_SAVE_END, PreservationFlag);

  int usb = Ports[IF_USB].connected == 1;
  EnableMenuCommand(IDM_DEVICE_ID, usb || Ports[IF_IEEE1284].connected == 1);
  EnableMenuCommand(IDM_DESCRIPTOR, usb);
  EnableBoth(TB_JOB_CANCEL, IDM_JOB_CANCEL, usb);
  static const int vendorItems[] = {IDM_SET_OFFSET, IDM_MIBOBJECT, IDM_MIB_REFER, IDM_GET_JOB_END};
  for (int item : vendorItems) EnableMenuCommand(item, usb && UsbVendorFlag == 1);

  EnableBoth(TB_SCSI, IDM_SCSI, Ports[IF_IEEE1394].connected == 1);
}

static void SetStatusText(int part, const char* text) {
  SendMessageA(hStatusBar, SB_SETTEXTA, part, (LPARAM)text);
}

void StatusPart0Update() {
  int kind = ActiveKind();
  const Driver* driver = Drivers[kind];
  const char* detail = driver && driver->detail ? driver->detail() : "       ";
  char text[64];
  if (kind == IF_NONE)
    snprintf(text, sizeof text, "       ");
  else
    snprintf(text, sizeof text, "%s  %s", InterfaceName(kind), detail);
  SetStatusText(0, text);
}

// The status bar repaints on every change, which under Wine takes milliseconds, and a send
// job updates it several times per file: another thread's text is posted, not waited for,
// and the window shows the newest one.
static char pendingText[80];
static int pending;

static CRITICAL_SECTION* PendingLock() {
  static CRITICAL_SECTION lock;
  static int ready = (InitializeCriticalSection(&lock), 1);
  (void)ready;
  return &lock;
}

void StatusPart1Update(unsigned long long bytesSent, unsigned long long size) {
  char text[sizeof pendingText];
  snprintf(text, sizeof text, "Send %10llu / %10llu(byte):%6d / %6d", bytesSent, size, (int)FilesSent,
           (int)FilesTotal);
  int onWindowThread = GetWindowThreadProcessId(hStatusBar, NULL) == GetCurrentThreadId();
  EnterCriticalSection(PendingLock());
  lstrcpynA(pendingText, text, sizeof pendingText);
  pending = !onWindowThread;
  LeaveCriticalSection(PendingLock());
  if (onWindowThread) SetStatusText(1, text);
  else if (hMainWnd) PostMessageA(hMainWnd, WM_SEND_STATUS, 0, 0);
}

void ShowPostedSendStatus() {
  char text[sizeof pendingText];
  EnterCriticalSection(PendingLock());
  int shown = pending;
  lstrcpynA(text, pendingText, sizeof text);
  pending = 0;
  LeaveCriticalSection(PendingLock());
  if (shown) SetStatusText(1, text);
}

void StatusPart2Update(unsigned bytesWritten) {
  char text[64];
  snprintf(text, sizeof text, "Write %10d ( byte )", (int)bytesWritten);
  SetStatusText(2, text);
}

void StatusPart3Update(const char* text) { SetStatusText(3, text); }

void ResetConnectionState() {
  ActiveInterface = '0';
  StopRequest = 0;
  PreservationFlag = 0;
  StringCheckFlag = 0;
  CheckState = 1;
  ContinuationFlag = 0;
  FilesSent = FilesTotal = 0;
}
