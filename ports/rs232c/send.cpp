#include "ports/rs232c/rs232c.h"

// Reported by a direct write that gave up on a printer holding XOFF or CTS low, as the
// platform reports a serial write that ran out of time.
const int WRITE_TIMED_OUT = ERROR_SEM_TIMEOUT;

static int StartWrite(const unsigned char* bytes, uint32_t length, int* error) {
  OVERLAPPED* o = &Port.write;
  o->Offset = o->OffsetHigh = 0;
  if (WriteFile(Port.device, bytes, length, NULL, o) || GetLastError() == ERROR_IO_PENDING) return 1;
  *error = (int)GetLastError();
  return 0;
}

static int WaitWrite(DWORD ms, uint32_t* written, int* error) {
  if (WaitForSingleObject(Port.write.hEvent, ms) == WAIT_TIMEOUT) return 0;
  DWORD count = 0;
  if (!GetOverlappedResult(Port.device, &Port.write, &count, FALSE)) {
    *error = (int)GetLastError();
    return -1;
  }
  *written = count;
  return 1;
}

// Only the thread that started the write can cancel it here, and it is always that one.
static void CancelWrite() {
  CancelIo(Port.device);
  if (!HasOverlappedIoCompleted(&Port.write)) WaitForSingleObject(Port.write.hEvent, 1000);
}

// A printer holding its line leaves a write pending; a port that refuses writes outright
// has lost its line, and the file ends with the write error.
const PieceWriter Rs232cWriter = {IF_RS232C, StartWrite, WaitWrite, CancelWrite, NULL, NULL, 2, WRITE_TIMED_OUT,
                                  {0, 0}};
