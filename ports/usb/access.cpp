#include "ports/usb/access.h"

#include <cstdio>
#include <cstdlib>
#include "common/state.h"
#include "platform/device.h"

volatile HANDLE UsbWritePipe = INVALID_HANDLE_VALUE, UsbReadPipe = INVALID_HANDLE_VALUE;
UsbPipeUsers UsbPipeGate;

static const DWORD IOCTL_DEVICE_ID = 0x0016000C, IOCTL_VENDOR_SET = 0x00220038, IOCTL_VENDOR_GET = 0x0022003C;

// One lock for the handle table and every record: close and reopen never free or swap
// what a request on another thread is using.
static UsbHandleTable handles;

static CRITICAL_SECTION* TableLock() {
  static CRITICAL_SECTION lock;
  static int ready = (InitializeCriticalSection(&lock), 1);
  (void)ready;
  return &lock;
}

UsbAccessRecord* UsbAccessLock(HANDLE handle) {
  EnterCriticalSection(TableLock());
  UsbAccessRecord* record = (UsbAccessRecord*)UsbHandleFind(&handles, (uintptr_t)handle);
  if (!record) LeaveCriticalSection(TableLock());
  return record;
}

void UsbAccessUnlock(UsbAccessRecord*) { LeaveCriticalSection(TableLock()); }

static void CloseValid(HANDLE* h) {
  if (*h != INVALID_HANDLE_VALUE && *h) CloseHandle(*h);
  *h = INVALID_HANDLE_VALUE;
}

static void Drop(char** text) {
  free(*text);
  *text = NULL;
}

// The whole "Port Number" value decides, not its first byte (see UsbPortNumber).
static int InterfaceIsPort(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* iface, const char* portName) {
  HKEY key = Device.SetupDiOpenDeviceInterfaceRegKey(set, iface, 0, KEY_READ);
  if (key == (HKEY)INVALID_HANDLE_VALUE || !key) return 0;
  unsigned char value[4096];
  DWORD length = sizeof value;
  LONG read = RegQueryValueExA(key, "Port Number", NULL, NULL, value, &length);
  RegCloseKey(key);
  uint32_t number;
  return read == ERROR_SUCCESS && UsbPortNumber(value, length, &number) && UsbPortMatches(number, portName);
}

static char* InterfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* iface) {
  DWORD size = 0;
  Device.SetupDiGetDeviceInterfaceDetailA(set, iface, NULL, 0, &size, NULL);
  if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) || size > 65536) return NULL;
  SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail = (SP_DEVICE_INTERFACE_DETAIL_DATA_A*)calloc(1, size + 1);
  if (!detail) return NULL;
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  char* path = NULL;
  if (Device.SetupDiGetDeviceInterfaceDetailA(set, iface, detail, size, NULL, NULL)) path = UsbCopyText(detail->DevicePath);
  free(detail);
  return path;
}

// The control handle of the printer on this port, and its device path; invalid when none.
static HANDLE UsbAccessFindPrinter(const char* portName, char** devicePath) {
  *devicePath = NULL;
  HDEVINFO set = Device.SetupDiGetClassDevsA(&DeviceUsbPrinterClass, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
  HANDLE control = INVALID_HANDLE_VALUE;
  SP_DEVICE_INTERFACE_DATA iface;
  for (DWORD i = 0; control == INVALID_HANDLE_VALUE; i++) {
    iface.cbSize = sizeof iface;
    if (!Device.SetupDiEnumDeviceInterfaces(set, NULL, &DeviceUsbPrinterClass, i, &iface)) break;
    if (!InterfaceIsPort(set, &iface, portName)) continue;
    char* path = InterfacePath(set, &iface);
    if (!path) break;
    control = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED, NULL);
    if (control == INVALID_HANDLE_VALUE) free(path);
    else *devicePath = path;
  }
  Device.SetupDiDestroyDeviceInfoList(set);
  return control;
}

static int ReadDriverName(const char* printerName, char* driver, DWORD size) {
  char keyName[400];
  snprintf(keyName, sizeof keyName, "System\\CurrentControlSet\\Control\\Print\\Printers\\%s", printerName);
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD type, length = size - 1;
  LONG read = RegQueryValueExA(key, "Printer Driver", NULL, &type, (BYTE*)driver, &length);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS || type != REG_SZ) return 0;
  driver[length < size ? length : size - 1] = 0;
  return driver[0] != 0;
}

