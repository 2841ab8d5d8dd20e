#include "sim/device_host.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/device.h"
#include "sim/control.h"
#include "sim/job_log.h"

namespace {

const DWORD kPipeBuffer = 4096;
const DWORD kHookWaitMs = 5000;

enum Role { kData, kIn, kOut, kHandle, kControl };

struct Slot {
  int role;
  std::string path;
  HANDLE pipe = INVALID_HANDLE_VALUE;
  OVERLAPPED rov = {}, wov = {};
  int connecting = 0, connected = 0, reading = 0, writing = 0;
  char rbuf[kPipeBuffer];
  std::string request;   // control: the message read so far
  int oversized = 0;     // control: the message went past the bound
  std::string answer;    // control: the answer waiting to be written
  std::string pending;   // the bytes of the write under way
};

enum Command { kNone, kVanish, kReturn, kPause };

}  // namespace

struct SimDevice {
  SimDeviceSetup setup;
  Printer own;
  Printer* printer;
  CRITICAL_SECTION lock;
  HANDLE thread = NULL, wake = NULL, done = NULL;
  volatile LONG stop = 0, readRate = 0, reading = 1, command = kNone, commandResult = 0;
  volatile LONG failControl = 0;  // error + 1, 0 for none
  std::vector<Slot*> slots;
  std::string toClient;
  size_t toClientSent = 0;  // taken by offset: erasing the front of a long answer per write costs its length
  std::string sent;  // from SimDeviceSend, under the lock
  double credit = 0;
  DWORD lastTick = 0;
  HANDLE link = NULL;
  int defined = 0;
};

namespace {

typedef LONG(NTAPI* CreateLinkFn)(PHANDLE, ACCESS_MASK, void*, void*);

struct NtText {
  USHORT length, maximum;
  PWSTR buffer;
};
struct NtAttributes {
  ULONG length;
  HANDLE root;
  NtText* name;
  ULONG attributes;
  PVOID security, quality;
};

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::string NtTarget(const SimDevice* d) { return SIM_NT_PIPE_PREFIX + d->setup.name; }

// Long names go through an NT symbolic link (DefineDosDevice mangles them); short ones
// through DefineDosDevice, after clearing what a simulator that died may have left.
int DefineName(SimDevice* d) {
  const std::string& dos = d->setup.dosName;
  std::string target = NtTarget(d);
  if (dos.empty()) return 1;
  if (dos.size() > 4) {
    static CreateLinkFn create =
        (CreateLinkFn)(void*)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtCreateSymbolicLinkObject");
    std::wstring name = L"\\??\\" + Wide(dos), to = Wide(target);
    NtText n = {USHORT(name.size() * 2), USHORT(name.size() * 2 + 2), &name[0]};
    NtText t = {USHORT(to.size() * 2), USHORT(to.size() * 2 + 2), &to[0]};
    NtAttributes oa = {sizeof oa, NULL, &n, 0x40 /* OBJ_CASE_INSENSITIVE */, NULL, NULL};
    return create && create(&d->link, 0xF0001 /* SYMBOLIC_LINK_ALL_ACCESS */, &oa, &t) >= 0;
  }
  char old[1024];
  for (int i = 0; i < 16 && QueryDosDeviceA(dos.c_str(), old, sizeof old); i++) {
    if (std::strncmp(old, SIM_NT_PIPE_PREFIX, std::strlen(SIM_NT_PIPE_PREFIX))) break;
    DefineDosDeviceA(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, dos.c_str(), old);
  }
  d->defined = DefineDosDeviceA(DDD_RAW_TARGET_PATH, dos.c_str(), target.c_str());
  return d->defined;
}

void RemoveName(SimDevice* d) {
  if (d->link) CloseHandle(d->link);
  d->link = NULL;
  if (d->defined)
    DefineDosDeviceA(DDD_RAW_TARGET_PATH | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE,
                     d->setup.dosName.c_str(), NtTarget(d).c_str());
  d->defined = 0;
}

void AddSlots(SimDevice* d, int role, const std::string& path, int count) {
  for (int i = 0; i < count; i++) {
    Slot* s = new Slot;
    s->role = role;
    s->path = path;
    s->rov.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    s->wov.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    d->slots.push_back(s);
  }
}

int OpenPipes(SimDevice* d) {
  for (size_t i = 0; i < d->slots.size(); i++) {
    Slot* s = d->slots[i];
    int first = i == 0 || d->slots[i - 1]->path != s->path;
    int instances = 0;
    for (Slot* o : d->slots) instances += o->path == s->path;
    DWORD type = s->role == kControl ? PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE : PIPE_TYPE_BYTE;
    s->pipe = CreateNamedPipeA(s->path.c_str(),
                               PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0),
                               type | PIPE_WAIT, instances, kPipeBuffer, kPipeBuffer, 0, NULL);
    if (s->pipe == INVALID_HANDLE_VALUE) return 0;
  }
  return 1;
}

