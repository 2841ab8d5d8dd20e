// One simulated device served under a name, for the Win32 tests (in the test's own process)
// and for tarvex-sim.exe. The client side is the real one: CreateFileA on the device name,
// overlapped ReadFile/WriteFile with real back-pressure (4096-byte pipe buffers), and
// Device.DeviceIoControl (platform/device.h), which the seam carries to `control`.
//
//   SimDeviceSetup s;
//   s.name = "KELVLPT1";        // the pipe "\\.\pipe\tarvex-sim\KELVLPT1"
//   s.dosName = "KELVLPT1";     // and "\\.\KELVLPT1" leads to it
//   s.control = MyControl;      // ControlAnswer MyControl(void* state, const ControlRequest&)
//   s.controlState = &myState;
//   SimDevice* d = SimDeviceStart(s);
//   ... the product opens "\\.\KELVLPT1"; the test uses the hooks below ...
//   SimDeviceStop(d);           // pipes and name gone
//
// The data the client writes feeds the device's Printer model; what the model answers is
// what the client reads. The control handler and the model run on the device's thread
// under its lock; take SimDeviceLock to look at either from another thread.
#pragma once
#include <windows.h>

#include <string>

#include "sim/device.h"
#include "sim/printer.h"

enum SimPipes {
  kSimPipeData,    // data flows on the device's own pipe (IEEE1284, IEEE1394)
  kSimPipeUsb,     // the device's pipe is the handle for requests; data flows on "<name>\PIPE00"
                   // (written by the client) and "<name>\PIPE01" (read by the client)
  kSimPipeHandle,  // the device's pipe opens and carries requests, no data (controllers, hubs)
  kSimPipeNone,    // only the control pipe (the bus)
};

struct SimDeviceSetup {
  std::string name;     // no backslash; a USB name may look like a device interface name
  std::string dosName;  // "": none; "KELVLPT1" and other long names: an NT symbolic link in
                        // \??\ held while served; "LPT2".."LPT9": DefineDosDevice
  int pipes = kSimPipeData;
  ControlHandler control = nullptr;  // nullptr: every request fails with ERROR_INVALID_FUNCTION
  void* controlState = nullptr;
  Printer* printer = nullptr;  // the model the data feeds; nullptr: the device's own
  const char* jobLogName = nullptr;  // names the printer's jobs in the job log; nullptr: not logged
};

struct SimDevice;

// NULL when a pipe or the DOS name cannot be made (for example, another simulator serves it).
SimDevice* SimDeviceStart(const SimDeviceSetup& setup);
void SimDeviceStop(SimDevice* d);  // NULL is allowed
std::string SimDevicePath(const std::string& name);  // "\\.\pipe\tarvex-sim\<name>"

void SimDeviceLock(SimDevice* d);
void SimDeviceUnlock(SimDevice* d);
Printer* SimDevicePrinter(SimDevice* d);
void SimDeviceSend(SimDevice* d, const std::string& bytes);  // unsolicited bytes for the client

// Test hooks; each takes effect before it returns.
void SimDeviceSetReadRate(SimDevice* d, int bytesPerSec);  // 0: as fast as the client writes
void SimDeviceSetReading(SimDevice* d, int on);            // 0: reads nothing, the client's writes back up
void SimDeviceFailNextWrite(SimDevice* d, DWORD error);    // this process's next Device.WriteFile to it
void SimDeviceFailNextControl(SimDevice* d, DWORD error);  // its next control request, any process
void SimDeviceVanish(SimDevice* d);                        // pipes and name gone, open handles break
int SimDeviceReturn(SimDevice* d);                         // back under the same name; 1 on success
