#include "ports/ieee1394/ieee1394.h"

#include <stdlib.h>

#include "common/resource.h"
#include "send/frame.h"
#include "terminal/log.h"

int Ieee1394PortList(PortName* list) {
  const DWORD size = 65535;
  char* names = static_cast<char*>(calloc(size + 1, 1));
  if (!names) return 0;
  DWORD length = QueryDosDeviceA(NULL, names, size);
  int count = 0;
  if (length)
    count = PortListFromNames(names, length, list);
  else
    LogMessage("IEEE1394:<ERROR> QueryDosDevice.[ErrNo=%lu]", GetLastError());
  free(names);
  return count;
}

// The list ends at its first empty name.
static void OpenDialog(HWND dlg, const PortName* ports) {
  for (int i = 0; ports[i][0]; i++) SendDlgItemMessageA(dlg, IDC_1394_PORT, CB_ADDSTRING, 0, (LPARAM)ports[i]);
  SendDlgItemMessageA(dlg, IDC_1394_PORT, CB_SETCURSEL, 0, 0);
  FillIntervalCombo(GetDlgItem(dlg, IDC_1394_INTERVAL), Ports[IF_IEEE1394].receiveTimes);
  CheckDlgButton(dlg, IDC_1394_BIDIR, Ports[IF_IEEE1394].receiveOn == 1 ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dlg, IDC_1394_CHECK, BST_UNCHECKED);
  SetFocus(GetDlgItem(dlg, IDC_1394_INTERVAL));
}

static void Confirm(HWND dlg) {
  GetDlgItemTextA(dlg, IDC_1394_PORT, Ieee1394PortName, sizeof Ieee1394PortName);
  Ports[IF_IEEE1394].receiveTimes =
      ReadIntervalCombo(GetDlgItem(dlg, IDC_1394_INTERVAL), Ports[IF_IEEE1394].receiveTimes);
  if (Ieee1394Open()) {
    EndDialog(dlg, 1);
    return;
  }
  LogMessage("IEEE1394:Not Open.");  // the port of an earlier connection stays open and connected
  EndDialog(dlg, 2);
}

static INT_PTR CALLBACK Ieee1394DialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    OpenDialog(dlg, reinterpret_cast<const PortName*>(lParam));
    return FALSE;
  }
  if (msg != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDC_1394_BIDIR: Ports[IF_IEEE1394].receiveOn = IsDlgButtonChecked(dlg, IDC_1394_BIDIR) == BST_CHECKED; return TRUE;
    case IDC_1394_CHECK: StringCheckFlag = IsDlgButtonChecked(dlg, IDC_1394_CHECK) == BST_CHECKED; return TRUE;
    case IDOK: Confirm(dlg); return TRUE;
    case IDCANCEL: EndDialog(dlg, 2); return TRUE;
  }
  return FALSE;
}

int Ieee1394Dialog(HWND owner) {
  PortName ports[PORT_LIST_CAP + 1] = {};
  if (!Ieee1394PortList(ports)) {
    MessageBoxA(hLogList, "The printer for IEEE1394 is not connected.", "Error", MB_OK);
    return 2;
  }
  return (int)DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_IEEE1394), owner, Ieee1394DialogProc, (LPARAM)ports);
}
