// Throughput of the IEEE1284 block sender against a plain overlapped WriteFile loop, both
// writing 64 MiB to the same simulated printer behind "\\.\KELVLPT1".
#include "tests/bench/bench.h"
#include "ports/ieee1284/ieee1284.h"
#include "sim/device_host.h"
#include "sim/parallel.h"
#include <string>

const uint32_t TOTAL = 64u << 20;
const uint32_t BLOCK = 64 * 1024;

static SimDevice* device;
static Printer printer;
static ParallelDevice port;

// The printer's count, reset to 0 when asked.
static long long Held(bool reset = false) {
  SimDeviceLock(device);
  if (reset) PrinterReset(printer);
  long long bytes = printer.bytes;
  SimDeviceUnlock(device);
  return bytes;
}

static double Arrived(double start) {
  return RateOnArrival(start, TOTAL, [] { return Held() == TOTAL; });
}

static double SendThroughDriver(unsigned char* data) {
  for (DWORD start = GetTickCount(); !Ieee1284Open(); Sleep(20))
    if (GetTickCount() - start > 3000) return 0;
  Held(true);
  ConnectionBlock block = BlockSendSetup(IF_IEEE1284, data, TOTAL, BLOCK, 1);
  double start = Now();
  int sent = Ieee1284Driver.blockSender(&block, 1);
  double rate = Arrived(start);
  Ports[IF_IEEE1284].sending = 2;
  Ieee1284Close(0);
  return sent == 1 ? rate : 0;
}

// The yardstick: the same device, one overlapped write of a block at a time. The simulator
// serves one client at a time and takes a moment to serve the next.
static double SendPlain(const unsigned char* data) {
  HANDLE h = INVALID_HANDLE_VALUE;
  for (DWORD start = GetTickCount(); h == INVALID_HANDLE_VALUE && GetTickCount() - start < 3000; Sleep(20))
    h = CreateFileA("\\\\.\\KELVLPT1", GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, NULL);
  if (h == INVALID_HANDLE_VALUE) return 0;
  Held(true);
  double start = Now();
  PlainWrites(h, data, TOTAL, BLOCK, true);
  double rate = Arrived(start);
  CloseHandle(h);
  return rate;
}

int main() {
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
  if (!BenchStart("tarvex-bench")) return 1;
  std::string bytes = FloodBytes((int)TOTAL, 1);
  unsigned char* data = (unsigned char*)&bytes[0];
  printf("IEEE1284, %u-byte blocks, high-speed on, %u MiB each:\n", BLOCK, TOTAL >> 20);
  bool intact = BenchRounds(3, {{"block sender", [&] { return SendThroughDriver(data); }},
                                {"plain WriteFile loop", [&] { return SendPlain(data); }}});
  BenchEnd();
  SimDeviceStop(device);
  return intact ? 0 : 1;
}
