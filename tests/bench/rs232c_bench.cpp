// Throughput of the RS-232C block sender against plain WriteFile loops on the same COM
// port, all sending to the simulated printer on the far end of the pty behind COM10.
#include "tests/bench/bench.h"
#include "app/app.h"
#include "common/state.h"
#include "ports/rs232c/rs232c.h"
#include "send/engine.h"
#include "sim/printer.h"
#include "tests/win/rs232c_far_end.h"
#include <stdio.h>
#include <algorithm>
#include <string>
#include <thread>

const int COM = 10;
const uint32_t TOTAL = 64u << 20;
const uint32_t BLOCK = 64u << 10;
const int ROUNDS = 5;  // the machine is shared: the median of several rounds

static std::string expected;  // the printer's count and hash once every byte arrived intact

// MiB/s until the printer holds every byte, or 0 when they did not all arrive intact.
static double Arrived(double start) {
  for (DWORD begin = GetTickCount(); FarEndAsk("stats") != expected && GetTickCount() - begin < 120000;) Sleep(10);
  double seconds = Now() - start;
  return FarEndAsk("stats") == expected ? (TOTAL >> 20) / seconds : 0;
}

static double ThroughDriver(unsigned char* data) {
  lstrcpyA(Rs232cPortPath, "COM10");
  Rs232cLine = {11, 4, 0, 0, 2, 1};  // 9600 8N1, no flow control: a pty ignores the rate
  if (!Rs232cOpen()) return 0;
  FarEndAsk("reset");
  ConnectionBlock block = BlockSendSetup(IF_RS232C, data, TOTAL, BLOCK, 1);
  double start = Now();
  int sent = Rs232cDriver.blockSender(&block, 1);
  double rate = sent ? Arrived(start) : 0;
  Rs232cClose();
  return rate;
}

// The same port opened the driver's way (overlapped, as its reader needs) or plainly: on
// Wine only a synchronous handle writes to the pty without a round trip to the server.
static double PlainWriteLoop(const unsigned char* data, DWORD flags) {
  HANDLE port = CreateFileA("\\\\.\\COM10", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, flags, NULL);
  if (port == INVALID_HANDLE_VALUE) return 0;
  OVERLAPPED overlapped = {};
  OVERLAPPED* record = flags & FILE_FLAG_OVERLAPPED ? &overlapped : NULL;
  overlapped.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
  FarEndAsk("reset");
  double start = Now();
  for (uint32_t done = 0; done < TOTAL;) {
    DWORD written = 0;
    BOOL ok = WriteFile(port, data + done, std::min(BLOCK, TOTAL - done), record ? NULL : &written, record);
    if (record && (ok || GetLastError() == ERROR_IO_PENDING)) ok = GetOverlappedResult(port, record, &written, TRUE);
    if (!ok || !written) break;
    done += written;
  }
  double rate = Arrived(start);
  CloseHandle(overlapped.hEvent);
  CloseHandle(port);
  return rate;
}

int main() {
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  lstrcatA(folder, "tarvex-rs232c-bench");
  CreateDirectoryA(folder, NULL);
  SetCurrentDirectoryA(folder);
  // The printer built for benchmarks (no sanitizers, tests/bench/run makes it), so that
  // the far end is not what limits the rate; the test build's when there is none.
  const char* printer = "benchmark";
  if (!FarEndStart(COM, "bench") && !FarEndStart(COM, printer = "native")) {
    printf("the simulated printer did not start on COM%d (build/native/tarvex-sim)\n", COM);
    return 1;
  }
  std::thread ui([] { AppRun(GetModuleHandleA(NULL), SW_HIDE); });
  for (DWORD start = GetTickCount(); !(hMainWnd && hLogList) && GetTickCount() - start < 10000;) Sleep(10);
  std::string data = FloodBytes((int)TOTAL, 1);
  expected = FarEndStatsOf(data);
  unsigned char* bytes = (unsigned char*)&data[0];

  printf("RS-232C, %u MiB to the %s printer on COM%d, %u-byte blocks, high-speed on (MiB/s):\n", TOTAL >> 20,
         printer, COM, BLOCK);
  double ratios[ROUNDS], plainRatios[ROUNDS];
  bool intact = true;
  for (int i = 0; i < ROUNDS; i++) {
    double driver = ThroughDriver(bytes);
    double overlapped = PlainWriteLoop(bytes, FILE_FLAG_OVERLAPPED), plain = PlainWriteLoop(bytes, 0);
    ratios[i] = overlapped > 0 ? driver / overlapped : 0;
    plainRatios[i] = plain > 0 ? driver / plain : 0;
    printf("  block sender %6.1f   overlapped loop %6.1f   synchronous loop %6.1f   ratio %.2f (%.2f)\n", driver,
           overlapped, plain, ratios[i], plainRatios[i]);
    intact = intact && driver > 0 && overlapped > 0 && plain > 0;
  }
  std::sort(ratios, ratios + ROUNDS);
  std::sort(plainRatios, plainRatios + ROUNDS);
  printf("  median ratio to the overlapped loop %.2f (to the synchronous loop %.2f)%s\n", ratios[ROUNDS / 2],
         plainRatios[ROUNDS / 2],
         intact ? "" : "   (BYTES LOST OR CHANGED)");
  PostMessageA(hMainWnd, WM_COMMAND, 32832, 0);
  ui.join();
  FarEndStop();
  return intact ? 0 : 1;
}
