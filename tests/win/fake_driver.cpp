#include "tests/win/fake_driver.h"
#include "common/ui.h"
#include "send/driver.h"
#include "send/engine.h"
#include "send/frame.h"
#include <mutex>

FakePort Fake;
static std::mutex fakeLock;
static std::string started;
static DWORD startedAt;
static bool direct;

static int Start(const unsigned char* bytes, uint32_t length, int* error) {
  std::lock_guard<std::mutex> hold(fakeLock);
  if (!direct && (int)Fake.pieces.size() == Fake.failAtPiece) return *error = 5, 0;
  if (!direct && Fake.busyWrites > 0) return Fake.busyWrites--, *error = ERROR_BUSY, 0;
  started.assign((const char*)bytes, length);
  startedAt = GetTickCount();
  return 1;
}

static int Wait(DWORD ms, uint32_t* written, int*) {
  if (GetTickCount() - startedAt < (DWORD)Fake.pieceDelayMs) return Sleep(ms), 0;
  std::lock_guard<std::mutex> hold(fakeLock);
  (direct ? Fake.directWrites : Fake.pieces).push_back(started);
  if (!direct) Fake.ticks.push_back(GetTickCount());
  *written = (uint32_t)started.size();
  return 1;
}

static void Cancel() {}

static const PieceWriter fakeWriter = {IF_RS232C, Start, Wait, Cancel, NULL, NULL, 2, ERROR_TIMEOUT, {ERROR_BUSY}};

static int FakeInit(ConnectionBlock*) { return 1; }
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

static int FakeBlockSender(ConnectionBlock* block, int counter) {
  direct = false;
  return BlockSenderFrame(&fakeWriter, block, counter);
}

static int FakeDirectWrite(const unsigned char* bytes, int length) {
  direct = true;
  return DirectWriteFrame(&fakeWriter, bytes, length);
}

static const Driver fakeDriver = {IF_RS232C, FakeInit, FakeExit, FakeCommand, FakeBlockSender, FakeDirectWrite,
                                  NULL,      NULL,     NULL,     NULL,        NULL};
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
