#include "app/app.h"
#include "common/resource.h"
#include "common/state.h"
#include "common/ui.h"
#include "ports/ieee1284/ieee1284.h"
#include "send/driver.h"
#include "services/scsi_test.h"
#include "send/engine.h"
#include "send/frame.h"
#include "send/function_keys.h"
#include "send/keyboard.h"
#include "ports/usb/usb.h"
#include "services/usb_report.h"
#include "services/vendor.h"
#include "terminal/capture.h"
#include "terminal/clipboard.h"
#include "terminal/log.h"

static int Connect(HWND wnd, int kind, WPARAM wParam, LPARAM lParam) {
  if (!Drivers[kind]) return 0;
  CurrentInterfaceKind = kind;
  ActiveInterface = '0' + kind;
  return DriverCommand(kind, wnd, wParam, lParam, ACTION_CONNECT);
}

static void TcpipConnectionSequence(HWND wnd, WPARAM wParam, LPARAM lParam) {
  if (!Drivers[IF_TCPIP]) return;
  CurrentInterfaceKind = IF_TCPIP;
  if (TcpState != 0 || Ports[IF_TCPIP].connected == 1) return;
  BlockCommandEnable(0);
  ActiveInterface = '4';
  if (DriverCommand(IF_TCPIP, wnd, wParam, lParam, ACTION_CONNECT) == 2) BlockCommandEnable(1);
}

static void StartPreservation(HWND wnd) {
  if (!StartPreservationMode(wnd)) return;
  PreservationFlag = 1;
  EnableToolbarButton(TB_SAVE_START, 0);
  EnableToolbarButton(TB_SAVE_END, 1);
}

static void EndPreservation() {
  EndPreservationMode();
  EnableToolbarButton(TB_SAVE_START, 1);
  EnableToolbarButton(TB_SAVE_END, 0);
}

int JobRunning() {
  for (int kind = 1; kind < IF_KINDS; kind++)
    if (Ports[kind].sending == 1) return 1;
  return 0;
}

static void RequestStop() {
  if (JobRunning()) RequestJobEnd();
}

// The connected interface starts the job; with none connected the job asks for one itself.
static void BlockTransmission(HWND wnd) {
  if (TcpState == 1 && Ports[IF_TCPIP].connected == 1) {
    DriverStartBlock(IF_TCPIP, wnd);
    return;
  }
  static const int wired[] = {IF_USB, IF_IEEE1284, IF_IEEE1394, IF_RS232C};
  for (int kind : wired)
    if (Ports[kind].connected == 1) {
      DriverStartBlock(kind, wnd);
      return;
    }
  StartSendThread(wnd);
}

static void ToggleCheck(int item, BYTE* check) {
  int wasChecked = GetMenuState(hMainMenu, item, MF_BYCOMMAND) & MF_CHECKED;
  CheckMenuItem(hMainMenu, item, MF_BYCOMMAND | (wasChecked ? MF_UNCHECKED : MF_CHECKED));
  *check = wasChecked ? 0 : 1;
}

int DispatchCommand(HWND wnd, int id, WPARAM wParam, LPARAM lParam) {
  switch (id) {
    case IDM_ABOUT: AboutDialog(wnd); break;
    case TB_IEEE1284: case IDM_IEEE1284: Connect(wnd, IF_IEEE1284, wParam, lParam); break;
    case TB_USB: case IDM_USB: DriverCommand(IF_USB, wnd, wParam, lParam, ACTION_CONNECT); break;
    case IDM_DEVICE_ID:
      if (Ports[IF_USB].connected == 1) UsbDeviceIdCommand(UsbBlock);
      else if (Ports[IF_IEEE1284].connected == 1) Ieee1284DeviceIdDisplay();
      break;
    case TB_JOB_CANCEL: case IDM_JOB_CANCEL: case IDM_JOB_CANCEL_KEY: UsbDriver.jobCancel(wnd); break;
    case TB_TCPIP: case IDM_TCPIP: TcpipConnectionSequence(wnd, wParam, lParam); break;
    case TB_IEEE1394: case IDM_IEEE1394: Connect(wnd, IF_IEEE1394, wParam, lParam); break;
    case TB_RS232C: case IDM_RS232C: Connect(wnd, IF_RS232C, wParam, lParam); break;
    case TB_DISCONNECT: case IDM_DISCONNECT: DisconnectionSequence(); break;
    case TB_COPY: case IDM_COPY: CopySelectedLines(); break;
    case TB_CLEAR: case IDM_CLEAR: ClearLog(); break;
    case IDM_SELECT_ALL: SelectAllAndCopy(); break;
    case TB_SAVE_START: case IDM_SAVE_START: StartPreservation(wnd); break;
    case TB_SAVE_END: case IDM_SAVE_END: EndPreservation(); break;
    case TB_STOP: case IDM_STOP: RequestStop(); break;
    case TB_BLOCK: case IDM_BLOCK: BlockTransmission(wnd); break;
    case TB_KEY_INPUT: case IDM_KEY_INPUT:
      if (AnyConnected()) KeyboardInputDialog(wnd);
      break;
    case IDM_FUNCTION_KEY: FunctionKeyDialog(wnd); break;
    case IDM_DESCRIPTOR:
      if (Ports[IF_USB].connected == 1) UsbDescriptorCommand();
      break;
    case IDM_SET_OFFSET: SetOffsetCommand(wnd); break;
    case IDM_MIBOBJECT: MibObjectCommand(wnd); break;
    case IDM_MIB_REFER: ToggleCheck(IDM_MIB_REFER, &MibReferCheck); break;
    case IDM_GET_JOB_END: ToggleCheck(IDM_GET_JOB_END, &GetJobEndCheck); break;
    case IDM_DISPLAY: DisplaySetupDialog(wnd); break;
    case TB_SCSI: case IDM_SCSI:
      if (Ports[IF_IEEE1394].connected == 1) ScsiCommandTest(wnd);
      break;
    case IDM_END: Shutdown(wnd); break;
    default:
      if (id < IDM_FKEY_FIRST || id > IDM_FKEY_FIRST + 11) return 0;
      SendFunctionKey(id - IDM_FKEY_FIRST + 1);
  }
  return 1;
}
