#include "terminal/log.h"
#include "common/resource.h"
#include "common/settings.h"

// What CANCEL puts back: only the received-data display and the line width.
static int rcvDspAtOpening, widthAtOpening;

static void OpenDisplaySetup(HWND dlg) {
  CheckDlgButton(dlg, IDC_DSP_RCV, RcvDsp == 1);
  CheckDlgButton(dlg, IDC_DSP_OPEN, OpenDsp == 1);
  CheckDlgButton(dlg, IDC_DSP_PORT, PortDsp == 1);
  rcvDspAtOpening = RcvDsp;
  widthAtOpening = DspLine;
  if (DspLine == 80) {
    CheckDlgButton(dlg, IDC_DSP_80, BST_CHECKED);
  } else {
    CheckDlgButton(dlg, IDC_DSP_132, BST_CHECKED);
    widthAtOpening = 132;
  }
}

static INT_PTR CALLBACK DisplaySetupProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) {
    OpenDisplaySetup(dlg);
    return TRUE;
  }
  if (msg != WM_COMMAND) return FALSE;
  int checked = IsDlgButtonChecked(dlg, LOWORD(wParam)) == BST_CHECKED;
  switch (LOWORD(wParam)) {
    case IDC_DSP_RCV: RcvDsp = checked; break;
    case IDC_DSP_OPEN: OpenDsp = checked; break;
    case IDC_DSP_PORT: PortDsp = checked; break;
    case IDC_DSP_80: DspLine = 80; break;
    case IDC_DSP_132: DspLine = 132; break;
    case IDOK: EndDialog(dlg, IDOK); break;
    case IDCANCEL:
      RcvDsp = rcvDspAtOpening;
      DspLine = widthAtOpening;
      EndDialog(dlg, IDCANCEL);
      break;
    default: return FALSE;
  }
  return TRUE;
}

void DisplaySetupDialog(HWND owner) {
  DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_DISPLAY), owner, DisplaySetupProc, 0);
}
