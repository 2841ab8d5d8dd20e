// The Kelvane parallel-port driver, installed on demand: its files copied, its service
// created from Kelvane.dat and started, its registry values written.
#include "ports/ieee1284/ieee1284.h"

#include <stdio.h>
#include <string>
#include <vector>
#include "ports/ieee1284/setup_file.h"

static const char PARAMETER_KEY[] = "System\\CurrentControlSet\\Services\\Kelvane\\Parameters";
static const char* const requiredValues[] = {"BlockSize", "TransferType", "DosDevice", "UseNT35Priority",
                                             "BusyTime", "I-Prime"};
const DWORD SERVICE_WAIT_MS = 60000;
const DWORD SETUP_FILE_LIMIT = 1 << 20;

// A target too long for the buffer still means the name is defined.
static int DeviceNameDefined(DWORD* error) {
  char target[260];
  if (QueryDosDeviceA("KELVLPT1", target, sizeof target)) return 1;
  *error = GetLastError();
  return *error == ERROR_INSUFFICIENT_BUFFER;
}

static int CopyDriverFiles() {
  char current[MAX_PATH], system[MAX_PATH], from[MAX_PATH], to[MAX_PATH];
  DWORD n = GetCurrentDirectoryA(sizeof current, current);
  UINT m = GetSystemDirectoryA(system, sizeof system);
  if (n == 0 || n >= sizeof current || m == 0 || m >= sizeof system) return 0;
  if (snprintf(from, sizeof from, "%s\\Kelvane.dat", current) >= (int)sizeof from ||
      snprintf(to, sizeof to, "%s\\Kelvane.dat", system) >= (int)sizeof to || !CopyFileA(from, to, FALSE))
    return 0;
  return snprintf(from, sizeof from, "%s\\Kelvane.sys", current) < (int)sizeof from &&
         snprintf(to, sizeof to, "%s\\drivers\\Kelvane.sys", system) < (int)sizeof to && CopyFileA(from, to, FALSE);
}

// The installed setup file; empty when it cannot be read or is implausibly large.
static std::string InstalledSetupFile() {
  char path[MAX_PATH];
  UINT m = GetSystemDirectoryA(path, sizeof path);
  if (m == 0 || m + sizeof "\\Kelvane.dat" > sizeof path) return std::string();
  lstrcatA(path, "\\Kelvane.dat");
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string text;
  DWORD size = GetFileSize(file, NULL), got = 0;
  if (size != INVALID_FILE_SIZE && size <= SETUP_FILE_LIMIT) {
    text.resize(size);
    if (!ReadFile(file, &text[0], size, &got, NULL)) got = 0;
    text.resize(got);
  }
  CloseHandle(file);
  return text;
}

static SC_HANDLE CreateFromSetupFile(SC_HANDLE manager) {
  ServiceSetup s;
  ReadAddServices(InstalledSetupFile(), &s);
  DWORD tag = s.tag;
  return CreateServiceA(manager, "Kelvane", s.displayName.c_str(), SERVICE_ALL_ACCESS, s.serviceType, s.startType,
                        s.errorControl, s.binaryPathName.c_str(), s.loadOrderGroup.c_str(), s.hasTag ? &tag : NULL,
                        s.dependencies.data(), NULL, NULL);
}

static HKEY RootKey(int root) {
  static const HKEY roots[] = {NULL, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CURRENT_CONFIG, HKEY_USERS,
                               HKEY_CLASSES_ROOT};
  return roots[root];
}

static int WriteEntry(const RegEntry& e) {
  HKEY key;
  if (RegCreateKeyExA(RootKey(e.root), e.subKey.c_str(), 0, NULL, REG_OPTION_NON_VOLATILE, KEY_CREATE_SUB_KEY, NULL,
                      &key, NULL) == ERROR_SUCCESS)
    RegCloseKey(key);
  if (RegOpenKeyExA(RootKey(e.root), e.subKey.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
  LONG set = RegSetValueExA(key, e.valueName.c_str(), 0, e.type, (const BYTE*)e.data.data(), (DWORD)e.data.size());
  RegCloseKey(key);
  return set == ERROR_SUCCESS;
}

static int ApplyAddReg() {
  std::vector<RegEntry> entries;
  int complete = ReadAddReg(InstalledSetupFile(), &entries);
  for (const RegEntry& e : entries)
    if (!WriteEntry(e)) return 0;
  HKEY key;
  if (!complete || RegOpenKeyExA(HKEY_LOCAL_MACHINE, PARAMETER_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  int present = 1;
  for (const char* name : requiredValues)
    present = present && RegQueryValueExA(key, name, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
  RegCloseKey(key);
  return present;
}

// Polls with a short sleep, so a slow driver does not burn a core; bounded as a whole.
static void WaitServiceState(SC_HANDLE service, DWORD state, SERVICE_STATUS* status) {
  DWORD start = GetTickCount();
  while (status->dwCurrentState != state && GetTickCount() - start < SERVICE_WAIT_MS) {
    Sleep(20);
    if (!QueryServiceStatus(service, status)) return;
  }
}

static int StartDriverService() {
  SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
  if (!manager) return 0;
  SC_HANDLE service = OpenServiceA(manager, "Kelvane", SERVICE_ALL_ACCESS);
  if (!service && GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) service = CreateFromSetupFile(manager);
  SERVICE_STATUS status = {};
  if (service && QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_RUNNING) {
    if (!ApplyAddReg()) {
      ControlService(service, SERVICE_CONTROL_STOP, &status);
      QueryServiceStatus(service, &status);
      WaitServiceState(service, SERVICE_STOPPED, &status);
      DeleteService(service);
    } else if (StartServiceA(service, 0, NULL) || GetLastError() == ERROR_SERVICE_ALREADY_RUNNING) {
      WaitServiceState(service, SERVICE_RUNNING, &status);
    }
  }
  if (service) CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return status.dwCurrentState == SERVICE_RUNNING;
}

int ParallelDriverSetup(HWND owner) {
  DWORD error = 0;
  if (DeviceNameDefined(&error)) return 1;
  if (!CopyDriverFiles()) {
    MessageBoxA(owner, "file copy N.G.", "Error", MB_OK);
    return 0;
  }
  if (DeviceNameDefined(&error) ||
      (error == ERROR_FILE_NOT_FOUND && StartDriverService() && DeviceNameDefined(&error)))
    return 1;
  MessageBoxA(owner,
              "A file required in order to use LPT is not found. \n Please log in by the user with administrator "
              "authority. \n Please copy Kelvane.dat and an Kelvane.sys file into the same holder as a tool. \n "
              "Please open again.",
              "Error", MB_OK);
  return 0;
}
