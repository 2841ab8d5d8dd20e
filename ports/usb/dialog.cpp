#include "ports/usb/usb.h"
#include "common/resource.h"
#include "send/frame.h"
#include <cstring>

static int Checked(HWND dlg, int id) { return IsDlgButtonChecked(dlg, id) == BST_CHECKED; }

static int OpenDialog(HWND dlg) {
  HWND printers = GetDlgItem(dlg, IDC_USB_PRINTER);
  for (int i = 0; i < UsbPrinterCount; i++)
    if (UsbPrinters[i].opened) SendMessageA(printers, CB_ADDSTRING, 0, (LPARAM)UsbPrinters[i].displayText);
  if (SendMessageA(printers, CB_GETCOUNT, 0, 0) <= 0) {
    MessageBoxA(dlg, "There is no printer which can be opened by USB.\n Please check the power supply of a USB cable or a printer.",
                "Error", MB_OK);
    return 0;
  }
  SendMessageA(printers, CB_SETCURSEL, 0, 0);
  FillIntervalCombo(GetDlgItem(dlg, IDC_USB_INTERVAL), Ports[IF_USB].receiveTimes);
  CheckDlgButton(dlg, IDC_USB_CHECK, BST_UNCHECKED);
  CheckDlgButton(dlg, IDC_USB_BIDIR, Ports[IF_USB].receiveOn == 1 ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dlg, IDC_USB_STATUS, BST_UNCHECKED);
  UsbStatusCommand = 0;
  return 1;
}

// A text the user typed need not carry a label's trailing blank: the entry whose label
// holds it counts, the first in table order. An empty text holds nothing and keeps the value.
static int IntervalContaining(HWND combo, int old) {
  char text[16] = "";
  GetWindowTextA(combo, text, sizeof text);
  for (const IntervalChoice& choice : IntervalChoices)
    if (text[0] && strstr(choice.label, text)) return choice.ms;
  return old;
}

// The chosen text names a printer by its model; a text that names none (a port name typed
// in) is taken as the port itself.
static void Confirm(HWND dlg) {
  char chosen[260] = "";
  GetDlgItemTextA(dlg, IDC_USB_PRINTER, chosen, sizeof chosen);
  const char* port = UsbChosenPort(UsbPrinters, UsbPrinterCount, chosen);
  CopyBounded(UsbChosenName, sizeof UsbChosenName, port ? port : chosen);
  Ports[IF_USB].receiveOn = Checked(dlg, IDC_USB_BIDIR);
  StringCheckFlag = Checked(dlg, IDC_USB_CHECK);
  UsbStatusCommand = Checked(dlg, IDC_USB_STATUS);
  Ports[IF_USB].receiveTimes = IntervalContaining(GetDlgItem(dlg, IDC_USB_INTERVAL), Ports[IF_USB].receiveTimes);
  EndDialog(dlg, 1);
}

static INT_PTR CALLBACK UsbDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    if (!OpenDialog(dlg)) EndDialog(dlg, 0);
    return TRUE;
  }
  if (msg != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDC_USB_BIDIR: Ports[IF_USB].receiveOn = Checked(dlg, IDC_USB_BIDIR); return TRUE;
    case IDC_USB_CHECK: StringCheckFlag = Checked(dlg, IDC_USB_CHECK); return TRUE;
    case IDC_USB_STATUS: UsbStatusCommand = Checked(dlg, IDC_USB_STATUS); return TRUE;
    case IDOK: Confirm(dlg); return TRUE;
    case IDCANCEL: EndDialog(dlg, 0); return TRUE;
  }
  return FALSE;
}

int UsbDialog(HWND owner) {
  return DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_USB), owner, UsbDialogProc, 0) == 1;
}
