#include "send/driver.h"
#include "ports/ieee1284/ieee1284.h"
#include "ports/ieee1394/ieee1394.h"
#include "ports/rs232c/rs232c.h"
#include "ports/tcpip/tcpip.h"
#include "ports/usb/usb.h"

const Driver* Drivers[IF_KINDS] = {NULL, &Ieee1284Driver, &Rs232cDriver, &UsbDriver, &TcpipDriver, &Ieee1394Driver};

// Start-up and exit both run in this order; the USB start-up comes first because it
// owns the port mutex that every later driver and the send thread rely on.
static const int driverOrder[] = {IF_USB, IF_TCPIP, IF_IEEE1284, IF_IEEE1394, IF_RS232C};

static const Driver* Find(int kind) { return kind > 0 && kind < IF_KINDS ? Drivers[kind] : NULL; }

int DriverCommand(int kind, HWND wnd, WPARAM wParam, LPARAM lParam, int action) {
  const Driver* driver = Find(kind);
  return driver && driver->command ? driver->command(wnd, wParam, lParam, action) : 0;
}

int DriverStartBlock(int kind, HWND owner) {
  const Driver* driver = Find(kind);
  if (driver && driver->startBlock) return driver->startBlock(owner);
  return DriverCommand(kind, owner, 0, 0, ACTION_START_BLOCK);
}

int DriverJobCancel(int kind, HWND owner) {
  const Driver* driver = Find(kind);
  return driver && driver->jobCancel ? driver->jobCancel(owner) : 0;
}

// The send-job fields every driver starts from; each driver's delay is its "interval".
static void SendJobDefaults(ConnectionBlock* block) {
  block->bytesRead = 0;
  block->timeOut = 300;
  block->blockSizeValue = 1;
  block->numberOfTimes = 1;
  block->wait = 5;
  for (int kind = IF_IEEE1284; kind < IF_KINDS; kind++) *DelayField(block, kind) = Ports[kind].interval;
  block->delayTcpip = block->delayNone = 0;
}

int DriversInit(ConnectionBlock* block) {
  PortMutex = CreateMutexA(NULL, FALSE, NULL);
  SendJobDefaults(block);
  int serialReady = 1;
  for (int kind : driverOrder) {
    Ports[kind].connected = Ports[kind].sending = Ports[kind].receiveRun = 0;
    if (!Drivers[kind]) continue;
    int ready = Drivers[kind]->init(block);
    if (kind == IF_RS232C) serialReady = ready;
  }
  SendThreadHandle = ReceiveThreadHandle = NULL;
  return serialReady;
}

void DriversExit(ConnectionBlock* block) {
  for (int kind : driverOrder)
    if (Drivers[kind]) Drivers[kind]->exit(block);
  if (PortMutex) CloseHandle(PortMutex);
  PortMutex = NULL;
}
