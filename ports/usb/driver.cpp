#include "ports/usb/usb.h"
#include "common/ui.h"
#include "send/engine.h"
#include "send/frame.h"

static void ResetUsb(ConnectionBlock* block) {
  block->usbHandle = INVALID_HANDLE_VALUE;
  block->deviceIdLength = 0;
  block->deviceIdTimeLimit = 3000;
  Ports[IF_USB].connected = Ports[IF_USB].sending = Ports[IF_USB].receiveRun = 0;
  UsbJobCancelRequest = UsbStatusCommand = 0;
}

static int UsbInit(ConnectionBlock* block) {
  UsbBlock = block;
  block->deviceIdBuffer = NULL;
  ResetUsb(block);
  return 1;
}

// The process may go on after the window (tests run several windows in one process): the
// printer is closed and the buffer freed here, not left to the process's end.
static void UsbExit(ConnectionBlock* block) {
  if (block->usbHandle != INVALID_HANDLE_VALUE) {
    UsbStopTransfers();
    UsbAccessClose(block->usbHandle);
  }
  free(block->deviceIdBuffer);
  block->deviceIdBuffer = NULL;
  block->delayUsb = 0;
  ResetUsb(block);
}

// Ctrl+U and the interface selection connect here. Direct send goes to USB only once a
// printer is open: a cancelled dialog leaves the keys with the interface they had.
static int UsbConnectAction(HWND wnd) {
  ActiveInterface = '3';
  BlockCommandEnable(0);
  int result = UsbConnect(wnd, UsbBlock);
  if (result) {
    CurrentInterfaceKind = IF_USB;
    Ports[IF_USB].connected = 1;
    UsbPostConnection(UsbBlock);
    StatusPart0Update();
    StatusPart3Update(UsbSpeedText);
    result = UsbStartReceiving();
  }
  BlockCommandEnable(1);
  return result;
}

// The job's own sending flag comes on only after its dialog has closed, which takes a
// while; a Stop or job cancel given meanwhile must still reach the job, so the flag is set
// here already (a cancelled dialog clears it).
static int UsbStartBlock(HWND owner) {
  if (!StartDriverSendThread(IF_USB, owner)) return 0;
  Ports[IF_USB].sending = 1;
  Sleep(100);
  return 1;
}

static int UsbCommand(HWND wnd, WPARAM, LPARAM, int action) {
  switch (action) {
    case ACTION_CONNECT: return UsbConnectAction(wnd);
    case ACTION_DISCONNECT: UsbDisconnect(UsbBlock); return 1;
  }
  return 0;
}

const DWORD JOB_CANCEL_MS = 200;

// A running job ends first and lets go of the write pipe; then the printer's buffer is
// cleared, whether the job was writing or had just ended.
static int UsbJobCancel(HWND owner) {
  UsbJobCancelRequest = 1;
  if (Ports[IF_USB].sending == 1) {
    RequestJobEnd();
    AwaitJobOffPort(IF_USB, JOB_CANCEL_MS);
  }
  UsbJobCancelCommand(owner);
  return 1;
}

static const char* UsbDetail() { return UsbBlock->portName; }

const Driver UsbDriver = {IF_USB, UsbInit, UsbExit, UsbCommand, UsbBlockSender, UsbDirectWrite, UsbDetail,
                          UsbStartBlock, UsbJobCancel, NULL, NULL};
