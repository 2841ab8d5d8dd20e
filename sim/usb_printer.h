#pragma once
// The simulated USB printers: per printer the printer model, its device ID, the status
// byte and buffer-clear answer of the printer-class control requests, and the faults a
// test can arm. Pure: the device host serves these over its pipes and bus.
#include <cstdint>
#include <string>

#include "sim/device.h"
#include "sim/printer.h"
#include "sim/usb_tree.h"

const uint32_t USB_REQUEST_DEVICE_ID = 0x0016000C;
const uint32_t USB_REQUEST_VENDOR_SET = 0x00220038;
const uint32_t USB_REQUEST_VENDOR_GET = 0x0022003C;

struct UsbPrinter {
  Printer model;
  UsbVendorState vendor;     // offset, MIB object table: the vendor requests of the device services
  uint32_t portNumber = 1;   // "Port Number" of its interface: port 1 is USB001
  std::string deviceId;      // answered without a length prefix; empty: the request returns nothing
  unsigned char status = 1;  // first byte of the status answer; 1 lets the host read
  unsigned char clearAnswer = 0;
  unsigned char jobEnded = 0;  // GET_JOBEND answer: 0 the job ended

  // Faults. A request whose code is failCode (0: any) fails with failError, failCount times.
  uint32_t failCode = 0, failError = 0;
  int failCount = 0;
  int readingStopped = 0;  // the data pipe is not read: the host's writes stay pending
  int present = 1;         // 0: unplugged; every request fails with 31 and the bus lists it not

  long long requests = 0;  // control requests answered, failures included
  long long clears = 0;    // buffer-clear requests answered
};

// A printer of the given model name on the given port, with a device ID naming it.
UsbPrinter MakeUsbPrinter(const std::string& model, uint32_t port);
std::string UsbDeviceIdText(const std::string& model);

// The ControlHandler of a USB printer: state is a UsbPrinter*.
ControlAnswer UsbPrinterControl(void* state, const ControlRequest& request);

// Arms a fault: the next `count` requests with `code` (0: any) fail with `error`.
void UsbFailRequests(UsbPrinter& p, uint32_t code, uint32_t error, int count);
