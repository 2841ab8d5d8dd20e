// Throughput of the USB block sender against a plain overlapped WriteFile loop on the same
// write pipe, both sending to a simulated USB printer in this process; and the processor
// time the send thread takes while the printer reads nothing.
#include "tests/bench/bench.h"
#include "app/app.h"
#include "common/state.h"
#include "ports/usb/usb.h"
#include "send/engine.h"
#include "sim/bus.h"
#include "sim/device_host.h"
#include "sim/usb_printer.h"
#include <stdio.h>
#include <thread>

const uint32_t TOTAL = 64u << 20;
const uint32_t BLOCK = 64u << 10;

static UsbPrinter printer = MakeUsbPrinter("Bench", 1);
static SimDevice* device;
static uint64_t expectedHash;

struct Run { double seconds; bool intact; };

static double ThreadCpu(HANDLE thread) {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(thread, &created, &exited, &kernel, &user);
  ULARGE_INTEGER k = {{kernel.dwLowDateTime, kernel.dwHighDateTime}}, u = {{user.dwLowDateTime, user.dwHighDateTime}};
  return (k.QuadPart + u.QuadPart) / 1e7;
}

static Run Finish(double start) {
  uint64_t hash = 0;
  long long bytes = 0;
  for (DWORD begin = GetTickCount(); bytes < TOTAL && GetTickCount() - begin < 120000; Sleep(1)) {
    SimDeviceLock(device);
    bytes = printer.model.bytes;
    hash = printer.model.hash;
    SimDeviceUnlock(device);
  }
  Run run = {Now() - start, bytes == TOTAL && hash == expectedHash};
  return run;
}

static void ResetPrinter() {
  SimDeviceLock(device);
  PrinterReset(printer.model);
  SimDeviceUnlock(device);
}

static Run SendThroughDriver(unsigned char* data) {
  ResetPrinter();
  ConnectionBlock block = BlockSendSetup(IF_USB, data, TOTAL, BLOCK, 1);
  block.usbHandle = UsbBlock->usbHandle;
  double start = Now();
  int sent = UsbDriver.blockSender(&block, 1);
  Run run = Finish(start);
  run.intact = run.intact && sent == 1;
  return run;
}

static Run SendPlain(const unsigned char* data) {
  ResetPrinter();
  OVERLAPPED o = {};
  o.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
  double start = Now();
  for (uint32_t done = 0; done < TOTAL;) {
    DWORD moved = 0;
    ResetEvent(o.hEvent);
    if (!WriteFile(UsbWritePipe, data + done, TOTAL - done < BLOCK ? TOTAL - done : BLOCK, NULL, &o) &&
        GetLastError() != ERROR_IO_PENDING)
      break;
    if (!GetOverlappedResult(UsbWritePipe, &o, &moved, TRUE) || moved == 0) break;
    done += moved;
  }
  CloseHandle(o.hEvent);
  return Finish(start);
}

static double Rate(const Run& run) { return run.seconds > 0 ? TOTAL / 1048576.0 / run.seconds : 0; }

static void Print(const char* name, const Run& run) {
  printf("  %-34s %8.1f MiB/s  %6.2f s  %s\n", name, Rate(run), run.seconds, run.intact ? "bytes intact" : "BYTES LOST OR CHANGED");
}

// The send thread's processor time over 3 s of a printer that reads nothing.
static double StalledCpu(unsigned char* data) {
  SimDeviceSetReading(device, 0);
  ConnectionBlock block = BlockSendSetup(IF_USB, data, TOTAL, BLOCK, HighSpeed);
  TimeOutOn = 0;
  std::thread sender([&] { UsbDriver.blockSender(&block, 1); });
  HANDLE thread = (HANDLE)sender.native_handle();
  Sleep(500);
  double cpu = ThreadCpu(thread);
  Sleep(3000);
  cpu = ThreadCpu(thread) - cpu;
  StopRequest = 3;
  sender.join();
  SimDeviceSetReading(device, 1);
  return cpu;
}

static bool WindowReady() { return hMainWnd != NULL && hLogList != NULL && UsbBlock != NULL; }

int main() {
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  lstrcatA(folder, "tarvex-usb-bench");
  CreateDirectoryA(folder, NULL);
  SetCurrentDirectoryA(folder);

  printer.model.keep = 0;
  device = SimBusServePrinter(&printer, 1, 1, "Bench");
  if (!device) {
    printf("the simulated USB printer cannot be served\n");
    return 1;
  }
  std::thread ui([] { AppRun(GetModuleHandleA(NULL), SW_HIDE); });
  for (DWORD start = GetTickCount(); !WindowReady() && GetTickCount() - start < 10000;) Sleep(1);
  if (!WindowReady() || UsbAccessOpen(&UsbBlock->usbHandle, "USBTST2", "USB001") != 0) {
    printf("the main window did not start or the printer did not open\n");
    return 1;
  }
  Ports[IF_USB].connected = 1;

  unsigned char* data = (unsigned char*)VirtualAlloc(NULL, TOTAL, MEM_COMMIT, PAGE_READWRITE);
  for (uint32_t i = 0; i < TOTAL; i++) data[i] = (unsigned char)(i * 2654435761u >> 24);
  expectedHash = Fnv1a64(data, TOTAL);

  printf("USB, %u-byte blocks, high-speed on, %u MiB:\n", BLOCK, TOTAL >> 20);
  Run driver = SendThroughDriver(data);
  Print("USB block sender", driver);
  Run plain = SendPlain(data);
  Print("plain overlapped WriteFile loop", plain);
  printf("  ratio %.2f\n", Rate(plain) > 0 ? Rate(driver) / Rate(plain) : 0);
  bool intact = driver.intact && plain.intact;
  printf("USB send thread while the printer reads nothing: cpu %.3f s in 3 s\n", StalledCpu(data));

  Ports[IF_USB].connected = 0;
  PostMessageA(hMainWnd, WM_COMMAND, 32832, 0);
  ui.join();
  SimBusStop();
  SimDeviceStop(device);
  VirtualFree(data, 0, MEM_RELEASE);
  return intact ? 0 : 1;
}
