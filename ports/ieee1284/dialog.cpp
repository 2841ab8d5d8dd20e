#include "ports/ieee1284/ieee1284.h"
#include "common/resource.h"
#include "common/settings.h"
#include "send/frame.h"
#include "terminal/log.h"

static void OnlyEntry(HWND dlg, int id, const char* text) {
  SendDlgItemMessageA(dlg, id, CB_RESETCONTENT, 0, 0);
  SendDlgItemMessageA(dlg, id, CB_ADDSTRING, 0, (LPARAM)text);
  SendDlgItemMessageA(dlg, id, CB_SETCURSEL, 0, 0);
}

static void OpenDialog(HWND dlg) {
  OnlyEntry(dlg, IDC_1284_PORT, Ieee1284PortName);
  OnlyEntry(dlg, IDC_1284_PROTOCOL, Ieee1284Protocol);
  FillIntervalCombo(GetDlgItem(dlg, IDC_1284_INTERVAL), Ports[IF_IEEE1284].receiveTimes);
  SetDlgItemInt(dlg, IDC_1284_TIMEOUT, Ieee1284TimeOut, FALSE);
  CheckDlgButton(dlg, IDC_1284_BIDIR, Ports[IF_IEEE1284].receiveOn == 1 ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dlg, IDC_1284_CHECK, BST_UNCHECKED);
  CheckRadioButton(dlg, IDC_1284_ECP, IDC_1284_COMP, Ieee1284ModeChoice == 1 ? IDC_1284_COMP : IDC_1284_ECP);
  SetFocus(GetDlgItem(dlg, IDC_1284_INTERVAL));
}

static void Confirm(HWND dlg) {
  GetDlgItemTextA(dlg, IDC_1284_PORT, Ieee1284PortName, sizeof Ieee1284PortName);
  GetDlgItemTextA(dlg, IDC_1284_PROTOCOL, Ieee1284Protocol, sizeof Ieee1284Protocol);
  Ports[IF_IEEE1284].receiveTimes = ReadIntervalCombo(GetDlgItem(dlg, IDC_1284_INTERVAL), Ports[IF_IEEE1284].receiveTimes);
  UINT seconds = GetDlgItemInt(dlg, IDC_1284_TIMEOUT, NULL, FALSE);
  if (seconds == 0 || seconds > 60) {
    Ieee1284TimeOut = 1;
    SetDlgItemInt(dlg, IDC_1284_TIMEOUT, 1, FALSE);
    return;
  }
  Ieee1284TimeOut = seconds;
  if (!ParallelDriverSetup(dlg)) {
    EndDialog(dlg, 2);
    return;
  }
  if (Ieee1284Open()) {
    EndDialog(dlg, 1);
    return;
  }
  ConnectionLogMessage("IEEE1284:Not Open.");  // the port of an earlier connection stays open and connected
  EndDialog(dlg, 2);
}

static INT_PTR CALLBACK Ieee1284DialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    OpenDialog(dlg);
    return FALSE;  // the focus is set
  }
  if (msg != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDC_1284_ECP: Ieee1284ModeChoice = 0; return TRUE;
    case IDC_1284_COMP: Ieee1284ModeChoice = 1; return TRUE;
    case IDC_1284_CHECK: StringCheckFlag = IsDlgButtonChecked(dlg, IDC_1284_CHECK) == BST_CHECKED; return TRUE;
    case IDC_1284_BIDIR: Ports[IF_IEEE1284].receiveOn = IsDlgButtonChecked(dlg, IDC_1284_BIDIR) == BST_CHECKED; return TRUE;
    case IDOK: Confirm(dlg); return TRUE;
    case IDCANCEL: EndDialog(dlg, 2); return TRUE;
  }
  return FALSE;
}

int Ieee1284Dialog(HWND owner) {
  return (int)DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_IEEE1284), owner, Ieee1284DialogProc, 0);
}
