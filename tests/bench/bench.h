// What the benchmarks share: a fine clock, and a file handed to a driver's block sender
// the way the send job hands it over.
#pragma once
#include <windows.h>
#include "common/state.h"
#include "send/engine.h"

static inline double Now() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return (double)count.QuadPart / frequency.QuadPart;
}

// The whole file is in memory and goes out in `blockSize` pieces; the job is marked running.
static inline ConnectionBlock BlockSendSetup(int kind, unsigned char* data, uint32_t total, uint32_t blockSize,
                                             int highSpeed) {
  ConnectionBlock block = {};
  block.bytesRead = block.fileSize = total;
  FileData = data;
  BlockSizeBytes = blockSize;
  HighSpeed = highSpeed;
  BytesSent = 0;
  StopRequest = 0;
  Ports[kind].sending = 1;
  return block;
}
