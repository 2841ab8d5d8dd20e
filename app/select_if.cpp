#include "app/app.h"
#include "common/resource.h"
#include "common/state.h"
#include "send/driver.h"

struct InterfaceChoice { int id; int kind; };
static const InterfaceChoice choices[] = {{IDC_SEL_IEEE1284, IF_IEEE1284}, {IDC_SEL_USB, IF_USB},
                                          {IDC_SEL_TCPIP, IF_TCPIP},       {IDC_SEL_IEEE1394, IF_IEEE1394},
                                          {IDC_SEL_RS232C, IF_RS232C}};

static int ConnectChoice(HWND dlg) {
  int kind = ActiveKind();
  switch (kind) {
    case IF_IEEE1284: case IF_RS232C: case IF_IEEE1394:
      CurrentInterfaceKind = kind;
      return DriverCommand(kind, dlg, 0, 0, ACTION_CONNECT) == 1;
    case IF_USB: return DriverCommand(IF_USB, dlg, 0, 0, ACTION_CONNECT) == 1;
    case IF_TCPIP:
      CurrentInterfaceKind = kind;
      if (TcpState != 0 || Ports[IF_TCPIP].connected == 1) return 0;
      return DriverCommand(IF_TCPIP, hMainWnd, 0, 0, ACTION_CONNECT) == 1;
  }
  return 0;
}

static INT_PTR CALLBACK SelectInterfaceProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    ActiveInterface = '0';
    return TRUE;
  }
  if (msg != WM_COMMAND) return FALSE;
  int id = LOWORD(wParam);
  for (const InterfaceChoice& choice : choices)
    if (id == choice.id) ActiveInterface = '0' + choice.kind;
  if (id == IDOK && ConnectChoice(dlg)) EndDialog(dlg, 1);
  if (id == IDCANCEL) EndDialog(dlg, 0);
  return TRUE;
}

int SelectInterfaceDialog(HWND owner) {
  return (int)DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_SELECT_IF), owner, SelectInterfaceProc, 0);
}
