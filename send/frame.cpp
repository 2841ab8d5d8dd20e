#include "send/frame.h"
#include "send/engine.h"
#include "terminal/log.h"

DWORD DirectWritePatienceMs = 10000;

const DWORD WAIT_SLICE_MS = 50;  // how often a pending write looks at the stop request
const int BUSY_RETRIES = 20;
const DWORD BUSY_PAUSE_MS = 100;
const DWORD RECEIVER_STOP_MS = 3000;

static int Failed(int kind, int sending) {
  Ports[kind].sending = sending;
  return 0;
}

static int IsBusy(const PieceWriter* writer, int error) {
  for (int busy : writer->busyErrors)
    if (busy && busy == error) return 1;
  return 0;
}

static int TimedOut(int kind, const ConnectionBlock* block, DWORD lastProgress) {
  return TimeOutOn == 1 && Messages[kind].timeOut && GetTickCount() - lastProgress > block->timeOut;
}

// Waits for the started write of a block sender; -2 when it was given up (reported).
static int AwaitPiece(const PieceWriter* writer, const ConnectionBlock* block, DWORD lastProgress,
                      uint32_t* written, int* error) {
  int kind = writer->kind;
  for (;;) {
    int state = writer->wait(WAIT_SLICE_MS, written, error);
    if (state != 0) return state;
    if (StopRequest == 3 || Ports[kind].connected != 1) {
      writer->cancel();
      return -2;
    }
    if (TimedOut(kind, block, lastProgress)) {
      writer->cancel();
      LogMessage("%s", Messages[kind].timeOut);
      return -2;
    }
  }
}

// One piece: every byte out, or 0 after a write error, a time-out, a stop or a lost
// connection. Each byte is counted in bytes sent once, when the write that took it completes.
static int WritePiece(const PieceWriter* writer, ConnectionBlock* block, const unsigned char* bytes,
                      uint32_t length, int counter) {
  int kind = writer->kind, busy = 0;
  DWORD lastProgress = GetTickCount();
  for (uint32_t done = 0; done < length;) {
    int error = 0;
    uint32_t written = 0;
    int state = writer->start(bytes + done, length - done, &error) ? AwaitPiece(writer, block, lastProgress, &written, &error) : -1;
    if (state == -2) return Failed(kind, 2);
    if (state < 0 && IsBusy(writer, error) && busy++ < BUSY_RETRIES) {
      Sleep(BUSY_PAUSE_MS);
      continue;
    }
    if (state < 0) {
      LogMessage(BlockWriteMessage(kind, length), counter, error);
      PostMessageA(hMainWnd, WM_COMMAND, 0, 0);
      return Failed(kind, writer->sendingOnError);
    }
    done += written;
    BytesSent = BytesSent + written;
    if (written) busy = 0, lastProgress = GetTickCount();
    if (done == length) break;
    ShowSendProgress(block);
    if (StopRequest == 3) return Failed(kind, 2);
  }
  return 1;
}

int BlockSenderFrame(const PieceWriter* writer, ConnectionBlock* block, int counter) {
  int kind = writer->kind;
  if (BytesSent == 0 && writer->beginFile) writer->beginFile();
  const unsigned char* data = FileData;
  uint64_t total = block->bytesRead, size = BlockSizeBytes ? BlockSizeBytes : total;
  ShowSendProgress(block);
  for (uint64_t done = 0; done < total;) {
    uint32_t piece = (uint32_t)(total - done < size ? total - done : size);
    if (!WritePiece(writer, block, data + done, piece, counter)) return 0;
    done += piece;
    ShowSendProgress(block);
    if (StopRequest == 3) return Failed(kind, 2);
    if (BytesSent >= block->fileSize) break;
    PauseUnlessStopped(*DelayField(block, kind));
    if (StopRequest == 3) return Failed(kind, 2);
    if (done < total && writer->betweenPieces && !writer->betweenPieces(block)) return Failed(kind, 2);
  }
  return 1;
}

// 0 once the message loop was asked to end; the request is left for it.
static int KeepWindowResponsive() {
  MSG msg;
  while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage((int)msg.wParam);
      return 0;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 1;
}

// 1 when every byte went out; 0 with *error set, or with 0 when the connection went away.
static int WriteWithin(const PieceWriter* writer, const unsigned char* bytes, uint32_t length, int* error) {
  int onWindowThread = GetWindowThreadProcessId(hMainWnd, NULL) == GetCurrentThreadId();
  DWORD lastProgress = GetTickCount();
  for (uint32_t done = 0; done < length;) {
    uint32_t written = 0;
    if (!writer->start(bytes + done, length - done, error)) return 0;
    int state;
    while ((state = writer->wait(onWindowThread ? 10 : WAIT_SLICE_MS, &written, error)) == 0) {
      int alive = !onWindowThread || KeepWindowResponsive();
      if (!alive || Ports[writer->kind].connected != 1) {
        writer->cancel();
        *error = 0;
        return 0;
      }
      if (GetTickCount() - lastProgress > DirectWritePatienceMs) {
        writer->cancel();
        *error = writer->timeOutError;
        return 0;
      }
    }
    if (state < 0) return 0;
    done += written;
    if (written) lastProgress = GetTickCount();
  }
  return 1;
}

