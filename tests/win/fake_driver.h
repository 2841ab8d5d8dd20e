// A recording driver built on the driver frame, for tests of the send engine, direct send
// and the frame itself: it stands in the RS-232C slot, connects at once and keeps every
// piece and direct write it is handed.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct FakePort {
  std::vector<std::string> pieces;  // each completed write of the block sender
  std::vector<DWORD> ticks;         // when each of them completed
  std::vector<std::string> directWrites;
  int failAtPiece = -1;  // 0-based write whose start fails with error 5
  int busyWrites = 0;    // writes that fail with ERROR_BUSY first
  int pieceDelayMs = 0;
};
extern FakePort Fake;

void InstallFakeDriver();   // before StartApp
void RemoveFakeDriver();    // after StopApp
std::string FakeReceived(); // all pieces joined
