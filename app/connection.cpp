#include "app/app.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/state.h"
#include "common/ui.h"
#include "send/driver.h"
#include "terminal/capture.h"

static int FirstConnectedKind() {
  if (TcpState == 1 && Ports[IF_TCPIP].connected == 1) return IF_TCPIP;
  static const int order[] = {IF_USB, IF_IEEE1284, IF_IEEE1394, IF_RS232C};
  for (int kind : order)
    if (Ports[kind].connected == 1) return kind;
  return IF_NONE;
}

void DisconnectionSequence() {
  int kind = FirstConnectedKind();
  if (kind != IF_NONE) DriverCommand(kind, hMainWnd, 0, 0, ACTION_DISCONNECT);
  EndPreservationMode();
  ResetConnectionState();
  StatusPart1Update(0, 0);
  ActiveInterface = '0';
  StatusPart0Update();
  EnableToolbarButton(TB_STOP, 0);
  EnableMenuCommand(IDM_STOP, 0);
}

void Shutdown(HWND wnd) {
  EndPreservationMode();
  SaveAllSettings();
  if (ConnectionBlockMemory) {
    ConnectionBlock* block = (ConnectionBlock*)GlobalLock(ConnectionBlockMemory);
    DriversExit(block);
    GlobalUnlock(ConnectionBlockMemory);
    GlobalFree(ConnectionBlockMemory);
    ConnectionBlockMemory = NULL;
  }
  DestroyWindow(wnd);
}

static INT_PTR CALLBACK AboutProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) return TRUE;
  if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dlg, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

void AboutDialog(HWND owner) {
  DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutProc, 0);
}
