// The simulated printer on each interface, and the user's way to connect to it.
#pragma once
#include "tests/win/harness.h"
#include "tests/win/rs232c_far_end.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/state.h"
#include "sim/bus.h"
#include "sim/device_host.h"
#include "sim/parallel.h"
#include "sim/scsi.h"
#include "sim/server.h"
#include "sim/usb_printer.h"
#include <memory>

// One interface as a test drives it: the user's way to connect it and the simulated printer behind it.
struct Rig {
  const char* name;
  int kind;
  size_t stuckSize;  // more than the stalled printer's buffers take
  DWORD busy;        // the error the device answers a write with while busy; 0: none
  Rig(const char* name, int kind, size_t stuckSize, DWORD busy) : name(name), kind(kind), stuckSize(stuckSize), busy(busy) {}
  virtual ~Rig() = default;
  virtual bool Serve() = 0;  // before the program starts
  virtual void Unserve() = 0;
  virtual void Connect() = 0;  // bidirectional, the quickest receive interval
  virtual void ReadRate(int bytesPerSec, bool paused) = 0;
  virtual std::string Stats() = 0;  // "<bytes> <FNV-1a 64>" since Reset
  virtual void Reset() = 0;
  virtual void Answer(const std::string& bytes) = 0;
  virtual void Drop() = 0;  // while a job runs on the stalled printer
  virtual void Restore() {}
  virtual long long Clears() { return 0; }
};

struct TcpRig : Rig {
  TcpRig() : Rig("TCP/IP", IF_TCPIP, 8u << 20, 0) {}
  int port = 0;
  bool Serve() override { return (port = SimStart("127.0.0.1", 0)) != 0; }
  void Unserve() override { SimStop(); }
  void Connect() override {
    PostCommand(IDM_TCPIP);
    ASSERT_TRUE(ConfirmTcpipDialog("127.0.0.1", port, true));
    ASSERT_TRUE(WaitFor([] { return Ports[IF_TCPIP].connected == 1 && SimGetStats().connected == 1; })) << LogDump();
    NoRecvLimit = 3000;  // the silent printer is not dropped while the test runs
  }
  void ReadRate(int bytesPerSec, bool paused) override { SimSetReadRate(bytesPerSec, paused); }
  std::string Stats() override { return FarEndStatsOf(SimReceived()); }
  void Reset() override { SimReset(); }
  void Answer(const std::string& bytes) override { ASSERT_EQ((int)bytes.size(), SimSend(bytes.data(), (int)bytes.size())); }
  // The printer takes one more byte and closes the connection.
  void Drop() override {
    SimSetCloseAfterBytes(SimGetStats().connectionBytes + 1);
    SimSetReadRate(0, 0);
  }
  void Restore() override { SimSetCloseAfterBytes(0); }
};

struct Rs232cRig : Rig {
  Rs232cRig() : Rig("RS232C", IF_RS232C, 1u << 20, 0) {}
  bool Serve() override {
    ListComPort(10, true);
    return FarEndStart(10);
  }
  void Unserve() override {
    FarEndStop();
    ListComPort(10, false);
  }
  static HWND OpenDialog() {
    PostCommand(IDM_RS232C);
    return WaitDialog("RS-232C");
  }
  static void Choose(HWND dlg, int id, const char* label) {
    LRESULT index = SendDlgItemMessageA(dlg, id, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)label);
    ASSERT_NE(CB_ERR, index) << label;
    SendDlgItemMessageA(dlg, id, CB_SETCURSEL, index, 0);
  }
  // The dialog as a user fills it on COM10; flow "NO" lets every byte value through both ways.
  void Open(bool bidirectional, const char* interval, const char* flow) {
    HWND dlg = OpenDialog();
    ASSERT_TRUE(dlg);
    Choose(dlg, IDC_RS_PORT, "COM10");
    Choose(dlg, IDC_RS_FLOW, flow);
    Choose(dlg, IDC_RS_INTERVAL, interval);
    SetCheck(dlg, IDC_RS_BIDIR, bidirectional);
    Click(dlg, IDOK);
    ASSERT_TRUE(DialogGone(dlg));
    ASSERT_TRUE(WaitFor([] { return Ports[IF_RS232C].connected == 1; })) << LogDump();
  }
  void Connect() override { Open(true, "50ms ", "NO"); }
  void ReadRate(int bytesPerSec, bool paused) override {
    FarEndAsk("rate " + std::to_string(bytesPerSec));
    FarEndAsk(paused ? "pause 1" : "pause 0");
  }
  std::string Stats() override { return FarEndAsk("stats"); }
  void Reset() override { FarEndAsk("reset"); }
  void Answer(const std::string& bytes) override {
    static const char hex[] = "0123456789ABCDEF";
    std::string request = "send ";
    for (unsigned char c : bytes) request += {hex[c >> 4], hex[c & 15]};
    ASSERT_EQ("ok", FarEndAsk(request));
  }
  void Drop() override { ASSERT_EQ("ok", FarEndAsk("drop")); }
};

