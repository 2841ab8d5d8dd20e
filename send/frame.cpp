#include "send/frame.h"
#include "send/engine.h"
#include "terminal/log.h"
#include <string.h>

DWORD DirectWritePatienceMs = 10000;

const DWORD WAIT_SLICE_MS = 50;  // how often a pending write looks at the job's end and the answers
const DWORD BUSY_PAUSE_MS = 100;  // before a busy printer is asked again
const DWORD EMPTY_PAUSE_MS = 10;  // before a write that took nothing is issued again
const DWORD PORT_TAKE_MS = 200;   // a shared port's receive thread holds it for one read
const int KEY_QUEUE = 4096;       // keys typed while a direct write is pending

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

// While the job holds a port whose receive thread waits for it, the job hears the printer.
static void ReadBack(const PieceWriter* writer) {
  const Receiver* reader = writer->readBack;
  if (reader && Ports[reader->kind].receiveOn == 1 && Ports[reader->kind].receiveRun == 1) ReadIntoSink(reader, 1);
}

// 0 when the piece is given up: the job is to end, or the time-out ran out (reported). A
// close the user asked for ends the job through its request; a line that went away ends
// it through the write that fails.
static int StillWaiting(const PieceWriter* writer, const ConnectionBlock* block, DWORD lastProgress) {
  ReadBack(writer);
  if (JobAskedToEnd()) return 0;
  if (!TimedOut(writer->kind, block, lastProgress)) return 1;
  LogMessage("%s", Messages[writer->kind].timeOut);
  return 0;
}

// Waits for the started write of a block sender; -2 when it was given up.
static int AwaitPiece(const PieceWriter* writer, const ConnectionBlock* block, DWORD lastProgress,
                      uint32_t* written, int* error) {
  for (;;) {
    int state = writer->wait(WAIT_SLICE_MS, written, error);
    if (state != 0) return state;
    if (!StillWaiting(writer, block, lastProgress)) {
      writer->cancel();
      return -2;
    }
  }
}

// One piece: every byte out, or 0 after a write error, a time-out, or the job's end. A busy
// printer, or one that took nothing, is asked again for as long as the job may wait. Each
// byte is counted in bytes sent once, when the write that took it completes.
static int WritePiece(const PieceWriter* writer, ConnectionBlock* block, const unsigned char* bytes,
                      uint32_t length, int counter) {
  int kind = writer->kind;
  DWORD lastProgress = GetTickCount();
  for (uint32_t done = 0; done < length;) {
    int error = 0;
    uint32_t written = 0;
    int state = writer->start(bytes + done, length - done, &error) ? AwaitPiece(writer, block, lastProgress, &written, &error) : -1;
    if (state == -2) return Failed(kind, 2);
    if (state < 0 && !IsBusy(writer, error)) {
      LogMessage(BlockWriteMessage(kind, length), counter, error);
      PostMessageA(hMainWnd, WM_COMMAND, 0, 0);
      return Failed(kind, writer->sendingOnError);
    }
    done += written;
    BytesSent = BytesSent + written;
    if (written) {
      lastProgress = GetTickCount();
    } else if (!StillWaiting(writer, block, lastProgress) || !JobPause(state < 0 ? BUSY_PAUSE_MS : EMPTY_PAUSE_MS)) {
      return Failed(kind, 2);
    }
    if (done == length) break;
    ShowSendProgress(block);
  }
  return 1;
}

int BlockSenderFrame(const PieceWriter* writer, ConnectionBlock* block, int counter) {
  int kind = writer->kind;
  if (JobAskedToEnd()) return Failed(kind, 2);
  if (BytesSent == 0 && writer->beginFile) writer->beginFile();
  const unsigned char* data = FileData;
  uint64_t total = block->bytesRead, size = BlockSizeBytes ? BlockSizeBytes : total;
  ShowSendProgress(block);
  for (uint64_t done = 0; done < total;) {
    uint32_t piece = (uint32_t)(total - done < size ? total - done : size);
    if (!WritePiece(writer, block, data + done, piece, counter)) return 0;
    done += piece;
    ShowSendProgress(block);
    ReadBack(writer);
    if (JobAskedToEnd()) return Failed(kind, 2);
    if (BytesSent >= block->fileSize) break;
    if (!JobPause(*DelayField(block, kind))) return Failed(kind, 2);
  }
  return 1;
}

