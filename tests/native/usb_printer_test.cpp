#include "sim/usb_printer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

ControlAnswer Ask(UsbPrinter& p, uint32_t code, const std::string& in, uint32_t outLength) {
  ControlRequest r;
  r.code = code;
  r.in = in;
  r.outLength = outLength;
  return UsbPrinterControl(&p, r);
}

const std::string statusIn("\0\0\0\0\0\0\1", 7);
const std::string clearIn = std::string("\1", 1) + std::string(9, '\0') + "abcdefghi";
const std::string jobEndIn("\5\0\0\0\0\0\0", 7);

}  // namespace

TEST(UsbSimPrinter, PrinterClassRequests) {
  UsbPrinter p = MakeUsbPrinter("X1", 2);
  p.status = 0x18;
  p.clearAnswer = 0x42;
  p.jobEnded = 1;
  struct Case {
    uint32_t code;
    std::string in;
    uint32_t outLength;
    int success;
    std::string out;
  } cases[] = {
      {USB_REQUEST_DEVICE_ID, "", 1024, 1, "MFG:Tarvex;CMD:PJL,PCL;MDL:X1;CLS:PRINTER;DES:Tarvex X1;"},
      {USB_REQUEST_DEVICE_ID, "", 10, 1, "MFG:Tarvex"},
      {USB_REQUEST_VENDOR_GET, statusIn, 4, 1, std::string("\x18\0\0\0", 4)},
      {USB_REQUEST_VENDOR_GET, statusIn, 3, 0, ""},
      {USB_REQUEST_VENDOR_SET, clearIn, 4, 1, std::string("\x42\0\0\0", 4)},
      {USB_REQUEST_VENDOR_SET, clearIn.substr(0, 18), 4, 0, ""},
      {USB_REQUEST_VENDOR_GET, jobEndIn, 3, 1, std::string("\1\0\0", 3)},
      {USB_REQUEST_VENDOR_GET, "\1", 4, 0, ""},
      {0x00220000, "", 4, 0, ""},
  };
  for (const Case& c : cases) {
    ControlAnswer a = Ask(p, c.code, c.in, c.outLength);
    EXPECT_EQ(a.success, c.success) << std::hex << c.code << " " << c.in.size();
    EXPECT_EQ(a.out, c.out) << std::hex << c.code;
    if (!a.success) {
      EXPECT_NE(a.error, 0u);
    }
  }
}

TEST(UsbSimPrinter, ArmedFailuresAndUnplug) {
  UsbPrinter p = MakeUsbPrinter("X1", 1);
  UsbFailRequests(p, USB_REQUEST_VENDOR_GET, 1784, 2);
  EXPECT_EQ(Ask(p, USB_REQUEST_DEVICE_ID, "", 64).success, 1);  // another code is not touched
  for (int i = 0; i < 2; i++) EXPECT_EQ(Ask(p, USB_REQUEST_VENDOR_GET, statusIn, 4).error, 1784u);
  EXPECT_EQ(Ask(p, USB_REQUEST_VENDOR_GET, statusIn, 4).success, 1);
  UsbFailRequests(p, 0, 234, 1);
  EXPECT_EQ(Ask(p, USB_REQUEST_DEVICE_ID, "", 64).error, 234u);
  p.present = 0;
  EXPECT_EQ(Ask(p, USB_REQUEST_DEVICE_ID, "", 64).success, 0);
  p.present = 1;
  EXPECT_EQ(Ask(p, USB_REQUEST_DEVICE_ID, "", 64).success, 1);
  p.deviceId.clear();
  ControlAnswer none = Ask(p, USB_REQUEST_DEVICE_ID, "", 64);
  EXPECT_EQ(none.success, 1);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(p.requests, 8);
}
