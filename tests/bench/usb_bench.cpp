// Throughput of the USB block sender against a plain overlapped WriteFile loop on the same
// write pipe, both sending to a simulated USB printer in this process; and the processor
// time the send thread takes while the printer reads nothing.
#include "tests/bench/bench.h"
#include "ports/usb/usb.h"
#include "sim/bus.h"
#include "sim/device_host.h"
#include "sim/usb_printer.h"

const uint32_t TOTAL = 64u << 20;
const uint32_t BLOCK = 64u << 10;

static UsbPrinter printer = MakeUsbPrinter("Bench", 1);
static SimDevice* device;
static unsigned char* data;
static uint64_t expectedHash;

static bool Arrived() {
  SimDeviceLock(device);
  bool all = printer.model.bytes == TOTAL && printer.model.hash == expectedHash;
  SimDeviceUnlock(device);
  return all;
}

static void ResetPrinter() {
  SimDeviceLock(device);
  PrinterReset(printer.model);
  SimDeviceUnlock(device);
}

static double SendThroughDriver() {
  ResetPrinter();
  ConnectionBlock block = BlockSendSetup(IF_USB, data, TOTAL, BLOCK, 1);
  block.usbHandle = UsbBlock->usbHandle;
  double start = Now();
  if (UsbDriver.blockSender(&block, 1) != 1) return 0;
  return RateOnArrival(start, TOTAL, Arrived);
}

static double SendPlain() {
  ResetPrinter();
  double start = Now();
  PlainWrites(UsbWritePipe, data, TOTAL, BLOCK, true);
  return RateOnArrival(start, TOTAL, Arrived);
}

// The send thread's processor time over 3 s of a printer that reads nothing.
static double StalledCpu() {
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

int main() {
  printer.model.keep = 0;
  device = SimBusServePrinter(&printer, 1, 1, "Bench");
  if (!device || !BenchStart("tarvex-usb-bench")) return 1;
  for (DWORD start = GetTickCount(); !UsbBlock && GetTickCount() - start < 10000;) Sleep(1);
  if (!UsbBlock || UsbAccessOpen(&UsbBlock->usbHandle, "USBTST2", "USB001") != 0) {
    printf("the simulated USB printer did not open\n");
    return 1;
  }
  Ports[IF_USB].connected = 1;
  data = (unsigned char*)VirtualAlloc(NULL, TOTAL, MEM_COMMIT, PAGE_READWRITE);
  for (uint32_t i = 0; i < TOTAL; i++) data[i] = (unsigned char)(i * 2654435761u >> 24);
  expectedHash = Fnv1a64(data, TOTAL);

  printf("USB, %u-byte blocks, high-speed on, %u MiB:\n", BLOCK, TOTAL >> 20);
  bool intact = BenchRounds(5, {{"USB block sender", SendThroughDriver}, {"plain overlapped loop", SendPlain}});
  printf("USB send thread while the printer reads nothing: cpu %.3f s in 3 s\n", StalledCpu());

  Ports[IF_USB].connected = 0;
  BenchEnd();
  SimBusStop();
  SimDeviceStop(device);
  VirtualFree(data, 0, MEM_RELEASE);
  return intact ? 0 : 1;
}
