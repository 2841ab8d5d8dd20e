#include "sim/usb_printer.h"

namespace {

const uint32_t ERROR_GEN_FAILURE_ = 31;
const uint32_t ERROR_INVALID_PARAMETER_ = 87;
const uint32_t ERROR_INSUFFICIENT_BUFFER_ = 122;

const char statusInput[7] = {0, 0, 0, 0, 0, 0, 1};
const char clearInput[19] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i'};

ControlAnswer Bytes(const std::string& out, uint32_t outLength) {
  if (out.size() > outLength) return ControlFailure(ERROR_INSUFFICIENT_BUFFER_);
  ControlAnswer a;
  a.success = 1;
  a.out = out;
  return a;
}

ControlAnswer Answer4(unsigned char first, uint32_t outLength) { return Bytes(std::string(1, char(first)) + std::string(3, '\0'), outLength); }

int Armed(UsbPrinter& p, uint32_t code) {
  if (p.failCount <= 0 || (p.failCode != 0 && p.failCode != code)) return 0;
  p.failCount--;
  return 1;
}

ControlAnswer Services(UsbPrinter& p, const ControlRequest& r) {
  ControlAnswer a;
  if (UsbVendorAnswer(p.vendor, r, p.jobEnded != 0, &a)) return a;
  return ControlFailure(ERROR_INVALID_PARAMETER_);
}

ControlAnswer VendorGet(UsbPrinter& p, const ControlRequest& r) {
  if (r.in == std::string(statusInput, sizeof statusInput)) return Answer4(p.status, r.outLength);
  if (r.in.size() == 7 && r.in[0] == 5 && r.in[1] == 0) return Bytes(std::string(1, char(p.jobEnded)) + std::string(2, '\0'), r.outLength);
  return Services(p, r);
}

}  // namespace

std::string UsbDeviceIdText(const std::string& model) {
  return "MFG:Tarvex;CMD:PJL,PCL;MDL:" + model + ";CLS:PRINTER;DES:Tarvex " + model + ";";
}

UsbPrinter MakeUsbPrinter(const std::string& model, uint32_t port) {
  UsbPrinter p;
  p.portNumber = port;
  p.deviceId = UsbDeviceIdText(model);
  UsbVendorInit(&p.vendor);
  return p;
}

ControlAnswer UsbPrinterControl(void* state, const ControlRequest& r) {
  UsbPrinter& p = *static_cast<UsbPrinter*>(state);
  p.requests++;
  if (!p.present) return ControlFailure(ERROR_GEN_FAILURE_);
  if (Armed(p, r.code)) return ControlFailure(p.failError);
  switch (r.code) {
    case USB_REQUEST_DEVICE_ID: {
      ControlAnswer a;
      a.success = 1;
      a.out = p.deviceId.substr(0, r.outLength);  // as the class driver does: cut to the buffer
      return a;
    }
    case USB_REQUEST_VENDOR_GET: return VendorGet(p, r);
    case USB_REQUEST_VENDOR_SET:
      if (r.in == std::string(clearInput, sizeof clearInput)) {
        p.clears++;
        return Answer4(p.clearAnswer, r.outLength);
      }
      return Services(p, r);
  }
  return ControlFailure(ERROR_INVALID_PARAMETER_);
}

void UsbFailRequests(UsbPrinter& p, uint32_t code, uint32_t error, int count) {
  p.failCode = code;
  p.failError = error;
  p.failCount = count;
}
