// The USB data transfers: reads and writes on the published pipes with completion
// routines, completed inside alertable waits of the thread that started them. A transfer
// never outlives its wait: whoever gives up on one cancels it and waits for its completion
// routine, so no routine writes into memory or through a handle that is gone. Before the
// access layer swaps or closes the pipes it holds the pipe gate; transfers then give up
// what they have pending and start nothing until the gate opens again.
#include "ports/usb/usb.h"
#include "common/ui.h"

#include <cstring>
#include "send/engine.h"
#include "send/frame.h"
#include "terminal/log.h"

BOOL(WINAPI* UsbWriteStart)(HANDLE, LPCVOID, DWORD, LPOVERLAPPED, LPOVERLAPPED_COMPLETION_ROUTINE) = WriteFileEx;

const DWORD GATE_WAIT_MS = 3000;
const DWORD DRAIN_MS = 1000;
static volatile LONG gateHeld, transfersPending;

static void HoldPipes() {
  InterlockedExchange(&gateHeld, 1);
  for (DWORD start = GetTickCount(); transfersPending > 0 && GetTickCount() - start < GATE_WAIT_MS;) Sleep(1);
}

static void ReleasePipes() { InterlockedExchange(&gateHeld, 0); }

static struct GateSetup {
  GateSetup() { UsbPipeGate = {HoldPipes, ReleasePipes}; }
} gateSetup;

// One transfer of the calling thread. `hEvent` carries the count, as completion-routine
// I/O leaves that field to the caller.
struct Transfer {
  OVERLAPPED overlapped;
  volatile LONG done;
  DWORD error;
};

static VOID CALLBACK Completed(DWORD error, DWORD count, LPOVERLAPPED overlapped) {
  Transfer* t = CONTAINING_RECORD(overlapped, Transfer, overlapped);
  t->overlapped.hEvent = (HANDLE)(uintptr_t)count;
  t->error = error;
  t->done = 1;
}

// Joins the transfers; 0 while the gate is held (the caller tries again later).
static int EnterTransfer() {
  InterlockedIncrement(&transfersPending);
  if (!gateHeld) return 1;
  InterlockedDecrement(&transfersPending);
  return 0;
}

static int Wait(Transfer* t, DWORD ms) {
  SleepEx(ms, TRUE);
  return t->done;
}

// Cancels what is pending and waits for its completion routine.
static void Drain(Transfer* t, HANDLE pipe) {
  if (!t->done) CancelIo(pipe);
  for (DWORD start = GetTickCount(); !t->done && GetTickCount() - start < DRAIN_MS;) SleepEx(10, TRUE);
  InterlockedDecrement(&transfersPending);
}

static DWORD Count(const Transfer* t) { return (DWORD)(uintptr_t)t->overlapped.hEvent; }

// ---- Writing: one write at a time, from the send thread or the window's thread.

static Transfer writing;
static HANDLE writingPipe;
static Word circuitBoxDue;

static void StartFailureLines(int error) {
  if (Ports[IF_USB].sending == 1) {
    if (error == 234) LogMessage("USB:(%d)<ERROR> Data Send NG. (Overflow) [ErrNo=%d]", (int)SendCounter, error);
    if (error == 1784 || error == 8)
      LogMessage("USB:(%d)<ERROR> Data Send NG. (Unsettled asynchronous I/O remains in large quantities.) [ErrNo=%d]",
                 (int)SendCounter, error);
  }
  Ports[IF_USB].receiveRun = 0;
  circuitBoxDue = 1;
}

static int StartWrite(const unsigned char* bytes, uint32_t length, int* error) {
  for (DWORD start = GetTickCount(); !EnterTransfer();) {
    if (GetTickCount() - start > GATE_WAIT_MS) {
      *error = ERROR_INVALID_HANDLE;
      StartFailureLines(*error);
      return 0;
    }
    Sleep(10);
  }
  memset(&writing, 0, sizeof writing);
  writingPipe = UsbWritePipe;
  if (UsbWriteStart(writingPipe, bytes, length, &writing.overlapped, Completed)) return 1;
  *error = (int)GetLastError();
  writing.done = 1;
  InterlockedDecrement(&transfersPending);
  StartFailureLines(*error);
  return 0;
}

static void CancelWrite() {
  if (!writingPipe) return;
  Drain(&writing, writingPipe);
  writingPipe = NULL;
}

// While a reopen holds the gate the write is given up and then started again on the new
// pipe; at a disconnection it stays "pending" for the frame, which gives it up without a word.
static int WaitWrite(DWORD ms, uint32_t* written, int* error) {
  if (Wait(&writing, ms) || (gateHeld && Ports[IF_USB].connected == 1)) {
    CancelWrite();
    *written = Count(&writing);
    if (!writing.error || writing.error == ERROR_OPERATION_ABORTED) return 1;
    *error = (int)writing.error;
    Ports[IF_USB].receiveRun = 0;
    circuitBoxDue = 1;
    return -1;
  }
  return 0;
}

