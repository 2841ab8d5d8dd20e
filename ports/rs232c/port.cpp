#include "ports/rs232c/rs232c.h"
#include "send/engine.h"
#include "terminal/log.h"

SerialPort Port = {INVALID_HANDLE_VALUE, 0, {}, {}, {}};
char Rs232cPortPath[260];
LineChoice Rs232cLine;

// The platform record's fields the line choices touch, and their names in the line state.
#define LINE_FIELDS(X)                                                                                    \
  X(BaudRate, baudRate) X(ByteSize, byteSize) X(Parity, parity) X(StopBits, stopBits) X(fBinary, binary)   \
  X(fParity, parityCheck) X(fOutxCtsFlow, outxCtsFlow) X(fOutxDsrFlow, outxDsrFlow)                         \
  X(fDsrSensitivity, dsrSensitivity) X(fDtrControl, dtrControl) X(fRtsControl, rtsControl)                  \
  X(fTXContinueOnXoff, txContinueOnXoff) X(fOutX, outX) X(fInX, inX) X(fNull, nullStrip) X(XonChar, xonChar) \
  X(XoffChar, xoffChar)

static void ToLineState(const DCB& dcb, LineState* s) {
#define TAKE(platform, own) s->own = dcb.platform;
  LINE_FIELDS(TAKE)
}

static void FromLineState(const LineState& s, DCB* dcb) {
#define GIVE(platform, own) dcb->platform = s.own;
  LINE_FIELDS(GIVE)
}

// 0 with the system error when the port refuses the state: a port called open must run
// with the line settings the user chose, as far as its capabilities allow.
static int SetUpLine(HANDLE device, DWORD* error) {
  COMMPROP caps = {};
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommProperties(device, &caps) || !GetCommState(device, &dcb)) {
    *error = GetLastError();
    return 0;
  }
  dcb.DCBlength = sizeof dcb;
  LineState state;
  ToLineState(dcb, &state);
  ConfigureLine(Rs232cLine, {caps.dwSettableBaud, caps.wSettableData, caps.wSettableStopParity}, &state);
  FromLineState(state, &dcb);
  if (!SetCommState(device, &dcb)) {
    *error = GetLastError();
    return 0;
  }
  ClearCommError(device, &Port.commErrors, NULL);
  return 1;
}

// COM10 and up open only by the "\\.\" form; the user's name stays as it was typed.
static HANDLE OpenDevice(DWORD* error) {
  char path[sizeof Rs232cPortPath + 4] = "\\\\.\\";
  lstrcatA(path, strncmp(Rs232cPortPath, "\\\\.\\", 4) == 0 ? Rs232cPortPath + 4 : Rs232cPortPath);
  HANDLE device = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, NULL);
  *error = GetLastError();
  return device;
}

// The events live as long as the process: a thread that has not yet seen the port close
// may still wait on one.
static int MakeEvents() {
  OVERLAPPED* records[] = {&Port.read, &Port.write, &Port.event};
  for (OVERLAPPED* o : records)
    if (!o->hEvent && !(o->hEvent = CreateEventA(NULL, FALSE, FALSE, NULL))) return 0;
  return 1;
}

static int OpenFailed(DWORD error) {
  LogMessage("RS232C:<ERROR>Port open NG.[ErrorNo=%d]", (int)error);
  return 0;
}

int Rs232cOpen() {
  if (!OpenPreamble(IF_RS232C, Rs232cPortPath)) return 0;
  DWORD error;
  HANDLE device = OpenDevice(&error);
  if (device == INVALID_HANDLE_VALUE) return OpenFailed(error);
  if (!MakeEvents()) error = GetLastError();
  else if (SetUpLine(device, &error)) {
    Port.device = device;
    Ports[IF_RS232C].connected = 1;
    return 1;
  }
  CloseHandle(device);
  return OpenFailed(error);
}

void Rs232cClose() {
  EndPortUse(IF_RS232C, 1);
  Ports[IF_RS232C].sending = 0;
  HANDLE device = Port.device;
  Port.device = INVALID_HANDLE_VALUE;
  if (device != INVALID_HANDLE_VALUE) CloseHandle(device);
}
