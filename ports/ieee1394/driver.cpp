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
static OVERLAPPED writeIo, readIo;
static HANDLE wakeEvent;

const DWORD INLINE_READ_MS = 5;     // a block sender's look for an answer between pieces
const DWORD RECEIVE_READ_MS = 100;  // the receive thread's hold of the port per read
const DWORD CANCEL_MS = 1000;
const DWORD CLOSE_WAIT_MS = 3000;   // for a running job to notice the port is going

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

// Cancelled I/O completes before the buffer is let go; a read that completed meanwhile
// keeps what it read.
static int CancelAndCollect(OVERLAPPED* io, uint32_t* count) {
  CancelIo(Ieee1394Handle);
  int error = 0;
  int state = Completed(io, CANCEL_MS, count, &error);
  if (state == 0) return -1;
  if (state < 0) *count = 0;
  return error && error != ERROR_OPERATION_ABORTED ? -1 : 1;
}

static void CancelWrite() {
  uint32_t ignored;
  CancelAndCollect(&writeIo, &ignored);
}

// Up to `size` bytes the printer has sent, waiting at most `ms`; zero bytes removed.
// -1 when the read failed. The read lands in the driver's own buffer, which outlives a
// read that would not cancel in time.
static int ReadAnswer(unsigned char* into, int size, DWORD ms) {
  static unsigned char buffer[RECEIVE_CHUNK];
  if (size > RECEIVE_CHUNK) size = RECEIVE_CHUNK;
  memset(buffer, 0, size);
  if (!ReadFile(Ieee1394Handle, buffer, size, NULL, &readIo) && GetLastError() != ERROR_IO_PENDING) return -1;
  HANDLE events[2] = {readIo.hEvent, wakeEvent};
  uint32_t got = 0;
  int error = 0;
  int state = WaitForMultipleObjects(2, events, FALSE, ms) == WAIT_OBJECT_0 ? Completed(&readIo, 0, &got, &error)
                                                                              : CancelAndCollect(&readIo, &got);
  if (state < 0) return -1;
  int kept = ZeroFilter(buffer, (int)got);
  memcpy(into, buffer, kept);
  return kept;
}

static int ReadBetweenPieces(ConnectionBlock*) {
  static unsigned char buffer[RECEIVE_CHUNK];
  if (Ports[IF_IEEE1394].receiveOn != 1 || Ports[IF_IEEE1394].receiveRun != 1) return 1;
  int got = ReadAnswer(buffer, sizeof buffer, INLINE_READ_MS);
  if (got > 0) ReceivedDataSink(IF_IEEE1394, buffer, got);
  return 1;
}

// While a job or a direct write holds the port this poll reads nothing: the job's block
// sender reads in its place.
static int ReceiveRead(unsigned char* buffer, int size) {
  if (!ReceivePause(Ports[IF_IEEE1394].receiveTimes)) return 0;
  if (WaitForSingleObject(PortMutex, 0) != WAIT_OBJECT_0) return 0;
  int got = ReadAnswer(buffer, size, RECEIVE_READ_MS);
  ReleaseMutex(PortMutex);
  return got;
}

static void WakeReader() { SetEvent(wakeEvent); }

static const PieceWriter writer = {IF_IEEE1394, StartWrite, WaitWrite, CancelWrite, ReadBetweenPieces, NULL, 2,
                                   ERROR_TIMEOUT, {ERROR_BUSY, ERROR_NOT_READY}};
static const Receiver receiver = {IF_IEEE1394, ReceiveRead, WakeReader};

static int CreateEvents() {
  HANDLE* events[] = {&writeIo.hEvent, &readIo.hEvent, &wakeEvent};
  for (HANDLE* event : events)
    if (!*event && !(*event = CreateEventA(NULL, TRUE, FALSE, NULL))) return 0;
  ResetEvent(wakeEvent);
  return 1;
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

// The reader ends first and a running job lets go of the port before the handle goes, so
// nothing reads or writes a closed handle and no one reports the close as a circuit error.
void Ieee1394Close() {
  Ports[IF_IEEE1394].connected = 0;
  StopReceiving(IF_IEEE1394);
  for (DWORD start = GetTickCount(); Ports[IF_IEEE1394].sending == 1 && GetTickCount() - start < CLOSE_WAIT_MS;) {
    MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_SENDMESSAGE);  // the job's lines reach the log through us
    MSG msg;
    PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  Ports[IF_IEEE1394].sending = 0;
  if (Ieee1394Handle != INVALID_HANDLE_VALUE) {
    CloseHandle(Ieee1394Handle);
    Ieee1394Handle = INVALID_HANDLE_VALUE;
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
