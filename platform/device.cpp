#include "platform/device.h"

#include <winioctl.h>
#include <ntddscsi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "sim/control.h"

const GUID DeviceUsbPrinterClass = {0x28d78fad, 0x5a12, 0x11d1, {0xae, 0x5b, 0x00, 0x00, 0xf8, 0x03, 0xa8, 0xc2}};

namespace {

const DWORD kAnswerWaitMs = 5000;
const DEVINST kSimRoot = 0x7E000000;  // simulated node n is kSimRoot + n

// ---- The platform's functions, as this system offers them.

struct RealCalls {
  decltype(DeviceCalls::SetupDiGetClassDevsA) GetClassDevs;
  decltype(DeviceCalls::SetupDiEnumDeviceInterfaces) EnumInterfaces;
  decltype(DeviceCalls::SetupDiGetDeviceInterfaceDetailA) InterfaceDetail;
  decltype(DeviceCalls::SetupDiOpenDeviceInterfaceRegKey) OpenInterfaceKey;
  decltype(DeviceCalls::SetupDiDestroyDeviceInfoList) DestroyList;
  decltype(DeviceCalls::CM_Locate_DevNodeA) Locate;
  decltype(DeviceCalls::CM_Get_Child) Child;
  decltype(DeviceCalls::CM_Get_Sibling) Sibling;
  decltype(DeviceCalls::CM_Get_Parent) Parent;
  decltype(DeviceCalls::CM_Get_DevNode_Registry_PropertyA) Property;
};

HDEVINFO WINAPI NoClassDevs(const GUID*, PCSTR, HWND, DWORD) {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return INVALID_HANDLE_VALUE;
}
BOOL WINAPI NoEnum(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD, PSP_DEVICE_INTERFACE_DATA) {
  SetLastError(ERROR_NO_MORE_ITEMS);
  return FALSE;
}
BOOL WINAPI NoDetail(HDEVINFO, PSP_DEVICE_INTERFACE_DATA, PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD, PDWORD,
                     PSP_DEVINFO_DATA) {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}
HKEY WINAPI NoKey(HDEVINFO, PSP_DEVICE_INTERFACE_DATA, DWORD, REGSAM) {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return (HKEY)INVALID_HANDLE_VALUE;
}
BOOL WINAPI NoDestroy(HDEVINFO) { return TRUE; }
CONFIGRET WINAPI NoLocate(PDEVINST, DEVINSTID_A, ULONG) { return CR_CALL_NOT_IMPLEMENTED; }
CONFIGRET WINAPI NoRelative(PDEVINST, DEVINST, ULONG) { return CR_CALL_NOT_IMPLEMENTED; }
CONFIGRET WINAPI NoProperty(DEVINST, ULONG, PULONG, PVOID, PULONG, ULONG) { return CR_CALL_NOT_IMPLEMENTED; }

template <class F>
void Load(F* slot, HMODULE a, HMODULE b, const char* name) {
  FARPROC p = a ? GetProcAddress(a, name) : NULL;
  if (!p && b) p = GetProcAddress(b, name);
  if (p) *slot = (F)(void*)p;
}

const RealCalls& Real() {
  static RealCalls real = [] {
    RealCalls r = {NoClassDevs, NoEnum, NoDetail, NoKey, NoDestroy, NoLocate, NoRelative, NoRelative, NoRelative,
                   NoProperty};
    HMODULE setup = LoadLibraryA("setupapi.dll"), cm = LoadLibraryA("cfgmgr32.dll");
    Load(&r.GetClassDevs, setup, NULL, "SetupDiGetClassDevsA");
    Load(&r.EnumInterfaces, setup, NULL, "SetupDiEnumDeviceInterfaces");
    Load(&r.InterfaceDetail, setup, NULL, "SetupDiGetDeviceInterfaceDetailA");
    Load(&r.OpenInterfaceKey, setup, NULL, "SetupDiOpenDeviceInterfaceRegKey");
    Load(&r.DestroyList, setup, NULL, "SetupDiDestroyDeviceInfoList");
    Load(&r.Locate, cm, setup, "CM_Locate_DevNodeA");
    Load(&r.Child, cm, setup, "CM_Get_Child");
    Load(&r.Sibling, cm, setup, "CM_Get_Sibling");
    Load(&r.Parent, cm, setup, "CM_Get_Parent");
    Load(&r.Property, cm, setup, "CM_Get_DevNode_Registry_PropertyA");
    return r;
  }();
  return real;
}

struct Lock {
  static CRITICAL_SECTION* Section() {
    static CRITICAL_SECTION cs;
    static int ready = (InitializeCriticalSection(&cs), 1);
    (void)ready;
    return &cs;
  }
  Lock() { EnterCriticalSection(Section()); }
  ~Lock() { LeaveCriticalSection(Section()); }
};

// ---- Talking to a simulated device.

typedef BOOL(WINAPI* FileInfoFn)(HANDLE, int, LPVOID, DWORD);
typedef LONG(NTAPI* QueryObjectFn)(HANDLE, int, PVOID, ULONG, PULONG);

std::string Ansi(const WCHAR* w, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; i++) s += w[i] < 128 ? char(w[i]) : '?';
  return s;
}

