#include "tests/win/rs232c_far_end.h"
#include "sim/printer.h"
#include <winsock2.h>
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

static SOCKET control = INVALID_SOCKET;
static std::string pending;  // bytes of the answer stream not yet handed out

// The native simulator sits beside the Windows build: build/<build> next to build/win.
static std::string SimulatorPath(const char* build) {
  char path[MAX_PATH];
  GetModuleFileNameA(NULL, path, sizeof path);
  std::string dir(path);
  dir = dir.substr(0, dir.find_last_of('\\'));
  return dir.substr(0, dir.find_last_of('\\')) + "\\" + build + "\\tarvex-sim";
}

static bool Readable(SOCKET s, int ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval wait = {ms / 1000, (ms % 1000) * 1000};
  return select(0, &set, NULL, NULL, &wait) == 1;
}

bool FarEndStart(int com, const char* build, const char* options) {
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (bind(listener, (sockaddr*)&address, sizeof address) != 0 || listen(listener, 1) != 0 ||
      getsockname(listener, (sockaddr*)&address, &length) != 0) {
    closesocket(listener);
    return false;
  }
  char command[MAX_PATH + 160];
  snprintf(command, sizeof command, "\"%s\" %s --quiet --com %d --control %d", SimulatorPath(build).c_str(), options,
           com, ntohs(address.sin_port));
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  // Wine starts a Unix program and hands back no process handle; the control
  // connection is how the test knows it runs, and how it ends it.
  bool started = CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process);
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);
  if (started && Readable(listener, 20000)) control = accept(listener, NULL, NULL);
  closesocket(listener);
  pending.clear();
  return control != INVALID_SOCKET;
}

void FarEndStop() {
  if (control != INVALID_SOCKET) closesocket(control);
  control = INVALID_SOCKET;
}

std::string FarEndAsk(const std::string& request, int ms) {
  std::string line = request + "\n";
  if (control == INVALID_SOCKET || send(control, line.data(), (int)line.size(), 0) != (int)line.size()) return "";
  for (DWORD start = GetTickCount(); GetTickCount() - start < (DWORD)ms;) {
    size_t end = pending.find('\n');
    if (end != std::string::npos) {
      std::string answer = pending.substr(0, end);
      pending.erase(0, end + 1);
      return answer;
    }
    if (!Readable(control, 50)) continue;
    char buf[65536];
    int got = recv(control, buf, sizeof buf, 0);
    if (got <= 0) break;
    pending.append(buf, got);
  }
  return "";
}

std::string FarEndStatsOf(const std::string& bytes) {
  char stats[64];
  unsigned long long hash = Fnv1a64(bytes.data(), bytes.size());
  snprintf(stats, sizeof stats, "%lld %016llx", (long long)bytes.size(), hash);
  return stats;
}

bool FarEndHolds(const std::string& bytes) { return FarEndAsk("stats") == FarEndStatsOf(bytes); }

void ListComPort(int com, bool listed) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports", 0, NULL, 0,
                      KEY_SET_VALUE, NULL, &key, NULL) != ERROR_SUCCESS)
    return;
  char name[16];
  snprintf(name, sizeof name, "COM%d:", com);
  if (listed)
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)"", 1);
  else
    RegDeleteValueA(key, name);
  RegCloseKey(key);
}
