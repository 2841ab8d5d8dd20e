#include "send/driver.h"
#include "common/settings.h"
#include "common/ui.h"
#include "send/engine.h"
#include "send/frame.h"
#include "terminal/capture.h"
#include "terminal/log.h"
#include "terminal/pjl_check.h"

const DriverMessages Messages[IF_KINDS] = {
    {},
    {"IEEE1284:<ERROR>Read CreateThread NG.", "IEEE1284:<ERROR>Write CreateThread NG.",
     "IEEE1284:<ERROR>Send Data Time Out.", "IEEE1284:(%d)<ERROR>Data Write NG.[ErrorNo=%d]",
     "IEEE1284:<ERROR> Port Busy.", "IEEE1284:<ERROR>Data Write NG.[ErrorNo=%d]", "IEEE1284:<ERROR>StringCheck Error", NULL},
    {"RS232C:<ERROR>Read CreateThread NG.", "RS232C:<ERROR>Write CreateThread NG.",
     "RS232C:<ERROR>Send Data Time Out.", "RS232C:(%d)<ERROR>Data Write NG.[ErrorNo=%d]", "RS232C:<ERROR> Port Busy.",
     "RS232C:<ERROR>Data Write NG.[ErrorNo=%d]", "RS232C:<ERROR>StringCheck Error", NULL},
    {"<ERROR>Recv CreateThread NG.", "<ERROR>Send CreateThread NG.", "USB:<ERROR>Send Data Time Out.",
     "USB:(%d)<ERROR> Send circuit Error. [ErrNo=%d]",
     "<ERROR> Port Busy.", "USB:<ERROR> Send circuit Error. [ErrNo=%ld]", "<ERROR>StringCheck Error",
     "USB:(%d)<ERROR> Send circuit Error.[ErrNo=%d]"},
    {"TCP/IP:<ERROR>Recv CreateThread NG.", "TCP/IP:<ERROR>Send CreateThread NG.", NULL,
     "TCP/IP:(%d)<ERROR>Data Send NG.[ErrorNo=%d]", "TCP/IP:<ERROR> Socket busy.",
     "TCP/IP:<ERROR>Data Send NG.[ErrorNo=%d]", "TCP/IP:<ERROR>StringCheck Error", NULL},
    {"IEEE1394:<ERROR>Read CreateThread NG.", "IEEE1394:<ERROR>Write CreateThread NG.",
     "IEEE1394:<ERROR>Send Data Time Out.", "IEEE1394:(%d)<ERROR>Data Write NG.[ErrorNo=%d]",
     "IEEE1394:<ERROR> Port Busy.", "IEEE1394:<ERROR>Data Write NG.[ErrorNo=%d]", "IEEE1394:<ERROR>StringCheck Error", NULL},
};

// A piece shorter than the block size is the last of its buffer.
const char* BlockWriteMessage(int kind, uint32_t piece) {
  const DriverMessages& m = Messages[kind];
  return m.remainderWrite && piece < BlockSizeBytes ? m.remainderWrite : m.blockWrite;
}

void ReceivedDataSink(int kind, const unsigned char* bytes, int length) {
  CaptureWrite(bytes, length);
  if (RcvDsp == 1) RenderIntoLog(bytes, length);
  if (StringCheckFlag != 1) return;
  int state = CheckState;
  int passed = StringCheck(length, bytes, &state);
  CheckState = state;
  if (passed) return;
  LogMessage("%s", Messages[kind].stringCheck);
  Ports[kind].receiveRun = 0;
  if (Ports[kind].sending == 1) RequestJobEnd();
}

// With small blocks an update per piece would cost more than the sending itself, so the bar
// is refreshed at most every 50 ms, and always when the file is complete.
void ShowSendProgress(const ConnectionBlock* block) {
  static DWORD lastShown;
  if (HighSpeed) return;
  DWORD now = GetTickCount();
  if (BytesSent < block->fileSize && now - lastShown < 50) return;
  lastShown = now;
  StatusPart1Update(BytesSent, block->fileSize);
}

HANDLE StartThread(LPTHREAD_START_ROUTINE proc, void* param, DWORD* id) {
  DWORD ignored;
  HANDLE thread = CreateThread(NULL, 0, proc, param, CREATE_SUSPENDED, id ? id : &ignored);
  if (!thread) return NULL;
  SetThreadPriority(thread, THREAD_PRIORITY_NORMAL);
  ResumeThread(thread);
  return thread;
}

int StartDriverSendThread(int kind, HWND owner) {
  if (SendThreadHandle) return 0;
  SendThreadHandle = StartThread(SendThreadProc, owner);
  if (SendThreadHandle) return 1;
  LogMessage("%s", Messages[kind].sendThread);
  return 0;
}