// A connected pipe's name below the pipe device ("\tarvex-sim\N..."). Wine's server
// crashes when asked the object name of a pipe whose far end is gone, so the name comes
// from the file name query where the platform has it, and only connected pipes are asked.
std::string PipeName(HANDLE h) {
  static FileInfoFn fileInfo =
      (FileInfoFn)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFileInformationByHandleEx");
  static QueryObjectFn query = (QueryObjectFn)(void*)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryObject");
  DWORD flags;
  if (GetFileType(h) != FILE_TYPE_PIPE || !GetNamedPipeInfo(h, &flags, NULL, NULL, NULL)) return std::string();
  union {
    struct {
      DWORD length;
      WCHAR name[1];
    } file;
    struct {
      USHORT length, maximum;
      PWSTR buffer;
    } object;
    char bytes[2048];
  } info;
  if (fileInfo) {
    if (!fileInfo(h, 2 /* FileNameInfo */, &info, sizeof info - 2) || info.file.length > sizeof info - 6)
      return std::string();
    return Ansi(info.file.name, info.file.length / 2);
  }
  ULONG got = 0;
  const char device[] = "\\Device\\NamedPipe";
  if (!query || query(h, 1 /* ObjectNameInformation */, &info, sizeof info - 2, &got) < 0 || !info.object.buffer)
    return std::string();
  std::string name = Ansi(info.object.buffer, info.object.length / 2);
  return _strnicmp(name.c_str(), device, sizeof device - 1) ? std::string() : name.substr(sizeof device - 1);
}

// The simulated device a handle leads to, or "" for every handle that is not its pipe
// (a simulated device's pipe that broke is the platform's: its requests fail as a pipe's do).
std::string SimDeviceOf(HANDLE h) {
  std::string name = PipeName(h);
  size_t prefix = std::strlen(SIM_PIPE_NAME);
  if (name.size() <= prefix || _strnicmp(name.c_str(), SIM_PIPE_NAME, prefix) != 0) return std::string();
  return name.substr(prefix, name.find('\\', prefix) - prefix);
}

// Waits for an overlapped operation started with result `ok`; cancels it after the bound.
int Finish(HANDLE h, BOOL ok, OVERLAPPED* ov, DWORD* n, DWORD* error) {
  if (!ok && GetLastError() != ERROR_IO_PENDING) {
    *error = GetLastError();
    return 0;
  }
  if (WaitForSingleObject(ov->hEvent, kAnswerWaitMs) != WAIT_OBJECT_0) {
    CancelIo(h);
    GetOverlappedResult(h, ov, n, TRUE);
    *error = ERROR_SEM_TIMEOUT;
    return 0;
  }
  if (!GetOverlappedResult(h, ov, n, FALSE)) {
    *error = GetLastError();
    return 0;
  }
  return 1;
}

