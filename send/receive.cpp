// The receive thread: one process-wide slot, as the window knows it. It reads again at
// once while the port has more, a bounded number of chunks per turn so a stop is seen
// promptly, and rests only when the port is idle. Every chunk read goes to the sink, in
// the order read.
#include "send/frame.h"
#include "terminal/log.h"

const int CHUNKS_PER_TURN = 64;
const DWORD ARRIVING_MS = 20;  // the next chunk of an answer still on its way
const DWORD RECEIVER_STOP_MS = 3000;
const DWORD SHARED_WAIT_MS = 100;  // a job holds a shared port throughout; the thread looks again

static const Receiver* activeReceiver;
static Word receiverGeneration;  // a thread that outlives its connection must not go on
static DWORD receiverThreadId;
static HANDLE stopEvent;

// On a shared port each chunk is read and handed on under the port mutex, so a job's
// read-back never comes between a read and its delivery.
static int TakeShared(const Receiver* receiver, DWORD ms) {
  if (!receiver->sharesPort) return 1;
  DWORD taken = WaitForSingleObject(PortMutex, ms);
  return taken == WAIT_OBJECT_0 || taken == WAIT_ABANDONED;
}

static void ReleaseShared(const Receiver* receiver) {
  if (receiver->sharesPort) ReleaseMutex(PortMutex);
}

static int StillReceiving(const Receiver* receiver, int generation) {
  return Ports[receiver->kind].receiveRun == 1 && receiverGeneration == generation;
}

static DWORD IdleMs(const Receiver* receiver) {
  return receiver->idleMs ? receiver->idleMs : (DWORD)Ports[receiver->kind].receiveTimes;
}

// Reads while the port has more, a bounded number of chunks, each handed on as it comes:
// the chunks that came, or -1 when a read failed. The receive thread's turn (a generation)
// ends as soon as receiving stops; any other reader (generation -1) does not wait for a
// shared port.
static int ReadChunks(const Receiver* receiver, DWORD firstWaitMs, int generation) {
  unsigned char buffer[RECEIVE_CHUNK];
  int chunks = 0;
  for (DWORD ms = firstWaitMs; chunks < CHUNKS_PER_TURN; ms = ARRIVING_MS) {
    if (!TakeShared(receiver, generation < 0 ? 0 : SHARED_WAIT_MS)) return chunks;
    int got = generation < 0 || StillReceiving(receiver, generation) ? receiver->read(buffer, RECEIVE_CHUNK, ms) : 0;
    if (got > 0) ReceivedDataSink(receiver->kind, buffer, got < RECEIVE_CHUNK ? got : RECEIVE_CHUNK);
    ReleaseShared(receiver);
    if (got <= 0) return got < 0 ? -1 : chunks;
    chunks++;
  }
  return chunks;
}

int ReadIntoSink(const Receiver* receiver, DWORD firstWaitMs) { return ReadChunks(receiver, firstWaitMs, -1); }

static DWORD WINAPI ReceiveThreadProc(LPVOID param) {
  int generation = (int)(INT_PTR)param;
  const Receiver* receiver = activeReceiver;
  while (StillReceiving(receiver, generation)) {
    int chunks = ReadChunks(receiver, 1, generation);
    if (!StillReceiving(receiver, generation)) break;
    if (chunks < 0) {
      Ports[receiver->kind].receiveRun = 0;
      if (Ports[receiver->kind].connected == 1) CircuitErrorBox();
      break;
    }
    if (chunks > 0) continue;
    if (receiver->idle) receiver->idle(IdleMs(receiver));
    else ReceivePause(IdleMs(receiver));
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
static int AwaitThread(HANDLE thread, DWORD ms) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
    DWORD left = ms - (GetTickCount() - start);
    DWORD waited = MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE);
    if (waited != WAIT_OBJECT_0 + 1) return waited == WAIT_OBJECT_0;
    MSG msg;
    PeekMessageA(&msg, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  return 0;
}

void StopReceiving(int kind) {
  Ports[kind].receiveRun = 0;
  HANDLE thread = InterlockedExchangePointer(&ReceiveThreadHandle, NULL);
  if (!thread) return;
  if (stopEvent) SetEvent(stopEvent);
  const Receiver* receiver = activeReceiver;
  if (receiver && receiver->wake) receiver->wake();
  int ended = receiverThreadId == GetCurrentThreadId() || AwaitThread(thread, RECEIVER_STOP_MS);
  CloseHandle(thread);
  if (ended && receiver && receiver->kind == kind && receiverThreadId != GetCurrentThreadId())
    ReadIntoSink(receiver, 1);
}

int ReceivePause(DWORD ms) {
  return !stopEvent || WaitForSingleObject(stopEvent, ms) == WAIT_TIMEOUT;
}