static const PieceWriter usbWriter = {IF_USB, StartWrite, WaitWrite, CancelWrite, NULL, NULL, 0, ERROR_TIMEOUT, {0, 0}};

static void ShowDueCircuitBox() {
  if (!circuitBoxDue) return;
  circuitBoxDue = 0;
  CircuitErrorBox();
}

const DWORD JOB_END_POLL_MS = 50;

// The printer is asked whether it has finished the job until it says so, for as long as
// the job may go on: Stop, job cancel, disconnection and the time-out end the asking.
static int AwaitJobEnd(const ConnectionBlock* block) {
  DWORD start = GetTickCount();
  int result = 1;
  while (GetJobEndCheck == 1 && result == 1) {
    if (JobAskedToEnd() || Ports[IF_USB].connected != 1) {
      result = 0;
    } else if (TimeOutOn == 1 && GetTickCount() - start > block->timeOut) {
      LogMessage("USB:<ERROR>Send Data Time Out.");
      result = 0;
    } else {
      int answer = UsbServices.jobEndQuery ? UsbServices.jobEndQuery() : -1;
      if (answer < 0) result = 0;
      if (answer <= 0) break;
      StatusPart3Update("GET_JOB_END RETRY");
      JobPause(JOB_END_POLL_MS);
    }
  }
  StatusPart3Update("                 ");
  return result;
}

int UsbBlockSender(ConnectionBlock* block, int counter) {
  int sent = BlockSenderFrame(&usbWriter, block, counter);
  ShowDueCircuitBox();
  if (sent && BytesSent >= block->fileSize) sent = AwaitJobEnd(block);
  return sent;
}

int UsbDirectWrite(const unsigned char* bytes, int length) {
  int done = DirectWriteFrame(&usbWriter, bytes, length);
  ShowDueCircuitBox();
  return done;
}

// ---- Receiving, on the receive thread.

static Transfer reading;
static unsigned char readBuffer[RECEIVE_CHUNK];

static int StillReading() { return Ports[IF_USB].connected == 1 && !gateHeld; }

// A failure of the receive side ends a running job as a Stop would; the job itself lets go
// of its write and says so.
static void EndReceiveSide() {
  Ports[IF_USB].receiveRun = 0;
  if (Ports[IF_USB].sending == 1) RequestJobEnd();
}

static int ReceiveOnce(unsigned char* buffer, int size, DWORD ms) {
  if (!EnterTransfer()) return 0;
  memset(&reading, 0, sizeof reading);
  HANDLE pipe = UsbReadPipe;
  if (!ReadFileEx(pipe, readBuffer, sizeof readBuffer, &reading.overlapped, Completed)) {
    DWORD error = GetLastError();
    InterlockedDecrement(&transfersPending);
    if (!StillReading()) return 0;
    LogMessage("USB:<ERROR> Rcv circuit Error. [ErrNo=%ld]", (long)error);
    EndReceiveSide();
    return -1;
  }
  if (StillReading()) Wait(&reading, ms);
  Drain(&reading, pipe);
  int count = reading.error && reading.error != ERROR_OPERATION_ABORTED ? 0 : (int)Count(&reading);
  if (count > size) count = size;
  memcpy(buffer, readBuffer, count);
  return count;
}

// Nothing is read while the printer's status says it has nothing to say.
static int PrinterHasData() {
  unsigned char answer[4];
  if (UsbAccessReadStatus(UsbBlock->usbHandle, answer) == 0) return answer[0] == 1;
  if (Ports[IF_USB].connected != 1) return 0;
  AppendDisplayLine("USB Status Read circuit Error !!");
  EndReceiveSide();
  return 0;
}

static int UsbRead(unsigned char* buffer, int size, DWORD ms) {
  if (UsbBlock->usbHandle == INVALID_HANDLE_VALUE) {
    AppendDisplayLine("Error:Port not opened.");
    Ports[IF_USB].receiveRun = 0;
    return 0;
  }
  if (UsbStatusCommand == 1 && !PrinterHasData()) return 0;
  int count = ReceiveOnce(buffer, size, ms);
  if (Ports[IF_USB].connected == 1 && MibReferCheck == 1 && UsbServices.mibReferCycle) UsbServices.mibReferCycle();
  return count;
}

static const Receiver usbReceiver = {IF_USB, UsbRead, NULL, NULL, 0, 0};

int UsbStartReceiving() {
  if (Ports[IF_USB].receiveOn != 1) return 1;
  return StartReceiving(&usbReceiver);
}

// The job and the receive thread let go of the pipes; a write still pending is given up
// through the gate, which close holds as well.
void UsbStopTransfers() {
  EndPortUse(IF_USB, 1);
  HoldPipes();
  ReleasePipes();
}
