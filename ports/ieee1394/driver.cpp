#include "ports/ieee1394/ieee1394.h"

#include <string.h>

#include "common/ui.h"
#include "platform/device.h"
#include "send/frame.h"
#include "terminal/log.h"

char Ieee1394PortName[260] = "LPT2";
HANDLE Ieee1394Handle = INVALID_HANDLE_VALUE;

// Every read and write happens under the port mutex, so one record for each direction
// is never used twice at a time. The wake event cuts a read wait short when receiving stops.
static OVERLAPPED writeIo;
static HeldRead reading;

const DWORD CANCEL_MS = 1000;

static int StartWrite(const unsigned char* bytes, uint32_t length, int* error) {
  if (Device.WriteFile(Ieee1394Handle, bytes, length, NULL, &writeIo) || GetLastError() == ERROR_IO_PENDING) return 1;
  *error = (int)GetLastError();
  return 0;
}

static int Completed(OVERLAPPED* io, DWORD ms, uint32_t* count, int* error) {
  if (WaitForSingleObject(io->hEvent, ms) != WAIT_OBJECT_0) return 0;
  DWORD done = 0;
  if (GetOverlappedResult(Ieee1394Handle, io, &done, FALSE)) {
    *count = done;
    return 1;
  }
  *error = (int)GetLastError();
  return -1;
}

static int WaitWrite(DWORD ms, uint32_t* written, int* error) { return Completed(&writeIo, ms, written, error); }

// The cancelled write completes before its bytes are let go.
static void CancelWrite() {
  uint32_t ignored;
  int error;
  CancelIo(Ieee1394Handle);
  Completed(&writeIo, CANCEL_MS, &ignored, &error);
}

// Up to `size` bytes the printer has sent, waiting at most `ms`; zero bytes removed.
static int ReadAnswer(unsigned char* into, int size, DWORD ms) {
  int got = HeldReadStep(&reading, Ieee1394Handle, into, size, ms);
  return got > 0 ? ZeroFilter(into, got) : got;
}

static void WakeReader() { HeldReadWake(&reading); }

static const Receiver receiver = {IF_IEEE1394, ReadAnswer, WakeReader, NULL, 0, 1};
static const PieceWriter writer = {IF_IEEE1394, StartWrite, WaitWrite, CancelWrite, NULL, &receiver, 2,
                                   ERROR_TIMEOUT, {ERROR_BUSY, ERROR_NOT_READY}};

static int CreateEvents() {
  if (!writeIo.hEvent) writeIo.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
  return writeIo.hEvent && HeldReadOpen(&reading);
}

int Ieee1394Open() {
  if (!OpenPreamble(IF_IEEE1394, Ieee1394PortName)) return 0;
  if (!CreateEvents()) {
    LogMessage("IEEE1394:<ERROR>CreateEvent NG.[ErrorNo=%lu]", GetLastError());
    return 0;
  }
  char path[272] = "\\\\.\\";
  lstrcatA(path, Ieee1394PortName);
  Ieee1394Handle = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, NULL);
  if (Ieee1394Handle == INVALID_HANDLE_VALUE) {
    LogMessage("IEEE1394:<ERROR>Port open NG.[ErrorNo=%lu]", GetLastError());
    return 0;
  }
  Ports[IF_IEEE1394].connected = 1;
  return 1;
}

// A running job lets go of the port and the reader ends before the handle goes, so nothing
// reads or writes a closed handle and no one reports the close as a circuit error.
void Ieee1394Close() {
  EndPortUse(IF_IEEE1394, 1);
  Ports[IF_IEEE1394].sending = 0;
  if (Ieee1394Handle != INVALID_HANDLE_VALUE) {
    CloseHandle(Ieee1394Handle);
    Ieee1394Handle = INVALID_HANDLE_VALUE;
    HeldReadClosed(&reading);
    ConnectionLogMessage("IEEE1394:Port Close.");
  }
}

static int Ieee1394Init(ConnectionBlock*) {
  lstrcpyA(Ieee1394PortName, "LPT2");
  return 1;
}

static void Ieee1394Exit(ConnectionBlock*) { Ieee1394Close(); }

static int Ieee1394Command(HWND wnd, WPARAM, LPARAM, int action) {
  switch (action) {
    case ACTION_CONNECT:
      if (Ieee1394Dialog(wnd) != 1) return 0;
      StatusPart0Update();
      return Ports[IF_IEEE1394].receiveOn == 1 ? StartReceiving(&receiver) : 1;
    case ACTION_DISCONNECT: Ieee1394Close(); return 1;
    case ACTION_START_BLOCK: return StartDriverSendThread(IF_IEEE1394, wnd);
  }
  return 0;
}

static int Ieee1394BlockSender(ConnectionBlock* block, int counter) { return BlockSenderFrame(&writer, block, counter); }
static int Ieee1394DirectWrite(const unsigned char* bytes, int length) { return DirectWriteFrame(&writer, bytes, length); }

const Driver Ieee1394Driver = {IF_IEEE1394, Ieee1394Init, Ieee1394Exit, Ieee1394Command, Ieee1394BlockSender,
                               Ieee1394DirectWrite, NULL, NULL, NULL, NULL, NULL};