// Cancels what the slot has under way (all of it was started on the device's thread).
void Quiesce(Slot* s) {
  DWORD n;
  if (s->connecting || s->reading || s->writing) CancelIo(s->pipe);
  if (s->connecting || s->reading) GetOverlappedResult(s->pipe, &s->rov, &n, TRUE);
  if (s->writing) GetOverlappedResult(s->pipe, &s->wov, &n, TRUE);
  s->connecting = s->connected = s->reading = s->writing = 0;
  s->request.clear();
  s->answer.clear();
  s->oversized = 0;
}

int OtherConnected(const SimDevice* d, const Slot* s) {
  for (const Slot* o : d->slots)
    if (o != s && o->role == s->role && o->connected) return 1;
  return 0;
}

// A host that reopened the data pipes is still the same connection to the printer.
void EndConnection(SimDevice* d, Slot* s) {
  if ((s->role != kData && s->role != kIn) || OtherConnected(d, s)) return;
  EnterCriticalSection(&d->lock);
  PrinterEndConnection(*d->printer);
  LeaveCriticalSection(&d->lock);
  d->toClient.clear();
  d->toClientSent = 0;
}

void Drop(SimDevice* d, Slot* s) {
  int was = s->connected;
  Quiesce(s);
  DisconnectNamedPipe(s->pipe);
  if (was) EndConnection(d, s);
}

void Complete(SimDevice* d, Slot* s);

// A new open of a data pipe means the host gave up its old handle. What that handle's
// writes left unread never reached the printer, as a device that was not taking data
// never sees a cancelled transfer; what it had read is taken first.
void Connected(SimDevice* d, Slot* s) {
  s->connected = 1;
  if (s->role != kIn && s->role != kOut) return;
  for (Slot* o : d->slots) {
    if (o == s || o->role != s->role || !o->connected) continue;
    Complete(d, o);
    if (o->connected) Drop(d, o);
  }
}

void ClosePipes(SimDevice* d) {
  for (Slot* s : d->slots) {
    if (s->pipe == INVALID_HANDLE_VALUE) continue;
    Drop(d, s);
    CloseHandle(s->pipe);
    s->pipe = INVALID_HANDLE_VALUE;
  }
}

int Feeds(const Slot* s) { return s->role == kData || s->role == kIn; }
int Answers(const Slot* s) { return s->role == kData || s->role == kOut; }

void Refill(SimDevice* d) {
  DWORD now = GetTickCount();
  LONG rate = d->readRate;
  if (!rate) {
    d->credit = kPipeBuffer;
  } else {
    d->credit += double(rate) * DWORD(now - d->lastTick) / 1000.0;
    double cap = rate / 10.0 > 1 ? rate / 10.0 : 1;
    if (d->credit > cap) d->credit = cap;
  }
  d->lastTick = now;
}

// The printer's answers go out on one instance at a time, so none is sent twice.
int OtherWriting(const SimDevice* d, const Slot* s) {
  if (!Answers(s)) return 0;
  for (const Slot* o : d->slots)
    if (o != s && o->role == s->role && o->writing) return 1;
  return 0;
}

void StartIo(SimDevice* d, Slot* s) {
  if (s->pipe == INVALID_HANDLE_VALUE) return;
  if (!s->connected && !s->connecting) {
    if (ConnectNamedPipe(s->pipe, &s->rov) || GetLastError() == ERROR_PIPE_CONNECTED) Connected(d, s);
    else if (GetLastError() == ERROR_IO_PENDING) s->connecting = 1;
    else DisconnectNamedPipe(s->pipe);
    if (!s->connected) return;
  }
  if (s->connected && !s->reading && !(s->role == kControl && !s->answer.empty())) {
    DWORD size = sizeof s->rbuf;
    if (Feeds(s) && (!d->reading || d->credit < 1)) size = 0;
    if (Feeds(s) && size > d->credit) size = DWORD(d->credit);
    if (s->role == kOut || s->role == kHandle) size = 1;
    if (size) {
      if (ReadFile(s->pipe, s->rbuf, size, NULL, &s->rov) || GetLastError() == ERROR_IO_PENDING ||
          GetLastError() == ERROR_MORE_DATA)
        s->reading = 1;
      else
        return Drop(d, s);
    }
  }
  if (s->connected && !s->writing && !OtherWriting(d, s)) {
    s->pending = s->role == kControl ? s->answer : Answers(s) ? d->toClient.substr(d->toClientSent, kPipeBuffer) : "";
    if (s->pending.empty()) return;
    if (WriteFile(s->pipe, s->pending.data(), DWORD(s->pending.size()), NULL, &s->wov) ||
        GetLastError() == ERROR_IO_PENDING)
      s->writing = 1;
    else
      Drop(d, s);
  }
}