static void UsbAccessReadSettings(const char* printerName, UsbAccessRecord* record) {
  UsbSettingsDefaults(record->settings);
  char driver[260], keyName[400];
  if (!ReadDriverName(printerName, driver, sizeof driver)) return;
  snprintf(keyName, sizeof keyName, "Software\\Velmora\\%s\\MORVANDE\\%s\\Settings", driver, "1.0");
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  for (int i = 0; i < USB_SETTINGS; i++) {
    unsigned char data[4];
    DWORD length = sizeof data;
    int found = RegQueryValueExA(key, UsbSettingNames[i], NULL, NULL, data, &length) == ERROR_SUCCESS;
    record->settings[i] = UsbSettingValue(i, found, data, length);
  }
  RegCloseKey(key);
}

static void ClosePipes(UsbAccessRecord* r) {
  CloseValid(&r->writePipe);
  CloseValid(&r->readPipe);
  Drop(&r->writePipePath);
  Drop(&r->readPipePath);
}

// Opens both pipes of the device path and publishes them; 0 with everything released
// when either cannot be had, -140 when a path cannot be allocated.
static int OpenPipes(UsbAccessRecord* r, const char* devicePath) {
  r->writePipePath = UsbPipePath(devicePath, 0);
  r->readPipePath = UsbPipePath(devicePath, 1);
  if (!r->writePipePath || !r->readPipePath) {
    ClosePipes(r);
    return USB_NO_MEMORY;
  }
  r->writePipe = CreateFileA(r->writePipePath, GENERIC_WRITE, FILE_SHARE_WRITE, NULL, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, NULL);
  r->readPipe = CreateFileA(r->readPipePath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, NULL);
  UsbWritePipe = r->writePipe;
  UsbReadPipe = r->readPipe;
  if (r->writePipe != INVALID_HANDLE_VALUE && r->readPipe != INVALID_HANDLE_VALUE) return 1;
  ClosePipes(r);
  UsbWritePipe = UsbReadPipe = INVALID_HANDLE_VALUE;
  return 0;
}

static void ReleaseRecord(UsbAccessRecord* r) {
  CloseValid(&r->control);
  Drop(&r->devicePath);
  ClosePipes(r);
  Drop(&r->portName);
  if (r->mutex) CloseHandle(r->mutex);
  free(r);
}

int UsbAccessOpen(HANDLE* handle, const char* printerName, const char* portName) {
  if (!handle) return USB_BAD_ARGUMENT;
  *handle = INVALID_HANDLE_VALUE;
  char* devicePath;
  HANDLE control = UsbAccessFindPrinter(portName, &devicePath);
  if (control == INVALID_HANDLE_VALUE) return USB_BAD_ARGUMENT;
  UsbAccessRecord* r = (UsbAccessRecord*)calloc(1, sizeof *r);
  if (!r) {
    CloseHandle(control);
    free(devicePath);
    return USB_BAD_ARGUMENT;
  }
  r->size = sizeof *r;
  r->control = control;
  r->devicePath = devicePath;
  r->writePipe = r->readPipe = INVALID_HANDLE_VALUE;
  r->portName = UsbCopyText(portName);
  if (UsbPipeGate.quiesce) UsbPipeGate.quiesce();
  int opened = r->portName ? OpenPipes(r, devicePath) : USB_NO_MEMORY;
  if (UsbPipeGate.resume) UsbPipeGate.resume();
  if (opened != 1) {
    ReleaseRecord(r);
    return opened < 0 ? opened : USB_BAD_ARGUMENT;
  }
  UsbAccessReadSettings(printerName, r);
  r->mutex = CreateMutexA(NULL, FALSE, "Mutex_Object_Morvande");
  EnterCriticalSection(TableLock());
  uintptr_t h = UsbHandleAdd(&handles, r);
  LeaveCriticalSection(TableLock());
  if (!h) {
    ReleaseRecord(r);
    return USB_BAD_ARGUMENT;
  }
  *handle = (HANDLE)h;
  return 0;
}

