#include "ports/ieee1284/ieee1284.h"

#include <string.h>
#include <string>
#include <vector>
#include "common/ui.h"
#include "platform/device.h"
#include "ports/ieee1284/device_id.h"
#include "send/engine.h"
#include "send/frame.h"
#include "terminal/log.h"

char Ieee1284PortName[260], Ieee1284Protocol[260];
Word Ieee1284ModeChoice;
char Ieee1284ModeText[12] = "    ";
HANDLE Ieee1284Port = INVALID_HANDLE_VALUE;

// The printer's device ID as read at connect, or the text of why it could not be read.
static std::string deviceId;
static int deviceIdFailed;

static int Ieee1284Init(ConnectionBlock*) {
  lstrcpyA(Ieee1284PortName, "\\\\.\\KELVLPT1");
  lstrcpyA(Ieee1284Protocol, "ECP");
  Ieee1284ModeChoice = 0;
  deviceId.clear();
  return 1;
}

static void Ieee1284Exit(ConnectionBlock*) {
  if (Ieee1284Port != INVALID_HANDLE_VALUE) Ieee1284Close(0);
  Ieee1284ModeChoice = 0;
  deviceId.clear();
}

static int Control(DWORD code, void* in, DWORD inLength, void* out, DWORD outLength, DWORD* returned) {
  DWORD dummy;
  return Device.DeviceIoControl(Ieee1284Port, code, in, inLength, out, outLength, returned ? returned : &dummy, NULL);
}

static int SetMode(DWORD mode) { return Control(KELV_SET_MODE, &mode, sizeof mode, NULL, 0, NULL); }

static int ModeSetup() {
  lstrcpyA(Ieee1284ModeText, "    ");
  int set = 0;
  if (Ieee1284ModeChoice == 0) {
    lstrcpyA(Ieee1284ModeText, "Mode = ECP ");
    set = SetMode(3);
  }
  if (!set) {
    lstrcpyA(Ieee1284ModeText, "Mode = COMP");
    if (!SetMode(2)) {
      DWORD error = GetLastError();
      lstrcpyA(Ieee1284ModeText, "    ");
      LogMessage("IEEE1284:<ERROR>Mord set NG.[ErrorNo=%d]", (int)error);
      return 0;
    }
  }
  DWORD length[8] = {1024};
  if (!Control(KELV_SET_BLOCK_LENGTH, length, sizeof length, NULL, 0, NULL)) {
    LogMessage("IEEE1284:<ERROR>Block Length set NG.[ErrorNo=%d]", (int)GetLastError());
    return 0;
  }
  return 1;
}

int Ieee1284Open() {
  if (!OpenPreamble(IF_IEEE1284, Ieee1284Protocol[0] ? Ieee1284PortName : "")) return 0;
  if (!Ieee1284IoOpen()) {
    LogMessage("IEEE1284:<ERROR>CreateEvent NG.[ErrorNo=%d]", (int)GetLastError());
    return 0;
  }
  Ieee1284Port = CreateFileA(Ieee1284PortName, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED, NULL);
  if (Ieee1284Port == INVALID_HANDLE_VALUE) {
    LogMessage("IEEE1284:<ERROR>Port open NG.[ErrorNo=%d]", (int)GetLastError());
    Ieee1284IoClose();
    return 0;
  }
  if (!ModeSetup()) {
    CloseHandle(Ieee1284Port);
    Ieee1284Port = INVALID_HANDLE_VALUE;
    Ieee1284IoClose();
    return 0;
  }
  Ports[IF_IEEE1284].connected = 1;
  return 1;
}

// The ID is held with a NUL beyond the size the printer reports, and a size beyond any
// plausible ID is refused rather than allocated.
static void ReadDeviceId() {
  deviceIdFailed = 1;
  deviceId = "GetDeviceID NG.";
  DWORD size = 0, got = 0;
  if (!Control(KELV_QUERY_ID_SIZE, NULL, 0, &size, sizeof size, &got) || got != sizeof size || size > DEVICE_ID_LIMIT)
    return;
  std::vector<char> id(size + 1, '\0');
  if (!Control(KELV_QUERY_ID, &size, sizeof size, id.data(), size, &got)) return;
  deviceId.assign(id.data(), got < size ? got : size);
  deviceIdFailed = 0;
}

int Ieee1284DeviceIdDisplay() {
  if (deviceIdFailed) {
    AppendDisplayLine(deviceId.c_str());
    return 1;
  }
  for (const std::string& line : DeviceIdLines(deviceId.data(), deviceId.size())) AppendDisplayLine(line.c_str());
  return 1;
}

// The writer and the readers stop before the handle goes, so no I/O is left pending on a
// closed port.
void Ieee1284Close(int logLine) {
  EndPortUse(IF_IEEE1284, 1);
  Ports[IF_IEEE1284].sending = 0;
  if (Ieee1284Port != INVALID_HANDLE_VALUE) CloseHandle(Ieee1284Port);
  Ieee1284Port = INVALID_HANDLE_VALUE;
  Ieee1284IoClose();
  if (logLine) ConnectionLogMessage("IEEE1284:Port Close.");
}

static int Connect(HWND wnd) {
  if (Ieee1284Dialog(wnd) != 1) return 2;
  ReadDeviceId();
  StatusPart0Update();
  if (Ports[IF_IEEE1284].receiveOn == 1 && !Ieee1284StartReceiving()) return 0;
  return 1;
}

static int Ieee1284Command(HWND wnd, WPARAM, LPARAM, int action) {
  switch (action) {
    case ACTION_CONNECT: return Connect(wnd);
    case ACTION_DISCONNECT: Ieee1284Close(1); return 1;
    case ACTION_START_BLOCK: StartDriverSendThread(IF_IEEE1284, wnd); return 0;
  }
  return 0;
}

static const char* Ieee1284Detail() { return Ieee1284ModeText; }

const Driver Ieee1284Driver = {IF_IEEE1284,         Ieee1284Init,   Ieee1284Exit, Ieee1284Command, Ieee1284BlockSender,
                               Ieee1284DirectWrite, Ieee1284Detail, NULL,         NULL,            NULL,
                               NULL};