void OnRequest(SimDevice* d, Slot* s) {
  LONG fail = InterlockedExchange(&d->failControl, 0);
  if (fail) {
    s->answer = ControlEncodeAnswer(ControlFailure(DWORD(fail - 1)));
  } else if (s->oversized) {
    s->answer = ControlEncodeAnswer(ControlFailure(kControlBadRequest));
  } else {
    EnterCriticalSection(&d->lock);
    s->answer = ControlServe(d->setup.control, d->setup.controlState, s->request.data(), s->request.size());
    LeaveCriticalSection(&d->lock);
  }
  s->request.clear();
  s->oversized = 0;
}

void OnRead(SimDevice* d, Slot* s, DWORD n, int more) {
  if (s->role == kControl) {
    if (s->request.size() + n > kControlMaxMessage) s->oversized = 1;
    if (!s->oversized) s->request.append(s->rbuf, n);
    if (!more) OnRequest(d, s);
  } else if (Feeds(s)) {
    std::string out;
    EnterCriticalSection(&d->lock);
    PrinterFeed(*d->printer, s->rbuf, n, GetTickCount(), out);
    LeaveCriticalSection(&d->lock);
    d->toClient += out;
    d->credit -= n;
  }
}

// Compacted once most of it is gone, so each byte is moved at most a few times.
void TakenByClient(SimDevice* d, size_t n) {
  d->toClientSent = std::min(d->toClientSent + n, d->toClient.size());
  if (d->toClientSent * 2 < d->toClient.size()) return;
  d->toClient.erase(0, d->toClientSent);
  d->toClientSent = 0;
}

void Complete(SimDevice* d, Slot* s) {
  DWORD n = 0;
  if (s->connecting && HasOverlappedIoCompleted(&s->rov)) {
    s->connecting = 0;
    if (GetOverlappedResult(s->pipe, &s->rov, &n, FALSE)) Connected(d, s);
    else DisconnectNamedPipe(s->pipe);
  }
  if (s->reading && HasOverlappedIoCompleted(&s->rov)) {
    s->reading = 0;
    BOOL ok = GetOverlappedResult(s->pipe, &s->rov, &n, FALSE);
    int more = !ok && GetLastError() == ERROR_MORE_DATA;
    if (!ok && !more) return Drop(d, s);
    OnRead(d, s, n, more);
  }
  if (s->writing && HasOverlappedIoCompleted(&s->wov)) {
    s->writing = 0;
    if (!GetOverlappedResult(s->pipe, &s->wov, &n, FALSE)) return Drop(d, s);
    if (s->role == kControl) s->answer.clear();
    else TakenByClient(d, n);
  }
}

// A read already under way would take one more buffer after the printer stopped reading.
void Pause(SimDevice* d, Slot* s) {
  if (!Feeds(s) || !s->reading) return;
  DWORD n = 0;
  CancelIo(s->pipe);
  BOOL ok = GetOverlappedResult(s->pipe, &s->rov, &n, TRUE);
  s->reading = 0;
  if (ok && n) OnRead(d, s, n, 0);
}

void RunCommand(SimDevice* d) {
  LONG c = InterlockedExchange(&d->command, kNone);
  if (c == kNone) return;
  LONG ok = 1;
  if (c == kPause) {
    for (Slot* s : d->slots) Pause(d, s);
  } else if (c == kVanish) {
    ClosePipes(d);
    RemoveName(d);
  } else if (d->slots.empty() || d->slots[0]->pipe == INVALID_HANDLE_VALUE) {
    ok = OpenPipes(d) && DefineName(d);
    if (!ok) ClosePipes(d);
  }
  d->commandResult = ok;
  SetEvent(d->done);
}

void ReportJobs(SimDevice* d) {
  std::vector<SimJob> jobs;
  EnterCriticalSection(&d->lock);
  jobs.swap(d->printer->finished);
  long long done = d->printer->jobsDone;
  LeaveCriticalSection(&d->lock);
  if (d->setup.jobLogName) JobLogWrite(d->setup.jobLogName, jobs, done);
}