int UsbAccessClose(HANDLE handle) {
  UsbAccessRecord* r = UsbAccessLock(handle);
  if (!r) return USB_BAD_HANDLE;
  UsbHandleRemove(&handles, (uintptr_t)handle);
  if (UsbPipeGate.quiesce) UsbPipeGate.quiesce();
  if (UsbWritePipe == r->writePipe) UsbWritePipe = INVALID_HANDLE_VALUE;
  if (UsbReadPipe == r->readPipe) UsbReadPipe = INVALID_HANDLE_VALUE;
  ReleaseRecord(r);
  if (UsbPipeGate.resume) UsbPipeGate.resume();
  UsbAccessUnlock(NULL);
  return 0;
}

// Finds the printer of the record's port again, as after an unplug; 1 when it is open.
static int UsbAccessReopen(UsbAccessRecord* r) {
  if (UsbPipeGate.quiesce) UsbPipeGate.quiesce();
  CloseValid(&r->control);
  Drop(&r->devicePath);
  ClosePipes(r);
  UsbWritePipe = UsbReadPipe = INVALID_HANDLE_VALUE;
  char* devicePath;
  HANDLE control = UsbAccessFindPrinter(r->portName, &devicePath);
  int opened = control != INVALID_HANDLE_VALUE && OpenPipes(r, devicePath) == 1;
  if (opened) {
    r->control = control;
    r->devicePath = devicePath;
  } else {
    CloseValid(&control);
    free(devicePath);
  }
  if (UsbPipeGate.resume) UsbPipeGate.resume();
  return opened;
}

// A device-control request under the retry rule: one reopen and one more attempt after a
// failure that is not "pending". A printer that was away at an earlier reopen left the
// record without a control handle; it is looked for again the same way, so a printer
// plugged back is found. 1, or 0 with the platform error in *error.
static int Request(UsbAccessRecord* r, DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                   DWORD* returned, DWORD* error) {
  for (int attempt = 0; attempt < 2; attempt++) {
    *returned = 0;
    *error = ERROR_INVALID_HANDLE;
    if (r->control != INVALID_HANDLE_VALUE) {
      if (DeviceRequest(r->control, code, (void*)in, inLength, out, outLength, returned, DEVICE_REQUEST_MS)) return 1;
      *error = GetLastError();
    }
    if (attempt > 0 || *error == 0 || *error == ERROR_SEM_TIMEOUT || !UsbAccessReopen(r)) return 0;
  }
  return 0;
}

int UsbAccessGetDeviceId(HANDLE handle, unsigned char* buffer, DWORD size, DWORD* count, DWORD timeLimit) {
  if (!count) return USB_BAD_ARGUMENT;
  *count = 0;
  UsbAccessRecord* r = UsbAccessLock(handle);
  if (!r) return USB_BAD_HANDLE;
  int pause = timeLimit > r->settings[DEVICE_ID_READ_TIMEOUT] + 500;
  DWORD start = GetTickCount(), returned, error;
  int result = 0;
  do {
    if (!Request(r, IOCTL_DEVICE_ID, NULL, 0, buffer, size, &returned, &error)) {
      result = USB_DEVICE_ID_FAILED;
      break;
    }
    if (returned >= 2) {
      *count = returned < size ? returned : size;
      break;
    }
    if (pause) Sleep(500);
  } while (GetTickCount() - start < timeLimit);
  UsbAccessUnlock(r);
  return result;
}

static int StatusRequest(HANDLE handle, DWORD code, const unsigned char* in, DWORD inLength, unsigned char* answer) {
  UsbAccessRecord* r = UsbAccessLock(handle);
  if (!r) return USB_BAD_HANDLE;
  DWORD returned, error;
  int done = Request(r, code, in, inLength, answer, 4, &returned, &error) && returned >= 1;
  if (done) r->statusByte = answer[0];
  UsbAccessUnlock(r);
  return done ? 0 : USB_REQUEST_FAILED;
}

int UsbAccessReadStatus(HANDLE handle, unsigned char* answer) {
  static const unsigned char in[7] = {0, 0, 0, 0, 0, 0, 1};
  return StatusRequest(handle, IOCTL_VENDOR_GET, in, sizeof in, answer);
}

int UsbAccessClearBuffer(HANDLE handle, unsigned char* answer) {
  static const unsigned char in[19] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'};
  return StatusRequest(handle, IOCTL_VENDOR_SET, in, sizeof in, answer);
}

// ---- Blocking transfers on the pipes, for callers without their own I/O.

