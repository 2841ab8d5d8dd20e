#include "ports/tcpip/tcpip.h"
#include "common/resource.h"
#include "common/settings.h"
#include "terminal/log.h"

static void EnableBidirectionalParts(HWND dlg) {
  int on = IsDlgButtonChecked(dlg, IDC_TCP_BIDIR) == BST_CHECKED;
  if (!on) CheckDlgButton(dlg, IDC_TCP_RECONNECT, BST_UNCHECKED);
  EnableWindow(GetDlgItem(dlg, IDC_TCP_RECONNECT), on);
  EnableWindow(GetDlgItem(dlg, IDC_TCP_TIMEOUT), on);
}

static void OpenDialog(HWND dlg) {
  SendDlgItemMessageA(dlg, IDC_TCP_HOST, CB_ADDSTRING, 0, (LPARAM)TcpAddress);
  SendDlgItemMessageA(dlg, IDC_TCP_HOST, CB_SETCURSEL, 0, 0);
  SetDlgItemTextA(dlg, IDC_TCP_PORT, "9100");
  CheckDlgButton(dlg, IDC_TCP_RECONNECT, TcpAutoReconnect ? BST_CHECKED : BST_UNCHECKED);
  SetDlgItemInt(dlg, IDC_TCP_TIMEOUT, NoRecvLimit / 10, FALSE);
  CheckDlgButton(dlg, IDC_TCP_BIDIR, Ports[IF_TCPIP].receiveOn == 1 ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dlg, IDC_TCP_CHECK, BST_UNCHECKED);
  EnableBidirectionalParts(dlg);
}

static void Confirm(HWND dlg) {
  UINT seconds = GetDlgItemInt(dlg, IDC_TCP_TIMEOUT, NULL, FALSE);
  if (seconds < 60 || seconds > 300) {
    SetDlgItemInt(dlg, IDC_TCP_TIMEOUT, NoRecvLimit / 10, FALSE);
    return;
  }
  NoRecvLimit = seconds * 10;
  if (!TcpipConnect(dlg, 0)) LogMessage("TCP/IP:Not Connection.");
  EndDialog(dlg, 1);
}

static INT_PTR CALLBACK TcpipDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    OpenDialog(dlg);
    return TRUE;
  }
  if (msg != WM_COMMAND) return FALSE;
  TcpAutoReconnect = IsDlgButtonChecked(dlg, IDC_TCP_RECONNECT) == BST_CHECKED;
  switch (LOWORD(wParam)) {
    case IDC_TCP_BIDIR:
      Ports[IF_TCPIP].receiveOn = IsDlgButtonChecked(dlg, IDC_TCP_BIDIR) == BST_CHECKED;
      EnableBidirectionalParts(dlg);
      return TRUE;
    case IDC_TCP_CHECK: StringCheckFlag = IsDlgButtonChecked(dlg, IDC_TCP_CHECK) == BST_CHECKED; return TRUE;
    case IDOK: Confirm(dlg); return TRUE;
    case IDCANCEL: EndDialog(dlg, 2); return TRUE;
  }
  return FALSE;
}

int TcpipDialog(HWND owner) {
  return (int)DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_TCPIP), owner, TcpipDialogProc, 0);
}
