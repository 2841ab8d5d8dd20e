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

static long long Arrived() {
  SimDeviceLock(device);
  long long bytes = printer.bytes;
  SimDeviceUnlock(device);
  return bytes;
}

static void ResetPrinter() {
  SimDeviceLock(device);
  PrinterReset(printer);
  SimDeviceUnlock(device);
}

// Seconds until every byte reached the printer, or 0 when they did not.
static double Finish(double start) {
  for (DWORD begun = GetTickCount(); Arrived() < TOTAL && GetTickCount() - begun < 120000;) Sleep(1);
  double seconds = Now() - start;
  SimDeviceLock(device);
  bool intact = printer.bytes == TOTAL;
  SimDeviceUnlock(device);
  return intact ? seconds : 0;
}

// The simulator serves one client at a time and takes a moment to serve the next.
static bool Retried(bool (*open)()) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < 3000; Sleep(20))
    if (open()) return true;
  return false;
}

static bool DriverOpen() { return Ieee1284Open() == 1; }

static HANDLE plainHandle;
static bool PlainOpen() {
  plainHandle = CreateFileA("\\\\.\\KELVLPT1", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, NULL);
  return plainHandle != INVALID_HANDLE_VALUE;
}

static double SendThroughDriver(unsigned char* data) {
  if (!Retried(DriverOpen)) return 0;
  ResetPrinter();
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
  if (!Retried(PlainOpen)) return 0;
  HANDLE h = plainHandle;
  ResetPrinter();
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

static bool WindowReady() { return hMainWnd != NULL && hLogList != NULL; }

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
  device = SimDeviceStart(setup);
  if (!device) {
    printf("the simulated parallel port cannot be served\n");
    return 1;
  }
  std::thread ui([] { AppRun(GetModuleHandleA(NULL), SW_HIDE); });
  for (DWORD start = GetTickCount(); !WindowReady() && GetTickCount() - start < 10000;) Sleep(10);

  unsigned char* data = (unsigned char*)VirtualAlloc(NULL, TOTAL, MEM_COMMIT, PAGE_READWRITE);
  for (uint32_t i = 0; i < TOTAL; i++) data[i] = (unsigned char)(i * 2654435761u >> 24);
  printf("IEEE1284, %u-byte blocks, high-speed on, %u MiB each:\n", BLOCK, TOTAL >> 20);
  double ratios[3];
  bool intact = true;
  for (double& ratio : ratios) {
    double driver = SendThroughDriver(data), plain = SendPlain(data);
    intact = intact && driver > 0 && plain > 0;
    double rd = driver > 0 ? (TOTAL >> 20) / driver : 0, rp = plain > 0 ? (TOTAL >> 20) / plain : 0;
    ratio = rp > 0 ? rd / rp : 0;
    printf("  block sender %7.1f MiB/s   plain WriteFile loop %7.1f MiB/s   ratio %.2f%s\n", rd, rp, ratio,
           intact ? "" : "  BYTES LOST");
  }
  std::sort(ratios, ratios + 3);
  printf("  median ratio %.2f\n", ratios[1]);
  PostMessageA(hMainWnd, WM_COMMAND, 32832, 0);
  ui.join();
  SimDeviceStop(device);
  VirtualFree(data, 0, MEM_RELEASE);
  return intact ? 0 : 1;
}
