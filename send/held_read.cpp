// A read that outlives the wait for it. A port shared by the job's writes and the reads of
// its answers cannot cancel a read that ran out of time: the platform's cancel takes every
// pending I/O of the thread on the handle, the job's write with it. So a read that did not
// complete stays pending, into its own buffer, and the next read step collects it,
// whichever thread takes that step; both hold the port mutex, so one read is outstanding.
#include "send/frame.h"
#include <string.h>

const DWORD CLOSE_COLLECT_MS = 1000;

int HeldReadOpen(HeldRead* r) {
  r->pending = 0;
  if (!r->io.hEvent) r->io.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
  if (!r->wake) r->wake = CreateEventA(NULL, TRUE, FALSE, NULL);
  if (r->wake) ResetEvent(r->wake);
  return r->io.hEvent && r->wake;
}

int HeldReadStep(HeldRead* r, HANDLE port, unsigned char* into, int size, DWORD ms) {
  DWORD got = 0;
  if (!r->pending) {
    r->io.Offset = r->io.OffsetHigh = 0;
    ResetEvent(r->io.hEvent);
    if (!ReadFile(port, r->buffer, sizeof r->buffer, NULL, &r->io) && GetLastError() != ERROR_IO_PENDING) return -1;
    r->pending = 1;
  }
  HANDLE events[2] = {r->io.hEvent, r->wake};
  if (WaitForMultipleObjects(2, events, FALSE, ms) != WAIT_OBJECT_0 && !HasOverlappedIoCompleted(&r->io)) return 0;
  r->pending = 0;
  if (!GetOverlappedResult(port, &r->io, &got, TRUE)) return GetLastError() == ERROR_OPERATION_ABORTED ? 0 : -1;
  int count = (int)got < size ? (int)got : size;
  memcpy(into, r->buffer, count);
  return count;
}

void HeldReadWake(HeldRead* r) {
  if (r->wake) SetEvent(r->wake);
}

void HeldReadClosed(HeldRead* r) {
  if (r->pending && r->io.hEvent) WaitForSingleObject(r->io.hEvent, CLOSE_COLLECT_MS);
  r->pending = 0;
}