// Waits for an overlapped transfer until it completes or `idleMs` pass without its count
// changing; then cancels it and collects what it moved. 1 when it completed.
static int AwaitTransfer(HANDLE pipe, OVERLAPPED* o, DWORD idleMs, DWORD* moved, DWORD* error) {
  DWORD lastChange = GetTickCount();
  ULONG_PTR lastCount = 0;
  for (;;) {
    if (WaitForSingleObject(o->hEvent, 20) == WAIT_OBJECT_0) break;
    if (o->InternalHigh != lastCount) lastCount = o->InternalHigh, lastChange = GetTickCount();
    if (GetTickCount() - lastChange > idleMs) {
      CancelIo(pipe);
      break;
    }
  }
  BOOL done = GetOverlappedResult(pipe, o, moved, TRUE);
  *error = done ? 0 : GetLastError();
  return done;
}

// One overlapped transfer on a pipe: 1 with the count moved, 0 with the platform error.
static int Transfer(HANDLE pipe, int write, unsigned char* data, DWORD length, DWORD idleMs, DWORD* moved, DWORD* error) {
  OVERLAPPED o = {};
  o.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
  *moved = 0;
  if (!o.hEvent) {
    *error = GetLastError();
    return 0;
  }
  BOOL started = write ? WriteFile(pipe, data, length, NULL, &o) : ReadFile(pipe, data, length, NULL, &o);
  *error = started ? 0 : GetLastError();
  int done = (started || *error == ERROR_IO_PENDING) && AwaitTransfer(pipe, &o, idleMs, moved, error);
  if (!done && *error == ERROR_OPERATION_ABORTED) done = 1;  // the idle limit: what arrived counts
  CloseHandle(o.hEvent);
  return done;
}

// Piece by piece, each of at most TransferBlockSize bytes; a piece that does not go out
// whole ends the write as failed, with *written telling how far it got.
int UsbAccessWrite(HANDLE handle, const unsigned char* data, DWORD length, DWORD* written, DWORD timeLimit) {
  if (!written) return USB_BAD_ARGUMENT;
  *written = 0;
  UsbAccessRecord* r = UsbAccessLock(handle);
  if (!r) return USB_BAD_HANDLE;
  DWORD limit = timeLimit ? timeLimit : r->settings[WRITE_RETRY_TIMEOUT];
  int result = 0;
  while (*written < length) {
    DWORD piece = length - *written < r->settings[TRANSFER_BLOCK_SIZE] ? length - *written : r->settings[TRANSFER_BLOCK_SIZE];
    DWORD moved = 0, error;
    int done = r->control != INVALID_HANDLE_VALUE &&
               Transfer(r->writePipe, 1, (unsigned char*)data + *written, piece, limit, &moved, &error);
    *written += moved;
    if (!done || moved < piece) {
      result = USB_TRANSFER_FAILED;
      break;
    }
    if (*written < length && Ports[IF_USB].interval > 0) Sleep(Ports[IF_USB].interval);
  }
  UsbAccessUnlock(r);
  return result;
}

// Reads until a read brings nothing, the buffer is full or the time limit passed. A read
// that fails is retried once after a reopen; a failure that stays is reported as one.
int UsbAccessRead(HANDLE handle, unsigned char* buffer, DWORD length, DWORD* read, DWORD timeLimit) {
  if (!read) return USB_BAD_ARGUMENT;
  *read = 0;
  UsbAccessRecord* r = UsbAccessLock(handle);
  if (!r) return USB_BAD_HANDLE;
  DWORD limit = timeLimit ? timeLimit : r->settings[READ_RETRY_TIMEOUT], start = GetTickCount();
  int result = 0, reopened = 0;
  while (*read < length && GetTickCount() - start <= limit) {
    DWORD moved = 0, error = ERROR_INVALID_HANDLE;
    int done = r->control != INVALID_HANDLE_VALUE &&
               Transfer(r->readPipe, 0, buffer + *read, length - *read, r->settings[READ_INTERVAL_TIMEOUT], &moved, &error);
    *read += moved;
    if (!done && !reopened++ && UsbAccessReopen(r)) continue;
    if (!done) {
      result = USB_TRANSFER_FAILED;
      break;
    }
    if (moved == 0) break;
  }
  UsbAccessUnlock(r);
  return result;
}
