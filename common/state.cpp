#include "common/state.h"

HINSTANCE hInst;
HWND hMainWnd, hToolbar, hLogList, hStatusBar;
HMENU hMainMenu;

Word ActiveInterface = '0';
Word CurrentInterfaceKind;
PortState Ports[IF_KINDS];
Word TcpState;
Word StopRequest;
Word SendCounter = 1;
Word FilesSent, FilesTotal;
volatile uint64_t BytesSent;
Word StringCheckFlag;
Word CheckState = 1;
Word PreservationFlag;
BYTE MibReferCheck, GetJobEndCheck;
Word UsbVendorFlag;
Word MibRequestCounter = 1;
HANDLE PortMutex;
HANDLE SendThreadHandle, ReceiveThreadHandle;
HGLOBAL ConnectionBlockMemory;

static const char* const interfaceNames[IF_KINDS] = {"", "IEEE1284", "RS232C", "USB", "TCP/IP", "IEEE1394"};

const char* InterfaceName(int kind) {
  return kind > 0 && kind < IF_KINDS ? interfaceNames[kind] : "";
}

int ActiveKind() {
  int kind = ActiveInterface - '0';
  return kind > 0 && kind < IF_KINDS ? kind : IF_NONE;
}

int AnyConnected() {
  for (int kind = 1; kind < IF_KINDS; kind++)
    if (Ports[kind].connected == 1) return 1;
  return 0;
}

uint32_t* DelayField(ConnectionBlock* block, int kind) {
  switch (kind) {
    case IF_IEEE1284: return &block->delayIeee1284;
    case IF_IEEE1394: return &block->delayIeee1394;
    case IF_USB: return &block->delayUsb;
    case IF_TCPIP: return &block->delayTcpip;
    case IF_RS232C: return &block->delayRs232c;
    default: return &block->delayNone;
  }
}
