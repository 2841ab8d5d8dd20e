// A recording driver for tests of the send engine and direct send: it stands in the
// RS-232C slot, connects at once and keeps every piece and direct write it is handed.
#pragma once
#include <string>
#include <vector>

struct FakePort {
  std::vector<std::string> pieces;   // each block-sender piece as handed over
  std::vector<std::string> directWrites;
  int failAtPiece = -1;              // 0-based piece index whose write fails
  int pieceDelayMs = 0;
};
extern FakePort Fake;

void InstallFakeDriver();   // before StartApp
void RemoveFakeDriver();    // after StopApp
std::string FakeReceived(); // all pieces joined
