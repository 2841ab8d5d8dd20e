// Throughput of the RS-232C block sender against a plain WriteFile loop on the same COM
// port, both sending to the simulated printer on the far end of the pty behind COM10.
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

static uint64_t expectedHash;

// Seconds until the printer holds every byte, or 0 when they did not all arrive intact.
static double Arrived(double start) {
  for (DWORD begin = GetTickCount(); FarEndBytes() < (long long)TOTAL && GetTickCount() - begin < 120000;) Sleep(10);
  double seconds = Now() - start;
  return FarEndBytes() == (long long)TOTAL && FarEndHash() == expectedHash ? seconds : 0;
}

static double ThroughDriver(unsigned char* data) {
  lstrcpyA(Rs232cPortPath, "COM10");
  Rs232cLine = {11, 4, 0, 0, 2, 1};  // 9600 8N1, no flow control: a pty ignores the rate
  if (!Rs232cOpen()) return 0;
  FarEndAsk("reset");
  ConnectionBlock block = BlockSendSetup(IF_RS232C, data, TOTAL, BLOCK, 1);
  double start = Now();
  int sent = Rs232cDriver.blockSender(&block, 1);
  double seconds = sent ? Arrived(start) : 0;
  Rs232cClose();
  return seconds;
}

static double PlainWriteLoop(const unsigned char* data) {
  HANDLE port = CreateFileA("\\\\.\\COM10", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
  if (port == INVALID_HANDLE_VALUE) return 0;
  FarEndAsk("reset");
  double start = Now();
  for (uint32_t done = 0; done < TOTAL;) {
    DWORD written = 0;
    if (!WriteFile(port, data + done, std::min(BLOCK, TOTAL - done), &written, NULL) || !written) break;
    done += written;
  }
  double seconds = Arrived(start);
  CloseHandle(port);
  return seconds;
}

static double Rate(double seconds) { return seconds > 0 ? TOTAL / 1048576.0 / seconds : 0; }

static bool WindowReady() { return hMainWnd != NULL && hLogList != NULL; }

int main() {
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  lstrcatA(folder, "tarvex-rs232c-bench");
  CreateDirectoryA(folder, NULL);
  SetCurrentDirectoryA(folder);
  if (!FarEndStart(COM)) {
    printf("the simulated printer did not start on COM%d (build/native/tarvex-sim)\n", COM);
    return 1;
  }
  std::thread ui([] { AppRun(GetModuleHandleA(NULL), SW_HIDE); });
  for (DWORD start = GetTickCount(); !WindowReady() && GetTickCount() - start < 10000;) Sleep(10);
  std::string data = FloodBytes((int)TOTAL, 1);
  expectedHash = Fnv1a64(data.data(), data.size());
  unsigned char* bytes = (unsigned char*)&data[0];

  printf("RS-232C, %u MiB to the simulated printer on COM%d, %u-byte blocks, high-speed on:\n", TOTAL >> 20, COM,
         BLOCK);
  double ratios[3];
  bool intact = true;
  for (double& ratio : ratios) {
    double driver = ThroughDriver(bytes), plain = PlainWriteLoop(bytes);
    printf("  RS-232C block sender %8.1f MiB/s   plain WriteFile loop %8.1f MiB/s   ratio %.2f\n", Rate(driver),
           Rate(plain), Rate(plain) > 0 ? Rate(driver) / Rate(plain) : 0);
    ratio = Rate(plain) > 0 ? Rate(driver) / Rate(plain) : 0;
    intact = intact && driver > 0 && plain > 0;
  }
  std::sort(ratios, ratios + 3);
  printf("  median ratio %.2f%s\n", ratios[1], intact ? "" : "   (BYTES LOST OR CHANGED)");
  PostMessageA(hMainWnd, WM_COMMAND, 32832, 0);
  ui.join();
  FarEndStop();
  return intact ? 0 : 1;
}