int DirectWriteFrame(const PieceWriter* writer, const unsigned char* bytes, int length) {
  static Word writing;  // the window's messages flow meanwhile; a key among them must wait its turn
  int kind = writer->kind;
  if (writing || WaitForSingleObject(PortMutex, 0) != WAIT_OBJECT_0) {
    LogMessage("%s", Messages[kind].busy);
    return 0;
  }
  writing = 1;
  if (writer->beginFile) writer->beginFile();
  int error = 0;
  int done = length <= 0 || WriteWithin(writer, bytes, (uint32_t)length, &error);
  if (!done && error) LogMessage(Messages[kind].directWrite, error);
  writing = 0;
  ReleaseMutex(PortMutex);
  return done;
}

// Receiving: one process-wide receive thread slot, as the window knows it.
static const Receiver* activeReceiver;
static Word receiverGeneration;  // a thread that outlives its connection must not go on
static DWORD receiverThreadId;
static HANDLE stopEvent;

static int StillReceiving(const Receiver* receiver, int generation) {
  return Ports[receiver->kind].receiveRun == 1 && receiverGeneration == generation;
}

static DWORD WINAPI ReceiveThreadProc(LPVOID param) {
  int generation = (int)(INT_PTR)param;
  const Receiver* receiver = activeReceiver;
  unsigned char buffer[RECEIVE_CHUNK];
  while (StillReceiving(receiver, generation)) {
    memset(buffer, 0, sizeof buffer);
    int got = receiver->read(buffer, sizeof buffer);
    if (!StillReceiving(receiver, generation)) break;
    if (got > 0) ReceivedDataSink(receiver->kind, buffer, got < RECEIVE_CHUNK ? got : RECEIVE_CHUNK);
    if (got >= 0) continue;
    Ports[receiver->kind].receiveRun = 0;
    CircuitErrorBox();
  }
  return 0;
}

int StartReceiving(const Receiver* receiver) {
  if (!stopEvent) stopEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
  ResetEvent(stopEvent);
  activeReceiver = receiver;
  Ports[receiver->kind].receiveRun = 1;
  receiverGeneration = receiverGeneration + 1;
  ReceiveThreadHandle = StartThread(ReceiveThreadProc, (void*)(INT_PTR)receiverGeneration, &receiverThreadId);
  if (ReceiveThreadHandle) return 1;
  LogMessage("%s", Messages[receiver->kind].receiveThread);
  Ports[receiver->kind].receiveRun = 0;
  return 0;
}

// The thread may be handing a chunk to the window; the window's thread keeps taking such
// calls while it waits.
static void AwaitThread(HANDLE thread, DWORD ms) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
    DWORD left = ms - (GetTickCount() - start);
    if (MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE) != WAIT_OBJECT_0 + 1) return;
    MSG msg;
    PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

void StopReceiving(int kind) {
  Ports[kind].receiveRun = 0;
  HANDLE thread = InterlockedExchangePointer(&ReceiveThreadHandle, NULL);
  if (!thread) return;
  if (stopEvent) SetEvent(stopEvent);
  if (activeReceiver && activeReceiver->wake) activeReceiver->wake();
  if (receiverThreadId != GetCurrentThreadId()) AwaitThread(thread, RECEIVER_STOP_MS);
  CloseHandle(thread);
}

int ReceivePause(DWORD ms) {
  return !stopEvent || WaitForSingleObject(stopEvent, ms) == WAIT_TIMEOUT;
}

int OpenPreamble(int kind, const char* portName) {
  const char* name = InterfaceName(kind);
  ConnectionLogMessage("%s:Open Start.", name);
  if (!portName[0]) {
    LogMessage("%s:<ERROR>Un-Inputting of PortName or Protocol.", name);
    return 0;
  }
  if (Ports[kind].connected == 1) {
    LogMessage("%s:<ERROR>Already Opened.", name);
    return 0;
  }
  ConnectionLogMessage("%s:Port = %s", name, portName);
  return 1;
}

void CircuitErrorBox() {
  MessageBoxA(hMainWnd, "The circuit error occurred. Please re-connect. Circuit error.", "Error", MB_OK);
}

const IntervalChoice IntervalChoices[INTERVAL_CHOICES] = {
    {"50ms ", 50},    {"100ms", 100},   {"200ms", 200},   {"500ms", 500},   {"1sec ", 1000},  {"2sec ", 2000},
    {"5sec ", 5000},  {"10sec", 10000}, {"20sec", 20000}, {"30sec", 30000}, {"60sec", 60000},
};

int IntervalIndex(int ms) {
  for (int i = 0; i < INTERVAL_CHOICES; i++)
    if (IntervalChoices[i].ms == ms) return i;
  return -1;
}

int IntervalFromLabel(const char* text, int old) {
  for (const IntervalChoice& choice : IntervalChoices)
    if (lstrcmpA(text, choice.label) == 0) return choice.ms;
  return old;
}

void FillIntervalCombo(HWND combo, int ms) {
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  for (const IntervalChoice& choice : IntervalChoices) SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)choice.label);
  SendMessageA(combo, CB_SETCURSEL, IntervalIndex(ms), 0);
}

int ReadIntervalCombo(HWND combo, int old) {
  char text[16] = "";
  GetWindowTextA(combo, text, sizeof text);
  return IntervalFromLabel(text, old);
}
