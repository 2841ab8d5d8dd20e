// What the benchmarks share: a fine clock, the program started the way a user starts it,
// a file handed to a driver's block sender the way the send job hands it over, and rounds
// that run the driver and its plain yardsticks against the same printer in the same run.
#pragma once
#include <windows.h>
#include <stdio.h>
#include <algorithm>
#include <functional>
#include <thread>
#include <vector>
#include "app/app.h"
#include "common/resource.h"
#include "common/state.h"
#include "send/engine.h"

static inline double Now() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return (double)count.QuadPart / frequency.QuadPart;
}

static inline double CpuSeconds(const FILETIME& kernel, const FILETIME& user) {
  ULARGE_INTEGER k = {{kernel.dwLowDateTime, kernel.dwHighDateTime}}, u = {{user.dwLowDateTime, user.dwHighDateTime}};
  return (k.QuadPart + u.QuadPart) / 1e7;
}

static inline double ThreadCpu(HANDLE thread) {
  FILETIME created, exited, kernel = {}, user = {};  // 0 for a thread that is not there
  GetThreadTimes(thread, &created, &exited, &kernel, &user);
  return CpuSeconds(kernel, user);
}

static inline double ProcessCpu() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  return CpuSeconds(kernel, user);
}

static std::thread benchUi;

// The program in a temporary folder of its own, so its settings file lands there; false
// when its window did not come up.
static inline bool BenchStart(const char* folderName, int show = SW_HIDE) {
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  lstrcatA(folder, folderName);
  CreateDirectoryA(folder, NULL);
  SetCurrentDirectoryA(folder);
  benchUi = std::thread([show] { AppRun(GetModuleHandleA(NULL), show); });
  for (DWORD start = GetTickCount(); !(hMainWnd && hLogList); Sleep(10)) {
    if (GetTickCount() - start > 10000) {
      printf("the main window did not start\n");
      benchUi.detach();
      return false;
    }
  }
  return true;
}

static inline void BenchEnd() {
  PostMessageA(hMainWnd, WM_COMMAND, IDM_END, 0);
  benchUi.join();
}

static inline bool WaitUntil(const std::function<bool()>& condition, DWORD ms = 10000) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(1))
    if (condition()) return true;
  return condition();
}

// A visible dialog of this process: the Wine prefix may run other programs with the same dialogs.
static inline HWND Dialog(const char* title) {
  HWND dlg = NULL;
  WaitUntil([&] {
    DWORD process = 0;
    while ((dlg = FindWindowExA(NULL, dlg, "#32770", title)) && GetWindowThreadProcessId(dlg, &process))
      if (process == GetCurrentProcessId() && IsWindowVisible(dlg)) return true;
    return false;
  });
  return dlg;
}

static inline HWND OpenDialog(int command, const char* title) {
  PostMessageA(hMainWnd, WM_COMMAND, command, 0);
  return Dialog(title);
}

static inline void Click(HWND dlg, int id) { PostMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }

static inline void SetCheck(HWND dlg, int id, bool on) {
  auto checked = [&] { return (IsDlgButtonChecked(dlg, id) == BST_CHECKED) == on; };
  if (checked()) return;
  Click(dlg, id);
  WaitUntil(checked, 2000);
}

// The combo box's entry of this label selected; false when it has none.
static inline bool Choose(HWND dlg, int id, const char* label) {
  LRESULT index = SendDlgItemMessageA(dlg, id, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)label);
  return index != CB_ERR && SendDlgItemMessageA(dlg, id, CB_SETCURSEL, index, 0) != CB_ERR;
}

// Ctrl+T and its dialog filled as a user does; true once connected.
static inline bool ConnectTcpip(const char* port, bool bidirectional) {
  HWND dlg = OpenDialog(IDM_TCPIP, "TCP/IP(Network)");
  if (!dlg) return false;
  SetDlgItemTextA(dlg, IDC_TCP_HOST, "127.0.0.1");
  SetDlgItemTextA(dlg, IDC_TCP_PORT, port);
  SetCheck(dlg, IDC_TCP_BIDIR, bidirectional);
  Click(dlg, IDOK);
  return WaitUntil([] { return TcpState == 1 && Ports[IF_TCPIP].connected == 1; });
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

// MiB/s of `bytes` from `start` until the printer holds them all, polled every `pollMs`;
// 0 when they are not all there, intact, within two minutes.
static inline double RateOnArrival(double start, uint32_t bytes, const std::function<bool()>& arrived,
                                   DWORD pollMs = 1) {
  for (DWORD begun = GetTickCount(); !arrived() && GetTickCount() - begun < 120000;) Sleep(pollMs);
  double seconds = Now() - start;
  return arrived() ? bytes / 1048576.0 / seconds : 0;
}

// The plain yardsticks' loop: `total` bytes in `block` pieces, each write waited for before
// the next, overlapped when the handle needs it. Returns the bytes written.
static inline uint32_t PlainWrites(HANDLE h, const unsigned char* data, uint32_t total, uint32_t block,
                                   bool overlapped) {
  OVERLAPPED o = {};
  OVERLAPPED* record = overlapped ? &o : NULL;
  if (record) o.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
  uint32_t done = 0;
  while (done < total) {
    DWORD written = 0;
    BOOL ok = WriteFile(h, data + done, std::min(block, total - done), record ? NULL : &written, record);
    if (record && (ok || GetLastError() == ERROR_IO_PENDING)) ok = GetOverlappedResult(h, record, &written, TRUE);
    if (!ok || !written) break;
    done += written;
  }
  if (record) CloseHandle(o.hEvent);
  return done;
}

struct BenchSender {
  const char* name;
  std::function<double()> rate;  // MiB/s, 0 when bytes were lost or changed
};

// Each round runs every sender once and prints their rates; every other round runs them in
// reverse, so that what one run leaves behind (freed memory, a printer still closing the
// last connection) does not always fall on the same sender. Figures vary from run to run
// on a shared machine, so the median ratio of the first sender to each other one is the
// figure to read. False when any sender lost or changed bytes.
static inline bool BenchRounds(int rounds, const std::vector<BenchSender>& senders) {
  std::vector<std::vector<double>> ratios(senders.size());
  bool intact = true;
  for (int round = 0; round < rounds; round++) {
    std::vector<double> rates(senders.size());
    for (size_t n = 0; n < senders.size(); n++) {
      size_t i = round % 2 ? senders.size() - 1 - n : n;
      rates[i] = senders[i].rate();
      intact = intact && rates[i] > 0;
    }
    for (size_t i = 0; i < senders.size(); i++) {
      if (i > 0) ratios[i].push_back(rates[i] > 0 ? rates[0] / rates[i] : 0);
      printf("  %s %7.1f MiB/s", senders[i].name, rates[i]);
    }
    printf("\n");
  }
  for (size_t i = 1; i < senders.size(); i++) {
    std::sort(ratios[i].begin(), ratios[i].end());
    printf("  median ratio to the %s %.2f\n", senders[i].name, ratios[i][rounds / 2]);
  }
  if (!intact) printf("  BYTES LOST OR CHANGED\n");
  return intact;
}
