#include "ports/rs232c/rs232c.h"
#include "common/resource.h"
#include "common/settings.h"
#include "terminal/log.h"
#include <winspool.h>

const DWORD PORT_LIST_LIMIT = 64 * 1024;  // enumeration records taken at most

// The spooler's port names that begin with "COM" decide how far the list goes; every
// number up to the highest is offered, since a port may exist without being listed.
static int HighestListedPort() {
  DWORD needed = 0, count = 0, size = 2048;
  BYTE* records = (BYTE*)LocalAlloc(LPTR, size);
  if (records && !EnumPortsA(NULL, 1, records, size, &needed, &count) &&
      GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed <= PORT_LIST_LIMIT) {
    LocalFree(records);
    records = (BYTE*)LocalAlloc(LPTR, size = needed);
    if (records && !EnumPortsA(NULL, 1, records, size, &needed, &count)) count = 0;
  }
  const char* names[PORT_LIST_LIMIT / sizeof(PORT_INFO_1A)];
  count = records && count < sizeof names / sizeof names[0] ? count : 0;
  for (DWORD i = 0; i < count; i++) names[i] = ((const PORT_INFO_1A*)records)[i].pName;
  int highest = HighestComPort(names, (int)count);
  if (records) LocalFree(records);
  return highest;
}

static void FillCombo(HWND dlg, int id, const char* const* labels, int count, int selected) {
  for (int i = 0; i < count; i++) SendDlgItemMessageA(dlg, id, CB_ADDSTRING, 0, (LPARAM)labels[i]);
  SendDlgItemMessageA(dlg, id, CB_SETCURSEL, selected, 0);
}

static void OpenDialog(HWND dlg) {
  int highest = HighestListedPort();
  for (int n = 1; n <= highest; n++) {
    char name[16];
    wsprintfA(name, "COM%d", n);
    SendDlgItemMessageA(dlg, IDC_RS_PORT, CB_ADDSTRING, 0, (LPARAM)name);
  }
  SendDlgItemMessageA(dlg, IDC_RS_PORT, CB_SETCURSEL, 0, 0);
  FillCombo(dlg, IDC_RS_BAUD, BaudLabels, BAUD_ENTRIES, Rs232cBaudrate);
  FillCombo(dlg, IDC_RS_DATA_BITS, DataBitsLabels, DATA_BITS_ENTRIES, Rs232cDataBits);
  FillCombo(dlg, IDC_RS_PARITY, ParityLabels, PARITY_ENTRIES, Rs232cParityBits);
  FillCombo(dlg, IDC_RS_STOP_BITS, StopBitsLabels, STOP_BITS_ENTRIES, Rs232cStopBits);
  FillCombo(dlg, IDC_RS_FLOW, FlowControlLabels, FLOW_CONTROL_ENTRIES, Rs232cFlowControl);
  FillIntervalCombo(GetDlgItem(dlg, IDC_RS_INTERVAL), Ports[IF_RS232C].receiveTimes);
  CheckDlgButton(dlg, IDC_RS_BIDIR, Ports[IF_RS232C].receiveOn == 1 ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dlg, IDC_RS_CHECK, BST_UNCHECKED);
  SetFocus(GetDlgItem(dlg, IDC_RS_INTERVAL));
}

static int Selected(HWND dlg, int id) { return (int)SendDlgItemMessageA(dlg, id, CB_GETCURSEL, 0, 0); }

static void Confirm(HWND dlg) {
  GetDlgItemTextA(dlg, IDC_RS_PORT, Rs232cPortPath, sizeof Rs232cPortPath);
  Rs232cBaudrate = Selected(dlg, IDC_RS_BAUD);
  Rs232cDataBits = Selected(dlg, IDC_RS_DATA_BITS);
  Rs232cParityBits = Selected(dlg, IDC_RS_PARITY);
  Rs232cStopBits = Selected(dlg, IDC_RS_STOP_BITS);
  Rs232cFlowControl = Selected(dlg, IDC_RS_FLOW);
  Rs232cLine = {Rs232cBaudrate, Rs232cDataBits, Rs232cParityBits, Rs232cStopBits, Rs232cFlowControl, 1};
  Ports[IF_RS232C].receiveOn = IsDlgButtonChecked(dlg, IDC_RS_BIDIR) == BST_CHECKED;
  StringCheckFlag = IsDlgButtonChecked(dlg, IDC_RS_CHECK) == BST_CHECKED;
  Ports[IF_RS232C].receiveTimes = ReadIntervalCombo(GetDlgItem(dlg, IDC_RS_INTERVAL), Ports[IF_RS232C].receiveTimes);
  if (Rs232cOpen()) {
    EndDialog(dlg, 1);
    return;
  }
  LogMessage("RS232C:Not Open.");  // the port of an earlier connection stays open and connected
  EndDialog(dlg, 2);
}

static INT_PTR CALLBACK Rs232cDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    OpenDialog(dlg);
    return FALSE;  // the focus was given to the interval combo
  }
  if (msg != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDC_RS_BIDIR: Ports[IF_RS232C].receiveOn = IsDlgButtonChecked(dlg, IDC_RS_BIDIR) == BST_CHECKED; return TRUE;
    case IDC_RS_CHECK: StringCheckFlag = IsDlgButtonChecked(dlg, IDC_RS_CHECK) == BST_CHECKED; return TRUE;
    case IDOK: Confirm(dlg); return TRUE;
    case IDCANCEL: EndDialog(dlg, 2); return TRUE;
  }
  return FALSE;
}

int Rs232cDialog(HWND owner) {
  return (int)DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_RS232C), owner, Rs232cDialogProc, 0);
}
