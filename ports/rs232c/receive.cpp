#include "ports/rs232c/rs232c.h"

// Received character, CTS, DSR, RLSD, error and ring.
const DWORD PORT_EVENTS = EV_RXCHAR | EV_CTS | EV_DSR | EV_RLSD | EV_ERR | EV_RING;

const DWORD QUEUE_LOOK_MS = 2;  // how often the queue is looked at while an answer arrives

static Word eventsUnsupported;  // the platform refuses the event wait: poll the queue instead

// The count waiting in the input queue; 0 when the port fails (the line dropped).
static int Queued(DWORD* count) {
  COMSTAT status = {};
  if (!ClearCommError(Port.device, &Port.commErrors, &status)) return 0;
  *count = status.cbInQue;
  return 1;
}

// Waits for a port event, at most `ms`. Where the platform has no event wait (Wine), the
// bound itself is the wait.
static void AwaitPortEvent(DWORD ms) {
  DWORD events = 0, ignored;
  if (!eventsUnsupported && SetCommMask(Port.device, PORT_EVENTS) &&
      (WaitCommEvent(Port.device, &events, &Port.event) || GetLastError() == ERROR_IO_PENDING)) {
    WaitForSingleObject(Port.event.hEvent, ms);
    if (!HasOverlappedIoCompleted(&Port.event)) CancelIo(Port.device);
    GetOverlappedResult(Port.device, &Port.event, &ignored, TRUE);
    return;
  }
  if (GetLastError() == ERROR_NOT_SUPPORTED) eventsUnsupported = 1;
  ReceivePause(ms);
}

// What is waiting, up to the buffer's size; the queue is looked at for up to `ms` until
// bytes are there.
static int ReadQueued(unsigned char* buffer, int size, DWORD ms) {
  DWORD count = 0, got = 0;
  for (DWORD start = GetTickCount();;) {
    if (!Queued(&count)) return -1;
    if (count || GetTickCount() - start >= ms || !ReceivePause(QUEUE_LOOK_MS)) break;
  }
  if (count == 0) return 0;
  OVERLAPPED* o = &Port.read;
  o->Offset = o->OffsetHigh = 0;
  DWORD want = count < (DWORD)size ? count : (DWORD)size;
  if (!ReadFile(Port.device, buffer, want, NULL, o) && GetLastError() != ERROR_IO_PENDING) return -1;
  WaitForSingleObject(o->hEvent, 5000);
  if (!HasOverlappedIoCompleted(o)) CancelIo(Port.device);
  if (!GetOverlappedResult(Port.device, o, &got, TRUE)) return -1;
  return (int)got;
}

static void Wake() { SetEvent(Port.event.hEvent); }

const Receiver Rs232cReceiver = {IF_RS232C, ReadQueued, Wake, AwaitPortEvent, 0, 0};
