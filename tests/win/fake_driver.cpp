#include "tests/win/fake_driver.h"
#include "common/ui.h"
#include "send/driver.h"
#include "send/engine.h"
#include "terminal/log.h"
#include <mutex>

FakePort Fake;
static std::mutex fakeLock;

static int FakeInit(ConnectionBlock* block) {
  block->delayRs232c = Ports[IF_RS232C].interval;
  return 1;
}
static void FakeExit(ConnectionBlock*) {}

static int FakeCommand(HWND wnd, WPARAM, LPARAM, int action) {
  switch (action) {
    case ACTION_CONNECT:
      Ports[IF_RS232C].connected = 1;
      StatusPart0Update();
      return 1;
    case ACTION_DISCONNECT:
      Ports[IF_RS232C].connected = Ports[IF_RS232C].sending = 0;
      return 1;
    case ACTION_START_BLOCK: return StartDriverSendThread(IF_RS232C, wnd);
  }
  return 0;
}

// Sends the bytes read in block-size pieces, as a real driver's block sender does.
static int FakeBlockSender(ConnectionBlock* block, int counter) {
  uint32_t done = 0;
  while (done < block->bytesRead) {
    uint32_t piece = block->bytesRead - done < BlockSizeBytes ? block->bytesRead - done : BlockSizeBytes;
    {
      std::lock_guard<std::mutex> hold(fakeLock);
      if ((int)Fake.pieces.size() == Fake.failAtPiece) {
        LogMessage(Messages[IF_RS232C].blockWrite, counter, 5);
        Ports[IF_RS232C].sending = 2;
        return 0;
      }
      Fake.pieces.emplace_back((const char*)FileData + done, piece);
    }
    Sleep(Fake.pieceDelayMs);
    done += piece;
    BytesSent += piece;
    ShowSendProgress(block);
    if (StopRequest == 3) {
      Ports[IF_RS232C].sending = 2;
      return 0;
    }
  }
  return 1;
}

static int FakeWrite(const unsigned char* bytes, int length, int*) {
  std::lock_guard<std::mutex> hold(fakeLock);
  Fake.directWrites.emplace_back((const char*)bytes, length);
  return 1;
}

static int FakeDirectWrite(const unsigned char* bytes, int length) {
  return DirectWriteFrame(IF_RS232C, FakeWrite, bytes, length);
}

static const Driver fakeDriver = {IF_RS232C, FakeInit, FakeExit, FakeCommand, FakeBlockSender, FakeDirectWrite, NULL};
static const Driver* displaced;

void InstallFakeDriver() {
  Fake = FakePort();
  displaced = Drivers[IF_RS232C];
  Drivers[IF_RS232C] = &fakeDriver;
}

void RemoveFakeDriver() { Drivers[IF_RS232C] = displaced; }

std::string FakeReceived() {
  std::lock_guard<std::mutex> hold(fakeLock);
  std::string all;
  for (const std::string& piece : Fake.pieces) all += piece;
  return all;
}
