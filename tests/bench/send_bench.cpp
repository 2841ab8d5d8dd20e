// Throughput of a send job as a user runs it — the block transmission dialog, the send
// thread and the TCP/IP driver — to the simulated printer in another process, against a
// plain blocking send() loop to the same printer. Both are timed from the file on disk
// to the printer holding every byte (the close waits for it). tests/bench/run starts the
// printer, runs this with its port and compares the printer's count and hash with ours.
#include "tests/bench/bench.h"
#include "ports/tcpip/tcpip.h"
#include "sim/printer.h"
#include <shlobj.h>
#include <stdlib.h>
#include <string>

const uint32_t FILE_BYTES = 64u << 20;
static char path[MAX_PATH], portText[16];

static void Drop(HWND dlg) {
  size_t length = strlen(path) + 2;
  HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + length);
  DROPFILES* files = (DROPFILES*)GlobalLock(drop);
  files->pFiles = sizeof(DROPFILES);
  memcpy(files + 1, path, length - 2);
  GlobalUnlock(drop);
  SendMessageA(dlg, WM_DROPFILES, (WPARAM)drop, 0);
}

static double Failed(const char* what) {
  printf("  the send job failed: %s\n", what);
  return 0;
}

// Seconds for the job and the disconnection after it, or 0 when it failed.
static double SendThroughJob(const char* blockKbytes, int highSpeed) {
  if (!ConnectTcpip(portText, false)) return Failed("no connection");
  KbyteFlag = 1;  // the dialog opens with the options of the last job
  HighSpeed = highSpeed;
  PostMessageA(hMainWnd, WM_COMMAND, IDM_BLOCK, 0);
  HWND dlg = Dialog("Block transmission");
  // Waited for, never polled: a poller would take its share of the two cores from the job.
  HANDLE job = NULL;
  if (!dlg || !DuplicateHandle(GetCurrentProcess(), SendThreadHandle, GetCurrentProcess(), &job, SYNCHRONIZE, FALSE, 0))
    return Failed("no job");
  SendDlgItemMessageA(dlg, IDC_BLK_LIST, LB_RESETCONTENT, 0, 0);
  Drop(dlg);
  SetDlgItemTextA(dlg, IDC_BLK_SIZE, blockKbytes);
  Ports[IF_TCPIP].sending = 0;
  Click(dlg, IDOK);
  // The job proper starts when the dialog has handed over; it loads the file, sends it and
  // ends, and the disconnection returns once the printer holds every byte.
  // The start is seen at once: a poller that slept would see it late and favour the job.
  for (DWORD begun = GetTickCount(); Ports[IF_TCPIP].sending != 1 && GetTickCount() - begun < 10000;) SwitchToThread();
  double start = Now();
  WaitForSingleObject(job, 300000);
  CloseHandle(job);
  int filesSent = FilesSent;
  SendMessageA(hMainWnd, WM_COMMAND, IDM_DISCONNECT, 0);
  double seconds = Now() - start;
  if (filesSent != 1) return Failed("the file was not sent");
  return TcpSocket == INVALID_SOCKET ? seconds : Failed("the connection did not close");
}

// The yardstick: read the file, a blocking socket and a send() loop, then the same close.
static double SendPlain(uint32_t blockSize) {
  double start = Now();
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  char* data = (char*)VirtualAlloc(NULL, FILE_BYTES, MEM_COMMIT, PAGE_READWRITE);
  DWORD read = 0;
  ReadFile(file, data, FILE_BYTES, &read, NULL);
  CloseHandle(file);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons((u_short)atoi(portText));
  address.sin_addr.s_addr = inet_addr("127.0.0.1");
  uint32_t done = 0;
  if (read == FILE_BYTES && connect(s, (sockaddr*)&address, sizeof address) == 0)
    for (int sent; done < FILE_BYTES && (sent = send(s, data + done, (int)std::min(blockSize, FILE_BYTES - done), 0)) > 0;)
      done += sent;
  shutdown(s, SD_SEND);
  char rest[4096];
  while (recv(s, rest, sizeof rest, 0) > 0) {
  }
  closesocket(s);
  VirtualFree(data, 0, MEM_RELEASE);
  double seconds = Now() - start;
  return done == FILE_BYTES ? seconds : 0;
}

static double Rate(double seconds) { return seconds > 0 ? FILE_BYTES / 1048576.0 / seconds : 0; }

// Loopback figures under Wine vary from run to run, and more so on a shared machine, so
// each pair runs seven times. Every run counts, failed or not: the printer may hold its bytes.
static bool Compare(const char* blockKbytes, int highSpeed, int* runs) {
  printf("%s KiB blocks, high-speed %s:\n", blockKbytes, highSpeed ? "on" : "off (progress shown)");
  auto job = [&] {
    ++*runs;
    return Rate(SendThroughJob(blockKbytes, highSpeed));
  };
  auto plain = [&] {
    ++*runs;
    return Rate(SendPlain(atoi(blockKbytes) * 1024));
  };
  return BenchRounds(7, {{"send job", job}, {"plain send()", plain}});
}

int main(int argc, char** argv) {
  if (argc < 2) {
    printf("usage: tarvex-bench PORT (the printer runs in another process: tests/bench/run)\n");
    return 2;
  }
  lstrcpynA(portText, argv[1], sizeof portText);
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  if (!BenchStart("tarvex-bench", SW_SHOW)) return 1;
  GetCurrentDirectoryA(sizeof path, path);
  lstrcatA(path, "\\bench.bin");
  std::string bytes(FILE_BYTES, '\0');
  for (uint32_t i = 0; i < FILE_BYTES; i++) bytes[i] = (char)(0x20 + (i * 2654435761u >> 24) % 0x5F);  // no PJL, no UEL
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  DWORD written = 0;
  WriteFile(file, bytes.data(), FILE_BYTES, &written, NULL);
  CloseHandle(file);
  int runs = 0;
  bool intact = Compare("64", 1, &runs);
  intact = Compare("4", 0, &runs) && intact;
  uint64_t hash = 14695981039346656037ULL;
  for (int i = 0; i < runs; i++) hash = Fnv1a64(bytes.data(), FILE_BYTES, hash);
  printf("expected at the printer: %lld bytes, hash %016llx\n", (long long)runs * FILE_BYTES, (unsigned long long)hash);
  BenchEnd();
  DeleteFileA(path);
  return intact ? 0 : 1;
}
