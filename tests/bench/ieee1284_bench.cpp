// Throughput of the IEEE1284 block sender against a plain overlapped WriteFile loop, both
// writing 64 MiB to the same simulated printer behind "\\.\KELVLPT1".
#include "tests/bench/bench.h"
#include "app/app.h"
#include "common/state.h"
#include "ports/ieee1284/ieee1284.h"
#include "send/engine.h"
#include "sim/device_host.h"
#include "sim/parallel.h"
#include <stdio.h>
#include <algorithm>
#include <thread>

const uint32_t TOTAL = 64u << 20;
const uint32_t BLOCK = 64 * 1024;

static SimDevice* device;
static Printer printer;
static ParallelDevice port;

// The printer's count, reset to 0 when asked.
static long long Arrived(bool reset = false) {
  SimDeviceLock(device);
  if (reset) PrinterReset(printer);
  long long bytes = printer.bytes;
  SimDeviceUnlock(device);
  return bytes;
}

// Seconds until every byte reached the printer, or 0 when they did not.
static double Finish(double start) {
  for (DWORD begun = GetTickCount(); Arrived() < TOTAL && GetTickCount() - begun < 120000;) Sleep(1);
  double seconds = Now() - start;
  return Arrived() == TOTAL ? seconds : 0;
}

// The simulator serves one client at a time and takes a moment to serve the next.
static HANDLE PlainOpen() {
  HANDLE h = INVALID_HANDLE_VALUE;
  for (DWORD start = GetTickCount(); h == INVALID_HANDLE_VALUE && GetTickCount() - start < 3000; Sleep(20))
    h = CreateFileA("\\\\.\\KELVLPT1", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, NULL);
  return h;
}

static double SendThroughDriver(unsigned char* data) {
  for (DWORD start = GetTickCount(); !Ieee1284Open(); Sleep(20))
    if (GetTickCount() - start > 3000) return 0;
  Arrived(true);
  ConnectionBlock block = BlockSendSetup(IF_IEEE1284, data, TOTAL, BLOCK, 1);
  double start = Now();
  int sent = Ieee1284Driver.blockSender(&block, 1);
  double seconds = Finish(start);
  Ports[IF_IEEE1284].sending = 2;
  Ieee1284Close(0);
  return sent == 1 ? seconds : 0;
}

// The yardstick: the same device, one overlapped write of a block at a time.
static double SendPlain(const unsigned char* data) {
  HANDLE h = PlainOpen();
  if (h == INVALID_HANDLE_VALUE) return 0;
  Arrived(true);
  OVERLAPPED o = {};
  o.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
  double start = Now();
  for (uint32_t done = 0; done < TOTAL;) {
    DWORD got = 0;
    if (!WriteFile(h, data + done, std::min(BLOCK, TOTAL - done), NULL, &o) && GetLastError() != ERROR_IO_PENDING) break;
    if (!GetOverlappedResult(h, &o, &got, TRUE)) break;
    done += got;
  }
  double seconds = Finish(start);
  CloseHandle(o.hEvent);
  CloseHandle(h);
  return seconds;
}

int main() {
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  lstrcatA(folder, "tarvex-bench");
  CreateDirectoryA(folder, NULL);
  SetCurrentDirectoryA(folder);
  ParallelReset(&port);
  printer.keep = 0;
  SimDeviceSetup setup;
  setup.name = setup.dosName = "KELVLPT1";
  setup.control = ParallelControl;
  setup.controlState = &port;
  setup.printer = &printer;
  if (!(device = SimDeviceStart(setup))) {
    printf("the simulated parallel port cannot be served\n");
    return 1;
  }
  std::thread ui([] { AppRun(GetModuleHandleA(NULL), SW_HIDE); });
  for (DWORD start = GetTickCount(); !(hMainWnd && hLogList) && GetTickCount() - start < 10000;) Sleep(10);

  std::string bytes = FloodBytes((int)TOTAL, 1);
  unsigned char* data = (unsigned char*)&bytes[0];
  printf("IEEE1284, %u-byte blocks, high-speed on, %u MiB each:\n", BLOCK, TOTAL >> 20);
  double ratios[3];
  bool intact = true;
  for (double& ratio : ratios) {
    double driver = SendThroughDriver(data), plain = SendPlain(data);
    intact = intact && driver > 0 && plain > 0;
    ratio = driver > 0 ? plain / driver : 0;
    printf("  block sender %7.1f MiB/s   plain WriteFile loop %7.1f MiB/s   ratio %.2f%s\n",
           driver > 0 ? (TOTAL >> 20) / driver : 0, plain > 0 ? (TOTAL >> 20) / plain : 0, ratio,
           intact ? "" : "  BYTES LOST");
  }
  std::sort(ratios, ratios + 3);
  printf("  median ratio %.2f\n", ratios[1]);
  PostMessageA(hMainWnd, WM_COMMAND, 32832, 0);
  ui.join();
  SimDeviceStop(device);
  return intact ? 0 : 1;
}
