// Throughput of the TCP/IP block sender against a plain blocking sender, both sending
// 256 MiB to the in-process simulated printer over loopback.
#include "app/app.h"
#include "common/settings.h"
#include "common/state.h"
#include "ports/tcpip/tcpip.h"
#include "send/engine.h"
#include "sim/server.h"
#include <stdio.h>
#include <algorithm>
#include <string>
#include <thread>

const uint32_t TOTAL = 256u << 20;

struct Run {
  double seconds;
  double cpuSeconds;  // of the sending thread
  bool intact;
};

static bool WaitUntil(bool (*condition)(), DWORD ms) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(1))
    if (condition()) return true;
  return condition();
}

static double Now() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return (double)count.QuadPart / frequency.QuadPart;
}

static double ThreadCpu() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  ULARGE_INTEGER k = {{kernel.dwLowDateTime, kernel.dwHighDateTime}}, u = {{user.dwLowDateTime, user.dwHighDateTime}};
  return (k.QuadPart + u.QuadPart) / 1e7;
}

static uint64_t expectedHash;

static bool AllArrived() { return SimGetStats().bytes >= (long long)TOTAL; }

static Run Finish(double start, double cpuStart) {
  bool arrived = WaitUntil(AllArrived, 120000);
  Run run = {Now() - start, ThreadCpu() - cpuStart, false};
  SimStats stats = SimGetStats();
  run.intact = arrived && stats.bytes == (long long)TOTAL && stats.hash == expectedHash;
  return run;
}

static bool TcpipConnected() { return TcpState == 1 && Ports[IF_TCPIP].connected == 1; }

// The program's own path: the TCP/IP connect and its block sender.
static Run SendThroughDriver(unsigned char* data, uint32_t blockSize, int highSpeed) {
  Run failed = {0, 0, false};
  if (!TcpipConnect(hMainWnd, 1) || !WaitUntil(TcpipConnected, 5000)) return failed;
  SimReset();
  ConnectionBlock block = {};
  block.bytesRead = block.fileSize = TOTAL;
  FileData = data;
  BlockSizeBytes = blockSize;
  HighSpeed = highSpeed;
  BytesSent = 0;
  StopRequest = 0;
  Ports[IF_TCPIP].sending = 1;
  double start = Now(), cpu = ThreadCpu();
  int sent = TcpipDriver.blockSender(&block, 1);
  Run run = Finish(start, cpu);
  run.intact = run.intact && sent == 1;
  TcpipCloseConnection(hMainWnd);
  return run;
}

// The yardstick: a blocking socket and a send() loop.
static Run SendPlain(int port, const unsigned char* data, uint32_t blockSize) {
  Run failed = {0, 0, false};
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons((u_short)port);
  address.sin_addr.s_addr = inet_addr("127.0.0.1");
  if (connect(s, (sockaddr*)&address, sizeof address) != 0) return failed;
  SimReset();
  double start = Now(), cpu = ThreadCpu();
  for (uint32_t done = 0; done < TOTAL;) {
    int length = (int)(TOTAL - done < blockSize ? TOTAL - done : blockSize);
    int sent = send(s, (const char*)data + done, length, 0);
    if (sent <= 0) break;
    done += sent;
  }
  Run run = Finish(start, cpu);
  closesocket(s);
  return run;
}

static double Rate(const Run& run) { return run.seconds > 0 ? TOTAL / 1048576.0 / run.seconds : 0; }

static void Print(const char* name, const Run& run) {
  printf("  %-34s %8.1f MiB/s  %6.2f s  cpu %6.2f s  %s\n", name, Rate(run), run.seconds, run.cpuSeconds,
         run.intact ? "bytes intact" : "BYTES LOST OR CHANGED");
}

// Loopback figures under Wine vary by a fifth from run to run, so each pair runs
// three times and the median ratio is the one to read.
static bool Compare(int port, unsigned char* data, uint32_t blockSize, int highSpeed) {
  printf("%u-byte blocks, high-speed %s:\n", blockSize, highSpeed ? "on" : "off (progress shown)");
  double ratios[3];
  bool intact = true;
  for (double& ratio : ratios) {
    Run driver = SendThroughDriver(data, blockSize, highSpeed);
    Print("TCP/IP block sender", driver);
    Run plain = SendPlain(port, data, blockSize);
    Print("plain blocking send() loop", plain);
    ratio = Rate(plain) > 0 ? Rate(driver) / Rate(plain) : 0;
    printf("  ratio %.2f\n", ratio);
    intact = intact && driver.intact && plain.intact;
  }
  std::sort(ratios, ratios + 3);
  printf("  median ratio %.2f\n", ratios[1]);
  return intact;
}

static bool WindowReady() { return hMainWnd != NULL && hLogList != NULL; }

int main() {
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  lstrcatA(folder, "tarvex-bench");
  CreateDirectoryA(folder, NULL);
  SetCurrentDirectoryA(folder);

  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  int port = SimStart("127.0.0.1", 0);
  if (!port) {
    printf("the simulated printer cannot listen\n");
    return 1;
  }
  SimSetKeep(0);
  std::thread ui([] { AppRun(GetModuleHandleA(NULL), SW_HIDE); });
  if (!WaitUntil(WindowReady, 10000)) {
    printf("the main window did not start\n");
    return 1;
  }
  lstrcpyA(TcpAddress, "127.0.0.1");
  snprintf(TcpPort, sizeof TcpPort, "%d", port);

  unsigned char* data = (unsigned char*)VirtualAlloc(NULL, TOTAL, MEM_COMMIT, PAGE_READWRITE);
  for (uint32_t i = 0; i < TOTAL; i++) data[i] = (unsigned char)(i * 2654435761u >> 24);
  expectedHash = Fnv1a64(data, TOTAL);

  bool intact = Compare(port, data, 64 * 1024, 1);
  intact = Compare(port, data, 4096, 0) && intact;

  PostMessageA(hMainWnd, WM_COMMAND, 32832, 0);
  ui.join();
  SimStop();
  VirtualFree(data, 0, MEM_RELEASE);
  return intact ? 0 : 1;
}