// One request to a device's control pipe and its answer, each bounded in time.
int SimTransact(const std::string& name, const ControlRequest& r, ControlAnswer* a, DWORD* error) {
  std::string pipe = SIM_CONTROL_PREFIX + name, request = ControlEncodeRequest(r);
  if (request.empty()) {
    *error = ERROR_INVALID_PARAMETER;
    return 0;
  }
  HANDLE h = CreateFileA(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, NULL);
  if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PIPE_BUSY && WaitNamedPipeA(pipe.c_str(), kAnswerWaitMs))
    h = CreateFileA(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, NULL);
  if (h == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return 0;
  }
  DWORD mode = PIPE_READMODE_MESSAGE, n = 0;
  OVERLAPPED ov = {};
  ov.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
  std::vector<char> answer(kControlMaxMessage + 1);
  int ok = ov.hEvent && SetNamedPipeHandleState(h, &mode, NULL, NULL) &&
           Finish(h, WriteFile(h, request.data(), DWORD(request.size()), NULL, &ov), &ov, &n, error);
  if (ok) {
    ResetEvent(ov.hEvent);
    ok = Finish(h, ReadFile(h, answer.data(), DWORD(answer.size()), NULL, &ov), &ov, &n, error);
  }
  if (ok && !ControlDecodeAnswer(answer.data(), n, r.outLength, a)) {
    *error = ERROR_INVALID_DATA;
    ok = 0;
  }
  if (ov.hEvent) CloseHandle(ov.hEvent);
  CloseHandle(h);
  return ok;
}

// A direct SCSI request's data buffer lies in this process: the bytes to write travel
// after the request's own, the bytes read come back after the answer's (sim/scsi.h).
struct DirectData {
  UCHAR* buffer;
  DWORD length;
};

static DirectData DirectDataOf(DWORD code, LPVOID in, DWORD inLength, ControlRequest* r) {
  DirectData d = {NULL, 0};
  if (code != IOCTL_SCSI_PASS_THROUGH_DIRECT || inLength < sizeof(SCSI_PASS_THROUGH_DIRECT)) return d;
  SCSI_PASS_THROUGH_DIRECT* request = (SCSI_PASS_THROUGH_DIRECT*)in;
  d.buffer = (UCHAR*)request->DataBuffer;
  d.length = d.buffer ? std::min<DWORD>(request->DataTransferLength, kControlMaxData - inLength) : 0;
  if (request->DataIn == SCSI_IOCTL_DATA_IN)
    r->outLength = std::min<uint32_t>(r->outLength + d.length, kControlMaxData);
  else
    r->in.append((const char*)d.buffer, d.length);
  return d;
}

static void TakeDirectData(const DirectData& d, DWORD outLength, std::string* out) {
  if (out->size() <= outLength) return;
  if (d.buffer) std::memcpy(d.buffer, out->data() + outLength, std::min<size_t>(out->size() - outLength, d.length));
  out->resize(outLength);
}

