// Throughput of the RS-232C block sender against plain WriteFile loops on the same COM
// port, all sending to the simulated printer on the far end of the pty behind COM10.
#include "tests/bench/bench.h"
#include "ports/rs232c/rs232c.h"
#include "sim/printer.h"
#include "tests/win/rs232c_far_end.h"
#include <string>

const int COM = 10;
const uint32_t TOTAL = 64u << 20;
const uint32_t BLOCK = 64u << 10;

static std::string expected;  // the printer's count and hash once every byte arrived intact

// The far end is asked over a socket: polled gently, so the poll does not slow the sender.
static double Arrived(double start) {
  return RateOnArrival(start, TOTAL, [] { return FarEndAsk("stats") == expected; }, 10);
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
  FarEndAsk("reset");
  double start = Now();
  PlainWrites(port, data, TOTAL, BLOCK, flags & FILE_FLAG_OVERLAPPED);
  double rate = Arrived(start);
  CloseHandle(port);
  return rate;
}

int main() {
  // The printer built for benchmarks (no sanitizers, tests/bench/run makes it), so that
  // the far end is not what limits the rate; the test build's when there is none.
  const char* printer = "benchmark";
  if (!FarEndStart(COM, "bench") && !FarEndStart(COM, printer = "native")) {
    printf("the simulated printer did not start on COM%d (build/native/tarvex-sim)\n", COM);
    return 1;
  }
  if (!BenchStart("tarvex-rs232c-bench")) return 1;
  std::string data = FloodBytes((int)TOTAL, 1);
  expected = FarEndStatsOf(data);
  unsigned char* bytes = (unsigned char*)&data[0];
  printf("RS-232C, %u MiB to the %s printer on COM%d, %u-byte blocks, high-speed on:\n", TOTAL >> 20, printer, COM,
         BLOCK);
  bool intact = BenchRounds(5, {{"block sender", [&] { return ThroughDriver(bytes); }},
                                {"overlapped loop", [&] { return PlainWriteLoop(bytes, FILE_FLAG_OVERLAPPED); }},
                                {"synchronous loop", [&] { return PlainWriteLoop(bytes, 0); }}});
  BenchEnd();
  FarEndStop();
  return intact ? 0 : 1;
}