// A printer on the pipes of one simulated device.
struct DeviceRig : Rig {
  using Rig::Rig;
  SimDevice* device = NULL;
  size_t mark = 0;
  void Unserve() override { SimDeviceStop(device); }
  void ReadRate(int bytesPerSec, bool paused) override {
    SimDeviceSetReadRate(device, bytesPerSec);
    SimDeviceSetReading(device, !paused);
  }
  std::string Stats() override {
    std::string kept = DeviceKept(device);
    kept.erase(0, std::min(mark, kept.size()));
    return FarEndStatsOf(kept);
  }
  void Reset() override { mark = DeviceKept(device).size(); }
  void Answer(const std::string& bytes) override { SimDeviceSend(device, bytes); }
  void Drop() override { SimDeviceVanish(device); }
  void Restore() override { ASSERT_TRUE(SimDeviceReturn(device)); }
  // The connection dialog, its bidirectional box ticked; the driver's receive interval at its least.
  HWND OpenDialog(int command, const char* title, int bidir) {
    Ports[kind].receiveTimes = 50;
    PostCommand(command);
    HWND dlg = WaitDialog(title);
    if (dlg) SetCheck(dlg, bidir, true);
    return dlg;
  }
  void Confirm(HWND dlg) {
    ASSERT_TRUE(dlg);
    Click(dlg, IDOK);
    ASSERT_TRUE(DialogGone(dlg, 10000));
    ASSERT_TRUE(WaitFor([&] { return Ports[kind].connected == 1; })) << LogDump();
  }
};

struct Ieee1284Rig : DeviceRig {
  Ieee1284Rig() : DeviceRig("IEEE1284", IF_IEEE1284, 1u << 20, ERROR_BUSY) {}
  ParallelDevice port;
  bool Serve() override {
    ParallelReset(&port);
    SimDeviceSetup s;
    s.name = s.dosName = "KELVLPT1";
    s.control = ParallelControl;
    s.controlState = &port;
    return (device = SimDeviceStart(s)) != NULL;
  }
  void Connect() override { Confirm(OpenDialog(IDM_IEEE1284, "IEEE1284(Centro)", IDC_1284_BIDIR)); }
};

struct Ieee1394Rig : DeviceRig {
  Ieee1394Rig() : DeviceRig("IEEE1394", IF_IEEE1394, 1u << 20, ERROR_NOT_READY) {}
  ScsiDevice scsi;
  bool Serve() override {
    SimDeviceSetup s;
    s.name = "ieee1394-test";
    s.dosName = "LPT2";
    s.control = ScsiControl;
    s.controlState = &scsi;
    return (device = SimDeviceStart(s)) != NULL;
  }
  void Connect() override {
    HWND dlg = OpenDialog(IDM_IEEE1394, "IEEE1394", IDC_1394_BIDIR);
    if (dlg) SendDlgItemMessageA(dlg, IDC_1394_PORT, CB_SELECTSTRING, (WPARAM)-1, (LPARAM) "LPT2");
    Confirm(dlg);
  }
};

struct UsbRig : DeviceRig {
  UsbRig() : DeviceRig("USB", IF_USB, 1u << 20, 0) {}
  UsbPrinter printer = MakeUsbPrinter("X1", 1);
  bool Serve() override { return (device = SimBusServePrinter(&printer, 1, 1, "X1")) != NULL; }
  void Unserve() override {
    SimBusStop();
    DeviceRig::Unserve();
  }
  void Connect() override {
    PostCommand(IDM_USB);
    HWND dlg = WaitDialog("USB printer name selection", 10000);
    ASSERT_TRUE(dlg);
    SetText(dlg, IDC_USB_PRINTER, "X1");
    SetCheck(dlg, IDC_USB_BIDIR, true);
    Confirm(dlg);
  }
  long long Clears() override {
    SimDeviceLock(device);
    long long clears = printer.clears;
    SimDeviceUnlock(device);
    return clears;
  }
};

inline std::unique_ptr<Rig> MakeRig(int kind) {
  switch (kind) {
    case IF_TCPIP: return std::make_unique<TcpRig>();
    case IF_RS232C: return std::make_unique<Rs232cRig>();
    case IF_IEEE1284: return std::make_unique<Ieee1284Rig>();
    case IF_IEEE1394: return std::make_unique<Ieee1394Rig>();
  }
  return std::make_unique<UsbRig>();
}