// The direct write in progress on the window's thread. Its message pump may dispatch more
// keys, which wait their turn behind it, and a close, which abandons it.
static struct {
  const PieceWriter* writer;
  DWORD thread;
  int active, abandoned, queued;
  unsigned char queue[KEY_QUEUE];
} direct;

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

// 1 when every byte went out; 0 with *error set, or with 0 when the port went away.
static int WriteWithin(const PieceWriter* writer, const unsigned char* bytes, uint32_t length, int* error) {
  int onWindowThread = GetWindowThreadProcessId(hMainWnd, NULL) == GetCurrentThreadId();
  DWORD lastProgress = GetTickCount();
  for (uint32_t done = 0; done < length;) {
    uint32_t written = 0;
    int state = writer->start(bytes + done, length - done, error) ? 0 : -1;
    while (state == 0 && (state = writer->wait(onWindowThread ? 10 : WAIT_SLICE_MS, &written, error)) == 0) {
      int alive = !onWindowThread || KeepWindowResponsive();
      if (direct.abandoned) return *error = 0, 0;
      if (!alive || Ports[writer->kind].connected != 1) {
        writer->cancel();
        return *error = 0, 0;
      }
      if (GetTickCount() - lastProgress > DirectWritePatienceMs) {
        writer->cancel();
        return *error = writer->timeOutError, 0;
      }
    }
    if (state < 0 && !IsBusy(writer, *error)) return 0;
    done += written;
    if (written) lastProgress = GetTickCount();
    else if (GetTickCount() - lastProgress > DirectWritePatienceMs) return *error = writer->timeOutError, 0;
    else if (state < 0) Sleep(EMPTY_PAUSE_MS);
  }
  return 1;
}

// The keys typed while the write was pending, in the order typed.
static int WriteQueued(const PieceWriter* writer, int* error) {
  unsigned char batch[KEY_QUEUE];
  int done = 1;
  while (done && direct.queued && !direct.abandoned) {
    int length = direct.queued;
    memcpy(batch, direct.queue, length);
    direct.queued = 0;
    done = WriteWithin(writer, batch, (uint32_t)length, error);
  }
  return done;
}

static int QueueBehind(int kind, const unsigned char* bytes, int length) {
  if (length > KEY_QUEUE - direct.queued) {
    LogMessage("%s", Messages[kind].busy);
    return 0;
  }
  memcpy(direct.queue + direct.queued, bytes, length);
  direct.queued += length;
  return 1;
}

// A shared port's receive thread holds the mutex only for one read: a key waits for it.
// A job holds it throughout: the key is refused.
static int TakePort(int kind) {
  if (Ports[kind].sending == 1) return 0;
  for (DWORD start = GetTickCount(), spent = 0; spent < PORT_TAKE_MS; spent = GetTickCount() - start) {
    DWORD waited = MsgWaitForMultipleObjects(1, &PortMutex, FALSE, PORT_TAKE_MS - spent, QS_SENDMESSAGE);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED_0) return 1;
    if (waited != WAIT_OBJECT_0 + 1) return 0;
    MSG msg;
    PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  return 0;
}

int DirectWriteFrame(const PieceWriter* writer, const unsigned char* bytes, int length) {
  int kind = writer->kind;
  if (length <= 0) return 1;
  if (direct.active) return QueueBehind(kind, bytes, length);
  if (!TakePort(kind)) {
    LogMessage("%s", Messages[kind].busy);
    return 0;
  }
  direct.writer = writer;
  direct.thread = GetCurrentThreadId();
  direct.active = 1;
  direct.abandoned = direct.queued = 0;
  if (writer->beginFile) writer->beginFile();
  int error = 0;
  int done = WriteWithin(writer, bytes, (uint32_t)length, &error) && WriteQueued(writer, &error);
  if (!done && error) LogMessage(Messages[kind].directWrite, error);
  direct.active = direct.queued = 0;
  if (!direct.abandoned) ReleaseMutex(PortMutex);
  return done;
}

void AbandonDirectWrite(int kind) {
  if (!direct.active || direct.abandoned || direct.writer->kind != kind || direct.thread != GetCurrentThreadId()) return;
  direct.writer->cancel();
  direct.abandoned = 1;
  ReleaseMutex(PortMutex);
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
