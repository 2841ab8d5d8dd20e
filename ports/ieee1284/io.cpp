// The port's reads and writes. Writes go through one overlapped record, serialised by
// the port mutex (the send job holds it; a direct write takes it). Each reader has its
// own record, buffer and event, and every read wait is bounded: a printer that never
// answers costs a read its bound, never a frozen job, window or receive thread.
#include "ports/ieee1284/ieee1284.h"
#include "platform/device.h"
#include "send/frame.h"

static OVERLAPPED writeRecord, sendPathRead, receiveRead;
static unsigned char sendPathBuffer[RECEIVE_CHUNK];
static HANDLE wakeEvent;  // set to end the receive thread's wait at once

static HANDLE NewEvent() { return CreateEventA(NULL, TRUE, FALSE, NULL); }

static void CloseEvent(HANDLE* event) {
  if (*event) CloseHandle(*event);
  *event = NULL;
}

int Ieee1284IoOpen() {
  writeRecord.hEvent = NewEvent();
  sendPathRead.hEvent = NewEvent();
  receiveRead.hEvent = NewEvent();
  wakeEvent = NewEvent();
  if (writeRecord.hEvent && sendPathRead.hEvent && receiveRead.hEvent && wakeEvent) return 1;
  DWORD error = GetLastError();
  Ieee1284IoClose();
  SetLastError(error);
  return 0;
}

void Ieee1284IoClose() {
  CloseEvent(&writeRecord.hEvent);
  CloseEvent(&sendPathRead.hEvent);
  CloseEvent(&receiveRead.hEvent);
  CloseEvent(&wakeEvent);
}

// Cancels on the thread that started the I/O (the only cancel that works everywhere)
// and lets the cancellation complete, so the record and buffer are free again.
static DWORD CancelAndCollect(OVERLAPPED* o) {
  DWORD got = 0;
  CancelIo(Ieee1284Port);
  if (!GetOverlappedResult(Ieee1284Port, o, &got, TRUE)) got = 0;
  return got;
}

static int StartWrite(const unsigned char* bytes, uint32_t length, int* error) {
  writeRecord.Offset = writeRecord.OffsetHigh = 0;
  ResetEvent(writeRecord.hEvent);
  if (Device.WriteFile(Ieee1284Port, bytes, length, NULL, &writeRecord) || GetLastError() == ERROR_IO_PENDING) return 1;
  *error = (int)GetLastError();
  return 0;
}

static int WaitWrite(DWORD ms, uint32_t* written, int* error) {
  if (WaitForSingleObject(writeRecord.hEvent, ms) != WAIT_OBJECT_0) return 0;
  DWORD got = 0;
  if (!GetOverlappedResult(Ieee1284Port, &writeRecord, &got, FALSE)) {
    *error = (int)GetLastError();
    return -1;
  }
  *written = got;
  return 1;
}

static void CancelWrite() { CancelAndCollect(&writeRecord); }

// One read, waiting at most `ms` (and not at all once the wake event is set); what came
// in before the bound is kept. A mutex given is released once the read is started. The
// count read, 0 for none, -1 when the read failed.
static int ReadBounded(OVERLAPPED* o, unsigned char* buffer, int size, DWORD ms, HANDLE mutex) {
  ResetEvent(o->hEvent);
  DWORD got = 0;
  BOOL done = ReadFile(Ieee1284Port, buffer, size, &got, o);
  DWORD error = done ? 0 : GetLastError();
  if (mutex) ReleaseMutex(mutex);
  if (done) return (int)got;
  if (error != ERROR_IO_PENDING) return -1;
  HANDLE events[2] = {o->hEvent, wakeEvent};
  if (WaitForMultipleObjects(2, events, FALSE, ms) != WAIT_OBJECT_0) return (int)CancelAndCollect(o);
  return GetOverlappedResult(Ieee1284Port, o, &got, FALSE) ? (int)got : -1;
}

// Between two pieces: whatever the printer has said by now, without waiting for more.
static int ReadBetweenPieces(ConnectionBlock*) {
  if (Ports[IF_IEEE1284].receiveOn != 1 || Ports[IF_IEEE1284].receiveRun != 1) return 1;
  int n = ReadBounded(&sendPathRead, sendPathBuffer, sizeof sendPathBuffer, 1, NULL);
  if (n > 0) ReceivedDataSink(IF_IEEE1284, sendPathBuffer, n);
  return 1;
}

const PieceWriter Ieee1284Writer = {IF_IEEE1284, StartWrite, WaitWrite, CancelWrite, ReadBetweenPieces, NULL,
                                    2, ERROR_TIMEOUT, {ERROR_BUSY, ERROR_NOT_READY}};

int Ieee1284BlockSender(ConnectionBlock* block, int counter) { return BlockSenderFrame(&Ieee1284Writer, block, counter); }

int Ieee1284DirectWrite(const unsigned char* bytes, int length) { return DirectWriteFrame(&Ieee1284Writer, bytes, length); }

// The receive thread pauses while a job holds the port (the job reads between pieces).
// It holds the port mutex only to start a read, so a direct write is refused only
// during a job, and waits for the read at most its receive interval.
static int ReceiveStep(unsigned char* buffer, int size) {
  DWORD interval = Ports[IF_IEEE1284].receiveTimes;
  DWORD taken = WaitForSingleObject(PortMutex, interval);
  if (taken != WAIT_OBJECT_0 && taken != WAIT_ABANDONED) return 0;
  int n = ReadBounded(&receiveRead, buffer, size, interval, PortMutex);
  ReceivePause(interval);
  return n;
}

static void Wake() { SetEvent(wakeEvent); }

static const Receiver Ieee1284Receiver = {IF_IEEE1284, ReceiveStep, Wake};

int Ieee1284StartReceiving() {
  ResetEvent(wakeEvent);
  return StartReceiving(&Ieee1284Receiver);
}
