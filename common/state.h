// Process-wide state shared by the window, the send thread and the drivers' threads.
// Cross-thread values are 32-bit words written whole by one thread and polled by others.
#pragma once
#include <windows.h>
#include <stdint.h>

typedef volatile int Word;

enum InterfaceKind { IF_NONE = 0, IF_IEEE1284 = 1, IF_RS232C = 2, IF_USB = 3, IF_TCPIP = 4, IF_IEEE1394 = 5, IF_KINDS = 6 };

// Connection and settings words of one interface kind.
struct PortState {
  Word connected;
  Word sending;      // 0 idle, 1 a job runs, 2 the last job ended (USB returns to 0)
  Word receiveOn;    // settings "receive on": bidirectional communication
  Word receiveRun;
  int receiveTimes;  // settings "receive times", ms
  int interval;      // settings "interval": delay between blocks, ms
};

// The 280-byte record handed to every driver and to the send thread.
struct ConnectionBlock {
  uint32_t size;
  HANDLE usbHandle;
  char printerName[80];
  char portName[80];
  unsigned char* deviceIdBuffer;
  uint32_t deviceIdLength;
  uint32_t deviceIdTimeLimit;
  uint64_t bytesRead;      // of the current file now in the file buffer: the whole file or one piece
  uint64_t fileSize;
  uint32_t reserved;
  uint32_t timeOut;        // ms
  uint32_t blockSizeValue;
  uint32_t numberOfTimes;
  uint32_t delayIeee1284;
  uint32_t delayIeee1394;
  uint32_t delayUsb;
  uint32_t delayTcpip;
  uint32_t delayRs232c;
  uint32_t delayNone;
  uint32_t fileCount;
  uint32_t wait;           // s
};
const uint32_t CONNECTION_BLOCK_SIZE = 280;
static_assert(sizeof(ConnectionBlock) <= CONNECTION_BLOCK_SIZE, "connection block outgrew its record");

uint32_t* DelayField(ConnectionBlock* block, int kind);

extern HINSTANCE hInst;
extern HWND hMainWnd, hToolbar, hLogList, hStatusBar;
extern HMENU hMainMenu;

extern Word ActiveInterface;        // '0' .. '5'
extern Word CurrentInterfaceKind;   // 0 .. 5, kept after disconnection
extern PortState Ports[IF_KINDS];
extern Word TcpState;               // 0 idle, 1 connect issued or connected, 2 re-connecting
extern Word StopRequest;            // 3 asks the running job to stop
extern Word SendCounter;
extern Word FilesSent, FilesTotal;
extern volatile uint64_t BytesSent;  // of the current file; written by the send thread only
extern Word StringCheckFlag;
extern Word CheckState;             // PJL response check state 1..7
extern Word PreservationFlag;
extern BYTE MibReferCheck, GetJobEndCheck;
extern Word UsbVendorFlag;          // the USB printer takes vendor requests
extern Word MibRequestCounter;      // 1 to 255: the automatic MIB cycle's last object id word
extern HANDLE PortMutex;
extern HANDLE SendThreadHandle, ReceiveThreadHandle;
extern HGLOBAL ConnectionBlockMemory;

const char* InterfaceName(int kind);  // "" for none
int ActiveKind();                      // ActiveInterface as a number
int AnyConnected();
