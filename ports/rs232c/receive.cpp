#include "ports/rs232c/rs232c.h"

// Received character, CTS, DSR, RLSD, error and ring.
const DWORD PORT_EVENTS = EV_RXCHAR | EV_CTS | EV_DSR | EV_RLSD | EV_ERR | EV_RING;

const DWORD STILL_ARRIVING_MS = 50;  // bytes came on the last step; more may be on their way

static Word eventsUnsupported;  // the platform refuses the event wait: poll the queue instead
static Word justRead;

// The count waiting in the input queue; 0 when the port fails (the line dropped).
static int Queued(DWORD* count) {
  COMSTAT status = {};
  if (!ClearCommError(Port.device, &Port.commErrors, &status)) return 0;
  *count = status.cbInQue;
  return 1;
}

// Waits for a port event, at most one receive interval. Where the platform has no event
// wait (Wine), the interval itself is the wait, so data arrives at least once per
// interval; while bytes keep coming the queue is looked at again soon.
static void AwaitPortEvent() {
  DWORD interval = (DWORD)Ports[IF_RS232C].receiveTimes, events = 0, ignored;
  if (!eventsUnsupported && SetCommMask(Port.device, PORT_EVENTS) &&
      (WaitCommEvent(Port.device, &events, &Port.event) || GetLastError() == ERROR_IO_PENDING)) {
    WaitForSingleObject(Port.event.hEvent, interval);
    if (!HasOverlappedIoCompleted(&Port.event)) CancelIo(Port.device);
    GetOverlappedResult(Port.device, &Port.event, &ignored, TRUE);
    return;
  }
  if (GetLastError() == ERROR_NOT_SUPPORTED) eventsUnsupported = 1;
  ReceivePause(justRead ? STILL_ARRIVING_MS : interval);
}

// One read step: what is waiting, up to the buffer's size, at once; the rest on the next
// step without a wait, so that nothing stays queued for want of a later event.
static int ReadStep(unsigned char* buffer, int size) {
  DWORD count = 0, got = 0;
  if (!Queued(&count)) return -1;
  if (count == 0) {
    AwaitPortEvent();
    if (Ports[IF_RS232C].receiveRun != 1) return 0;
    if (!Queued(&count)) return -1;
    justRead = 0;
    if (count == 0) return 0;
  }
  OVERLAPPED* o = &Port.read;
  o->Offset = o->OffsetHigh = 0;
  DWORD want = count < (DWORD)size ? count : (DWORD)size;
  if (!ReadFile(Port.device, buffer, want, NULL, o) && GetLastError() != ERROR_IO_PENDING) return -1;
  WaitForSingleObject(o->hEvent, 5000);
  if (!HasOverlappedIoCompleted(o)) CancelIo(Port.device);
  if (!GetOverlappedResult(Port.device, o, &got, TRUE)) return -1;
  justRead = got > 0;
  return (int)got;
}

static void Wake() { SetEvent(Port.event.hEvent); }

const Receiver Rs232cReceiver = {IF_RS232C, ReadStep, Wake};
