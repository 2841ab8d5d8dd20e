// The port's reads and writes. Writes go through one overlapped record, serialised by
// the port mutex (the send job holds it; a direct write takes it). Reads go through
// another, under the port mutex too: the receive thread's, or while a job holds the port,
// the job's. Every read wait is bounded: a printer that never answers costs a read its
// bound, never a frozen job, window or receive thread.
#include "ports/ieee1284/ieee1284.h"
#include "platform/device.h"
#include "send/frame.h"

static OVERLAPPED writeRecord;
static HeldRead reading;

static HANDLE NewEvent() { return CreateEventA(NULL, TRUE, FALSE, NULL); }

static void CloseEvent(HANDLE* event) {
  if (*event) CloseHandle(*event);
  *event = NULL;
}

int Ieee1284IoOpen() {
  writeRecord.hEvent = NewEvent();
  if (writeRecord.hEvent && HeldReadOpen(&reading)) return 1;
  DWORD error = GetLastError();
  Ieee1284IoClose();
  SetLastError(error);
  return 0;
}

void Ieee1284IoClose() {
  HeldReadClosed(&reading);
  CloseEvent(&writeRecord.hEvent);
}

// Cancels on the thread that started the write (the only cancel that works everywhere)
// and lets the cancellation complete, so the record and bytes are free again.
static void CancelWrite() {
  DWORD got = 0;
  CancelIo(Ieee1284Port);
  GetOverlappedResult(Ieee1284Port, &writeRecord, &got, TRUE);
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


static int Read(unsigned char* buffer, int size, DWORD ms) { return HeldReadStep(&reading, Ieee1284Port, buffer, size, ms); }

static void Wake() { HeldReadWake(&reading); }

static const Receiver Ieee1284Receiver = {IF_IEEE1284, Read, Wake, NULL, 0, 1};

const PieceWriter Ieee1284Writer = {IF_IEEE1284, StartWrite, WaitWrite, CancelWrite, NULL, &Ieee1284Receiver,
                                    2, ERROR_TIMEOUT, {ERROR_BUSY, ERROR_NOT_READY}};

int Ieee1284BlockSender(ConnectionBlock* block, int counter) { return BlockSenderFrame(&Ieee1284Writer, block, counter); }

int Ieee1284DirectWrite(const unsigned char* bytes, int length) { return DirectWriteFrame(&Ieee1284Writer, bytes, length); }

int Ieee1284StartReceiving() { return StartReceiving(&Ieee1284Receiver); }