DWORD WINAPI Serve(LPVOID arg) {
  SimDevice* d = (SimDevice*)arg;
  d->lastTick = GetTickCount();
  while (!d->stop) {
    RunCommand(d);
    Refill(d);
    for (Slot* s : d->slots) StartIo(d, s);
    std::string later;
    EnterCriticalSection(&d->lock);
    PrinterPoll(*d->printer, GetTickCount(), later);
    later.insert(0, d->sent);
    d->sent.clear();
    LeaveCriticalSection(&d->lock);
    ReportJobs(d);
    d->toClient += later;
    std::vector<HANDLE> events(1, d->wake);
    for (Slot* s : d->slots) {
      if (s->connecting || s->reading) events.push_back(s->rov.hEvent);
      if (s->writing) events.push_back(s->wov.hEvent);
    }
    WaitForMultipleObjects(DWORD(events.size()), events.data(), FALSE, 20);
    for (Slot* s : d->slots)
      if (s->pipe != INVALID_HANDLE_VALUE) Complete(d, s);
  }
  ClosePipes(d);
  ReportJobs(d);
  return 0;
}

// Asks the device's thread to carry out a command and waits for it.
int Ask(SimDevice* d, LONG command) {
  ResetEvent(d->done);
  InterlockedExchange(&d->command, command);
  SetEvent(d->wake);
  return WaitForSingleObject(d->done, kHookWaitMs) == WAIT_OBJECT_0 && d->commandResult;
}

}  // namespace

std::string SimDevicePath(const std::string& name) { return SIM_PIPE_PREFIX + name; }

SimDevice* SimDeviceStart(const SimDeviceSetup& setup) {
  if (setup.name.empty() || setup.name.find('\\') != std::string::npos) return NULL;
  SimDevice* d = new SimDevice;
  d->setup = setup;
  d->printer = setup.printer ? setup.printer : &d->own;
  d->own.keep = 1;
  InitializeCriticalSection(&d->lock);
  d->wake = CreateEventA(NULL, FALSE, FALSE, NULL);
  d->done = CreateEventA(NULL, FALSE, FALSE, NULL);
  std::string path = SimDevicePath(setup.name);
  if (setup.pipes == kSimPipeData) AddSlots(d, kData, path, 1);
  if (setup.pipes == kSimPipeUsb || setup.pipes == kSimPipeHandle) AddSlots(d, kHandle, path, 2);
  if (setup.pipes == kSimPipeUsb) {
    // Two instances each: a real device takes a new open before it notices the old handle closed.
    AddSlots(d, kIn, path + "\\PIPE00", 2);
    AddSlots(d, kOut, path + "\\PIPE01", 2);
  }
  AddSlots(d, kControl, SIM_CONTROL_PREFIX + setup.name, 2);
  if (!OpenPipes(d) || !DefineName(d) || !(d->thread = CreateThread(NULL, 0, Serve, d, 0, NULL))) {
    ClosePipes(d);
    RemoveName(d);
    d->stop = 1;
    SimDeviceStop(d);
    return NULL;
  }
  return d;
}

void SimDeviceStop(SimDevice* d) {
  if (!d) return;
  d->stop = 1;
  SetEvent(d->wake);
  if (d->thread) {
    WaitForSingleObject(d->thread, INFINITE);
    CloseHandle(d->thread);
  }
  RemoveName(d);
  for (Slot* s : d->slots) {
    CloseHandle(s->rov.hEvent);
    CloseHandle(s->wov.hEvent);
    delete s;
  }
  CloseHandle(d->wake);
  CloseHandle(d->done);
  DeleteCriticalSection(&d->lock);
  delete d;
}

void SimDeviceLock(SimDevice* d) { EnterCriticalSection(&d->lock); }
void SimDeviceUnlock(SimDevice* d) { LeaveCriticalSection(&d->lock); }
Printer* SimDevicePrinter(SimDevice* d) { return d->printer; }

void SimDeviceSend(SimDevice* d, const std::string& bytes) {
  EnterCriticalSection(&d->lock);
  d->sent += bytes;
  LeaveCriticalSection(&d->lock);
  SetEvent(d->wake);
}

void SimDeviceSetReadRate(SimDevice* d, int bytesPerSec) {
  InterlockedExchange(&d->readRate, bytesPerSec > 0 ? bytesPerSec : 0);
  SetEvent(d->wake);
}

void SimDeviceSetReading(SimDevice* d, int on) {
  InterlockedExchange(&d->reading, on != 0);
  if (on) SetEvent(d->wake);
  else Ask(d, kPause);
}

void SimDeviceFailNextWrite(SimDevice* d, DWORD error) { DeviceFailNextWrite(d->setup.name.c_str(), error); }

void SimDeviceFailNextControl(SimDevice* d, DWORD error) { InterlockedExchange(&d->failControl, LONG(error + 1)); }

void SimDeviceVanish(SimDevice* d) { Ask(d, kVanish); }

int SimDeviceReturn(SimDevice* d) { return Ask(d, kReturn); }
