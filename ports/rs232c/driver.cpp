#include "ports/rs232c/rs232c.h"
#include "common/settings.h"
#include "common/ui.h"
#include "terminal/log.h"

static int Rs232cInit(ConnectionBlock*) {
  lstrcpyA(Rs232cPortPath, "\\\\.\\COM1");
  Rs232cLine = {Rs232cBaudrate, Rs232cDataBits, Rs232cParityBits, Rs232cStopBits, Rs232cFlowControl, 0};
  Port.device = INVALID_HANDLE_VALUE;
  return 1;
}

static void Rs232cExit(ConnectionBlock*) { Rs232cClose(); }

static int Rs232cConnect(HWND wnd) {
  if (Rs232cDialog(wnd) != 1) return 0;
  StatusPart0Update();
  return Ports[IF_RS232C].receiveOn != 1 || StartReceiving(&Rs232cReceiver);
}

static int Rs232cCommand(HWND wnd, WPARAM, LPARAM, int action) {
  switch (action) {
    case ACTION_CONNECT: return Rs232cConnect(wnd);
    case ACTION_DISCONNECT:
      Rs232cClose();
      ConnectionLogMessage("RS232C:Port Close.");
      return 1;
    case ACTION_START_BLOCK: return StartDriverSendThread(IF_RS232C, wnd);
  }
  return 0;
}

static int Rs232cBlockSender(ConnectionBlock* block, int counter) {
  return BlockSenderFrame(&Rs232cWriter, block, counter);
}

static int Rs232cDirectWrite(const unsigned char* bytes, int length) {
  return DirectWriteFrame(&Rs232cWriter, bytes, length);
}

const Driver Rs232cDriver = {IF_RS232C, Rs232cInit,        Rs232cExit, Rs232cCommand, Rs232cBlockSender,
                             Rs232cDirectWrite, NULL, NULL, NULL, NULL, NULL};