BOOL WINAPI RoutedDeviceIoControl(HANDLE h, DWORD code, LPVOID in, DWORD inLength, LPVOID out, DWORD outLength,
                                  LPDWORD returned, LPOVERLAPPED ov) {
  std::string name = SimDeviceOf(h);
  if (name.empty()) return DeviceIoControl(h, code, in, inLength, out, outLength, returned, ov);
  if (returned) *returned = 0;
  if ((inLength && !in) || (outLength && !out) || inLength > kControlMaxData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ControlRequest r;
  r.code = code;
  r.in.assign((const char*)in, inLength);
  r.outLength = outLength < kControlMaxData ? outLength : kControlMaxData;
  DirectData direct = DirectDataOf(code, in, inLength, &r);
  ControlAnswer a;
  DWORD error = 0;
  if (!SimTransact(name, r, &a, &error)) {
    SetLastError(error == ERROR_FILE_NOT_FOUND ? ERROR_DEVICE_NOT_CONNECTED : error);
    return FALSE;
  }
  if (!a.success) {
    SetLastError(a.error);
    return FALSE;
  }
  TakeDirectData(direct, outLength, &a.out);
  if (!a.out.empty()) std::memcpy(out, a.out.data(), a.out.size());
  if (returned) *returned = DWORD(a.out.size());
  if (ov) {
    ov->Internal = 0;
    ov->InternalHigh = a.out.size();
    if (ov->hEvent) SetEvent(ov->hEvent);
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

// ---- The simulated bus.

int BusPresent() {
  std::string pipe = SIM_CONTROL_PREFIX SIM_BUS_NAME;
  return WaitNamedPipeA(pipe.c_str(), 1) || GetLastError() == ERROR_SEM_TIMEOUT;
}

std::vector<BusNode> BusNodes() {
  ControlRequest r;
  r.code = kBusList;
  r.outLength = kControlMaxData;
  ControlAnswer a;
  DWORD error;
  std::vector<BusNode> nodes;
  if (BusPresent() && SimTransact(SIM_BUS_NAME, r, &a, &error) && a.success)
    BusDecode(a.out.data(), a.out.size(), &nodes);
  return nodes;
}

HANDLE WINAPI RoutedOpenKernelDevice(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                                     DWORD disposition, DWORD flags, HANDLE model) {
  if (name && !std::strncmp(name, "\\\\.\\", 4) && BusPresent()) {
    std::string pipe = SIM_PIPE_PREFIX + std::string(name + 4);
    HANDLE h = CreateFileA(pipe.c_str(), access, share, sa, disposition, flags, model);
    if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_NOT_FOUND) return h;
  }
  return CreateFileA(name, access, share, sa, disposition, flags, model);
}

// A device information set with the simulated printers' interfaces after the platform's.
struct SimDevInfo {
  HDEVINFO real;
  DWORD realCount;
  std::vector<BusNode> interfaces;
};
std::vector<SimDevInfo*> devInfos;

SimDevInfo* FindDevInfo(HDEVINFO h) {
  for (SimDevInfo* d : devInfos)
    if (d->real == h || (HDEVINFO)d == h) return d;
  return NULL;
}

HDEVINFO RealOf(HDEVINFO h) {
  Lock lock;
  SimDevInfo* d = FindDevInfo(h);
  return d ? d->real : h;
}

const BusNode* FindInterface(HDEVINFO h, PSP_DEVICE_INTERFACE_DATA data) {
  SimDevInfo* d = FindDevInfo(h);
  if (!d || !data) return NULL;
  for (const BusNode& b : d->interfaces)
    if (data->Reserved == (ULONG_PTR)&b) return &b;
  return NULL;
}

HDEVINFO WINAPI RoutedGetClassDevs(const GUID* guid, PCSTR enumerator, HWND parent, DWORD flags) {
  HDEVINFO real = Real().GetClassDevs(guid, enumerator, parent, flags);
  DWORD realError = GetLastError();
  if (!guid || !(flags & DIGCF_DEVICEINTERFACE) || !IsEqualGUID(*guid, DeviceUsbPrinterClass)) return real;
  SimDevInfo* d = new SimDevInfo{real, 0, {}};
  for (const BusNode& b : BusNodes())
    if (!b.interfacePath.empty()) d->interfaces.push_back(b);
  if (d->interfaces.empty()) {
    delete d;
    SetLastError(realError);
    return real;
  }
  SP_DEVICE_INTERFACE_DATA probe = {};
  probe.cbSize = sizeof probe;
  while (real != INVALID_HANDLE_VALUE && Real().EnumInterfaces(real, NULL, guid, d->realCount, &probe)) d->realCount++;
  Lock lock;
  devInfos.push_back(d);
  SetLastError(ERROR_SUCCESS);
  return real != INVALID_HANDLE_VALUE ? real : (HDEVINFO)d;
}

BOOL WINAPI RoutedEnumInterfaces(HDEVINFO h, PSP_DEVINFO_DATA info, const GUID* guid, DWORD index,
                                 PSP_DEVICE_INTERFACE_DATA data) {
  Lock lock;
  SimDevInfo* d = FindDevInfo(h);
  if (!d) return Real().EnumInterfaces(h, info, guid, index, data);
  if (index < d->realCount) return Real().EnumInterfaces(d->real, info, guid, index, data);
  if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (index - d->realCount >= d->interfaces.size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  data->InterfaceClassGuid = DeviceUsbPrinterClass;
  data->Flags = SPINT_ACTIVE;
  data->Reserved = (ULONG_PTR)&d->interfaces[index - d->realCount];
  return TRUE;
}

BOOL WINAPI RoutedInterfaceDetail(HDEVINFO h, PSP_DEVICE_INTERFACE_DATA data, PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                  DWORD size, PDWORD required, PSP_DEVINFO_DATA info) {
  std::string path;
  DWORD devInst = 0;
  {
    Lock lock;
    const BusNode* b = FindInterface(h, data);
    if (!b) {
      HDEVINFO real = FindDevInfo(h) ? FindDevInfo(h)->real : h;
      return Real().InterfaceDetail(real, data, detail, size, required, info);
    }
    path = b->interfacePath;
    devInst = kSimRoot + b->id;
  }
  DWORD need = DWORD(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
  if (required) *required = need;
  if (detail && detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (!detail || size < need) {
    SetLastError(!detail && size ? ERROR_INVALID_USER_BUFFER : ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
  if (info && info->cbSize == sizeof(SP_DEVINFO_DATA)) {
    info->ClassGuid = DeviceUsbPrinterClass;
    info->DevInst = devInst;
    info->Reserved = 0;
  }
  return TRUE;
}

HKEY WINAPI RoutedOpenInterfaceKey(HDEVINFO h, PSP_DEVICE_INTERFACE_DATA data, DWORD reserved, REGSAM access) {
  std::string key;
  {
    Lock lock;
    const BusNode* b = FindInterface(h, data);
    if (!b) return Real().OpenInterfaceKey(RealOf(h), data, reserved, access);
    key = b->portKey;
  }
  HKEY k;
  LONG e = RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, access, &k);
  if (e == ERROR_SUCCESS) return k;
  SetLastError(e);
  return (HKEY)INVALID_HANDLE_VALUE;
}

BOOL WINAPI RoutedDestroyList(HDEVINFO h) {
  SimDevInfo* d;
  {
    Lock lock;
    d = FindDevInfo(h);
    if (!d) return Real().DestroyList(h);
    for (size_t i = 0; i < devInfos.size(); i++)
      if (devInfos[i] == d) devInfos.erase(devInfos.begin() + i);
  }
  BOOL ok = d->real == INVALID_HANDLE_VALUE || Real().DestroyList(d->real);
  delete d;
  return ok;
}

// The device-node tree: the simulated bus's nodes hang under the platform's root node, or
// under a root of their own where the platform has none (Wine).
std::vector<BusNode> tree;
DEVINST realRoot;

int IsSim(DEVINST dn) { return dn >= kSimRoot && dn - kSimRoot <= 0xFFFFFF; }

const BusNode* TreeNode(DEVINST dn) {
  for (const BusNode& b : tree)
    if (IsSim(dn) && kSimRoot + b.id == dn) return &b;
  return NULL;
}

// The first node under `parent` (a bus id, 0 for the top) after the node `after` (0: from the start).
CONFIGRET NextUnder(uint32_t parent, uint32_t after, PDEVINST out) {
  int passed = after == 0;
  for (const BusNode& b : tree) {
    if (b.parent != parent) continue;
    if (passed) {
      *out = kSimRoot + b.id;
      return CR_SUCCESS;
    }
    passed = b.id == after;
  }
  return CR_NO_SUCH_DEVNODE;
}

CONFIGRET WINAPI RoutedLocate(PDEVINST dn, DEVINSTID_A id, ULONG flags) {
  CONFIGRET r = Real().Locate(dn, id, flags);
  if (id && *id) return r;
  std::vector<BusNode> nodes = BusNodes();
  Lock lock;
  tree.swap(nodes);
  realRoot = r == CR_SUCCESS && dn ? *dn : 0;
  if (r == CR_SUCCESS || tree.empty() || !dn) return r;
  *dn = kSimRoot;
  return CR_SUCCESS;
}

CONFIGRET WINAPI RoutedChild(PDEVINST out, DEVINST dn, ULONG flags) {
  if (!out) return CR_INVALID_POINTER;
  Lock lock;
  if (IsSim(dn)) return NextUnder(dn - kSimRoot, 0, out);
  CONFIGRET r = Real().Child(out, dn, flags);
  if (r == CR_NO_SUCH_DEVNODE && realRoot && dn == realRoot) return NextUnder(0, 0, out);
  return r;
}

CONFIGRET WINAPI RoutedSibling(PDEVINST out, DEVINST dn, ULONG flags) {
  if (!out) return CR_INVALID_POINTER;
  Lock lock;
  if (IsSim(dn)) {
    const BusNode* b = TreeNode(dn);
    return b ? NextUnder(b->parent, b->id, out) : CR_NO_SUCH_DEVNODE;
  }
  CONFIGRET r = Real().Sibling(out, dn, flags);
  DEVINST parent;
  if (r == CR_NO_SUCH_DEVNODE && realRoot && Real().Parent(&parent, dn, 0) == CR_SUCCESS && parent == realRoot)
    return NextUnder(0, 0, out);
  return r;
}

CONFIGRET WINAPI RoutedParent(PDEVINST out, DEVINST dn, ULONG flags) {
  if (!out) return CR_INVALID_POINTER;
  Lock lock;
  if (!IsSim(dn)) return Real().Parent(out, dn, flags);
  const BusNode* b = TreeNode(dn);
  if (!b) return CR_NO_SUCH_DEVNODE;
  *out = b->parent ? kSimRoot + b->parent : realRoot ? realRoot : kSimRoot;
  return CR_SUCCESS;
}

CONFIGRET WINAPI RoutedProperty(DEVINST dn, ULONG property, PULONG type, PVOID buffer, PULONG length, ULONG flags) {
  if (!IsSim(dn)) return Real().Property(dn, property, type, buffer, length, flags);
  if (!length) return CR_INVALID_POINTER;
  std::string text;
  {
    Lock lock;
    const BusNode* b = TreeNode(dn);
    if (b && property == CM_DRP_DRIVER) text = b->driverKey;
    if (b && property == CM_DRP_DEVICEDESC) text = b->description;
  }
  if (text.empty()) return CR_NO_SUCH_VALUE;
  ULONG need = ULONG(text.size() + 1);
  if (!buffer || *length < need) {
    *length = need;
    return CR_BUFFER_SMALL;
  }
  std::memcpy(buffer, text.c_str(), need);
  *length = need;
  if (type) *type = REG_SZ;
  return CR_SUCCESS;
}

// ---- Writes.

struct WriteFault {
  std::string device;
  DWORD error;
};
std::vector<WriteFault> writeFaults;
volatile LONG writeFaultCount;

BOOL WINAPI RoutedWriteFile(HANDLE h, LPCVOID data, DWORD n, LPDWORD written, LPOVERLAPPED ov) {
  if (writeFaultCount) {
    std::string name = SimDeviceOf(h);
    Lock lock;
    for (size_t i = 0; !name.empty() && i < writeFaults.size(); i++) {
      if (_stricmp(writeFaults[i].device.c_str(), name.c_str())) continue;
      DWORD error = writeFaults[i].error;
      writeFaults.erase(writeFaults.begin() + i);
      InterlockedDecrement(&writeFaultCount);
      if (written) *written = 0;
      SetLastError(error);
      return FALSE;
    }
  }
  return WriteFile(h, data, n, written, ov);
}

}  // namespace

DeviceCalls Device = {RoutedDeviceIoControl,  RoutedOpenKernelDevice, RoutedGetClassDevs, RoutedEnumInterfaces,
                      RoutedInterfaceDetail,  RoutedOpenInterfaceKey, RoutedDestroyList,  RoutedLocate,
                      RoutedChild,            RoutedSibling,          RoutedParent,       RoutedProperty,
                      RoutedWriteFile};

void DeviceFailNextWrite(const char* name, DWORD error) {
  Lock lock;
  writeFaults.push_back(WriteFault{name, error});
  InterlockedIncrement(&writeFaultCount);
}

BOOL DeviceRequest(HANDLE h, DWORD code, LPVOID in, DWORD inLength, LPVOID out, DWORD outLength, LPDWORD returned,
                   DWORD ms) {
  OVERLAPPED o = {};
  o.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
  if (!o.hEvent) return FALSE;
  BOOL ok = Device.DeviceIoControl(h, code, in, inLength, out, outLength, returned, &o);
  DWORD error = ok ? ERROR_SUCCESS : GetLastError();
  if (error == ERROR_IO_PENDING) {
    int late = WaitForSingleObject(o.hEvent, ms) != WAIT_OBJECT_0;
    if (late) CancelIo(h);
    ok = GetOverlappedResult(h, &o, returned, TRUE);
    error = late ? ERROR_SEM_TIMEOUT : ok ? ERROR_SUCCESS : GetLastError();
    ok = ok && !late;
  }
  CloseHandle(o.hEvent);
  SetLastError(error);
  return ok;
}
