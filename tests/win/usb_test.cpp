// The USB printer driver against simulated USB printers on the simulated bus: the access
// layer on its own, then the real window as a user drives it.
#include "tests/win/harness.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/state.h"
#include "ports/usb/usb.h"
#include "send/engine.h"
#include "send/frame.h"
#include "services/vendor.h"
#include "sim/bus.h"
#include "sim/device_host.h"
#include "sim/usb_printer.h"
#include "sim/usb_tree_host.h"
#include <gtest/gtest.h>
#include <memory>
#include <process.h>

namespace {

struct SimUsb {
  UsbPrinter printer;
  SimDevice* device = nullptr;
};

// Printers served on the bus by number; their ports are USB%03u of their port numbers.
struct UsbBus {
  ~UsbBus() { Stop(); }
  // `number` names the device interface (SimBusPrinterName); by default the next one.
  SimUsb* Add(const std::string& model, uint32_t port, int number = 0) {
    auto p = std::make_unique<SimUsb>();
    p->printer = MakeUsbPrinter(model, port);
    if (model.empty()) UsbFailRequests(p->printer, USB_REQUEST_DEVICE_ID, 31, 1000);  // no ID to be had
    p->device = SimBusServePrinter(&p->printer, number ? number : (int)printers.size() + 1, (int)port, model);
    if (!p->device) return nullptr;
    printers.push_back(std::move(p));
    return printers.back().get();
  }
  void Stop() {
    SimBusStop();
    for (auto& p : printers) SimDeviceStop(p->device);
    printers.clear();
  }
  std::vector<std::unique_ptr<SimUsb>> printers;
};

// The printer changed, or read, under the device's lock.
template <class F>
auto Locked(SimUsb* p, F use) {
  SimDeviceLock(p->device);
  std::unique_ptr<SimDevice, void (*)(SimDevice*)> unlock(p->device, SimDeviceUnlock);
  return use(p->printer);
}

std::string Received(SimUsb* p) { return Locked(p, [](UsbPrinter& u) { return u.model.kept; }); }

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; i++) bytes[i] = (char)(i * 7 % 61);
  return bytes;
}

// MIB objects the printer does not know, set from a thread of their own.
unsigned __stdcall SetUnknownObjects(void* rounds) {
  std::string request("\x02\x00\x00\x00\x01\x00\x00\x00\x06qovelt\x00\x00\x00\x01\x00\x01\x00\x09", 23);
  for (int i = 0; i < *(int*)rounds; i++) MibObjectSetCommand(request);
  return 0;
}

}  // namespace

// The access layer alone: no window, no app start.
TEST(UsbAccess, TransfersSayWhatTheyMoved) {
  UsbBus bus;
  SimUsb* one = bus.Add("X1", 1);
  ASSERT_TRUE(one);
  HANDLE h;
  ASSERT_EQ(UsbAccessOpen(&h, "USBTST2", "USB001"), 0);

  // A write moves every byte, or says it did not.
  std::string data = Pattern(10000);
  DWORD written = 0;
  EXPECT_EQ(UsbAccessWrite(h, (const unsigned char*)data.data(), (DWORD)data.size(), &written, 0), 0);
  EXPECT_EQ(written, data.size());
  EXPECT_TRUE(WaitFor([&] { return Received(one) == data; }));
  SimDeviceSetReading(one->device, 0);
  std::string big = Pattern(1 << 20);
  EXPECT_EQ(UsbAccessWrite(h, (const unsigned char*)big.data(), (DWORD)big.size(), &written, 300), USB_TRANSFER_FAILED);
  EXPECT_LT(written, big.size());
  SimDeviceSetReading(one->device, 1);

  unsigned char in[64];
  DWORD read = 99;
  EXPECT_EQ(UsbAccessRead(h, in, sizeof in, &read, 500), 0);
  EXPECT_EQ(read, 0u);

  EXPECT_EQ(UsbAccessClose(h), 0);
  unsigned char answer[4];
  EXPECT_EQ(UsbAccessReadStatus(h, answer), USB_BAD_HANDLE);
}

class UsbTest : public AppTest {
 protected:
  void TearDown() override {
    UsbWriteStart = WriteFileEx;
    DirectWritePatienceMs = 10000;
    GetJobEndCheck = 0;
    AppTest::TearDown();
    bus.Stop();
  }
  // The dialog with the chosen text and interval; true once it closed.
  bool Choose(const std::string& text, bool bidirectional = false, bool status = false, const char* interval = nullptr) {
    HWND dlg = WaitDialog("USB printer name selection", 10000);
    if (!dlg) return false;
    SetText(dlg, IDC_USB_PRINTER, text);
    if (interval) SetText(dlg, IDC_USB_INTERVAL, interval);
    SetCheck(dlg, IDC_USB_BIDIR, bidirectional);
    SetCheck(dlg, IDC_USB_STATUS, status);
    Click(dlg, IDOK);
    return DialogGone(dlg);
  }
  // Ctrl+U and the dialog; true once connected.
  bool Connect(const std::string& text, bool bidirectional = false, bool status = false, const char* interval = nullptr) {
    PostCommand(IDM_USB);
    return Choose(text, bidirectional, status, interval) && WaitFor([] { return Ports[IF_USB].connected == 1; });
  }
  void Disconnect() {
    PostCommand(IDM_DISCONNECT);
    ASSERT_TRUE(WaitLine("USB:Port Close"));
    ASSERT_TRUE(WaitFor([] { return Ports[IF_USB].connected == 0 && UsbBlock->usbHandle == INVALID_HANDLE_VALUE; }));
  }
  // A job that cannot end by itself: the printer reads nothing. Only this job names its
  // file, so a late line of the job before cannot stand for it.
  void StartStuckJob(SimUsb* p, const std::string& path) {
    SimDeviceSetReading(p->device, 0);
    size_t started = LinesWith("SendDataFile = " + path).size();
    ASSERT_TRUE(StartJob({path}, "64"));
    ASSERT_TRUE(WaitFor([&] { return LinesWith("SendDataFile = " + path).size() > started; })) << LogDump();
    Sleep(500);
    ASSERT_TRUE(SendThreadHandle != NULL);
  }
  UsbBus bus;
};

// Models listed, the exact one chosen, its ID shown, files byte-exact, and a clean close.
// Then, on a new bus, the walk lists the high-speed printer (interface 1) first, the spooler
// the full-speed one: each connection still shows its own printer's speed and vendor flag. Then the report, and the
// vendor requests: SET_OFFSET takes 1 to 255 only; the MIB dialog lays out and answers;
// its requests never fall between a cycle's set and get, so the counter runs on.
TEST_F(UsbTest, ListsConnectsSendsAndServesTheConnectedPrinter) {
  CurrentInterfaceKind = IF_RS232C;
  PostCommand(IDM_USB);
  EXPECT_NE(AnswerMessageBox("Error", IDOK).find("There is no printer which can be opened by USB."), std::string::npos);
  EXPECT_TRUE(WaitLine("Open processing was canceled."));
  EXPECT_EQ(IF_RS232C, (int)CurrentInterfaceKind) << "the keys stay with the interface they had";

  bus.Add("X10", 1);
  bus.Add("X1", 2);
  SimUsb* chosen = bus.Add("X1", 3);
  bus.Add("", 4);
  PostCommand(IDM_USB);
  HWND dlg = WaitDialog("USB printer name selection", 10000);
  ASSERT_TRUE(dlg);
  HWND combo = GetDlgItem(dlg, IDC_USB_PRINTER);
  std::vector<std::string> listed;
  for (int i = 0; i < (int)SendMessageA(combo, CB_GETCOUNT, 0, 0); i++) {
    char text[260] = "";
    SendMessageA(combo, CB_GETLBTEXT, i, (LPARAM)text);
    listed.push_back(text);
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"X10", "X1", "X1", "No DeviceID "}));
  Click(dlg, IDCANCEL);
  ASSERT_TRUE(DialogGone(dlg));

  // Chosen in the job's interface selection, with a typed interval lacking its label's blank.
  std::string sent = Pattern(3000);
  ASSERT_TRUE(StartJob({File("first.bin", sent)}, "1"));
  HWND select = WaitDialog("Selection of I/F");
  ASSERT_TRUE(select);
  Click(select, IDC_SEL_USB);
  Click(select, IDOK);
  ASSERT_TRUE(Choose("X1", false, false, "5sec"));
  ASSERT_TRUE(DialogGone(select) && JobEnded()) << LogDump();
  EXPECT_STREQ(UsbBlock->portName, "USB003");
  EXPECT_EQ(LinesWith("USB:Open Handle = ").size(), 1u) << LogDump();
  EXPECT_TRUE(HasLine("USB:Data Send End.")) << LogDump();
  EXPECT_EQ(IF_USB, (int)CurrentInterfaceKind);
  EXPECT_EQ("USB  USB003", StatusText(0));
  EXPECT_EQ(5000, (int)Ports[IF_USB].receiveTimes);

  MibRequestCounter = 7;
  PostCommand(IDM_USB);
  EXPECT_TRUE(WaitLine("Error:Already Opened.")) << LogDump();
  EXPECT_EQ(7, (int)MibRequestCounter) << "the open printer's cycle runs on";

  PostCommand(IDM_DEVICE_ID);
  ASSERT_TRUE(WaitLine("Compatible IDs = ")) << LogDump();
  EXPECT_TRUE(HasLine("IDNum = " + std::to_string(UsbDeviceIdText("X1").size()))) << LogDump();
  for (const char* line : {"Manufacturer = Tarvex", "Command Set = PJL,PCL", "Model = X1",
                           "Class = PRINTER", "Device Description = Tarvex X1", "Hardware IDs = "})
    EXPECT_TRUE(HasLine(line)) << line << LogDump();

  // Several block sizes (KiB), a delay: every byte, in order.
  UsbBlock->delayUsb = 20;
  for (const char* size : {"1", "3", "64"}) {
    std::string data = Pattern(20000 + sent.size());
    ASSERT_TRUE(RunJob({File(std::string("f") + size, data)}, 1, size)) << LogDump();
    sent += data;
  }
  EXPECT_TRUE(WaitFor([&] { return Received(chosen).size() == sent.size(); }));
  EXPECT_TRUE(Received(chosen) == sent);
  EXPECT_EQ(LinesWith("USB:Data Send End.").size(), 4u) << LogDump();

  Disconnect();
  EXPECT_TRUE(WaitLine("Close Success")) << LogDump();

  bus.Stop();
  ASSERT_TRUE(bus.Add("FS", 1, 2));
  SimUsb* p = bus.Add("HS", 2, 1);  // connected last: the vendor requests go to it
  ASSERT_TRUE(p);
  UsbTreeHost* tree = UsbTreeHostStart(0);
  struct Case { const char* model; const char* speed; int vendor; const char* interval; int ms; } cases[] = {
      {"FS", "Speed = Full(12Mbps)", 0, "", 5000},  // an emptied box keeps the interval
      {"HS", "Speed = High(480Mbps)", 1, "60sec", 60000},
  };
  for (const Case& c : cases) {
    if (Ports[IF_USB].connected) Disconnect();
    ASSERT_TRUE(Connect(c.model, false, false, c.interval)) << LogDump();
    EXPECT_TRUE(WaitFor([&] { return StatusText(3) == c.speed; })) << c.model << StatusText(3);
    EXPECT_EQ(c.vendor, (int)UsbVendorFlag) << c.model;
    EXPECT_EQ(c.ms, (int)Ports[IF_USB].receiveTimes) << c.model;
  }
  PostCommand(IDM_DESCRIPTOR);
  EXPECT_TRUE(WaitLine("HCD1")) << LogDump();
  EXPECT_EQ(1, LineCount(" -[Port1] DeviceConnected:  Tarvex Sim FS Printer")) << LogDump();
  UsbTreeHostStop(tree);

  PostCommand(IDM_SET_OFFSET);
  dlg = WaitDialog("SET_OFFSET_VALUE");
  ASSERT_TRUE(dlg != NULL);
  SetText(dlg, IDC_OFFSET_VALUE, "256");
  Click(dlg, IDOK);
  EXPECT_FALSE(DialogGone(dlg, 300));
  EXPECT_TRUE(WaitDialog("Error", 100) == NULL);
  SetText(dlg, IDC_OFFSET_VALUE, "12a");
  Click(dlg, IDOK);
  ASSERT_TRUE(DialogGone(dlg));
  EXPECT_EQ(12, OffsetValue);
  EXPECT_TRUE(WaitFor([&] { return Locked(p, [](UsbPrinter& u) { return u.vendor.offset; }) == 12; }));

  PostCommand(IDM_MIBOBJECT);
  dlg = WaitDialog("MIB refer (transmission)");
  ASSERT_TRUE(dlg != NULL);
  EXPECT_EQ("qovelt", Text(dlg, IDC_MIB_COMMUNITY));
  EXPECT_FALSE(IsEnabled(dlg, IDC_MIB_VALUE));

  // SET of a String object, then GET of it: the answer's fields decoded.
  TypeChars(GetDlgItem(dlg, IDC_MIB_OID), "00010003000600010002000100010004");
  EXPECT_EQ("00 01 00 03 00 06 00 01 00 02 00 01 00 01 00 04", Text(dlg, IDC_MIB_OID));
  Click(dlg, IDC_MIB_SET);
  WaitFor([&] { return IsEnabled(dlg, IDC_MIB_VALUE); });
  Click(dlg, IDC_MIB_STRING);
  WaitFor([&] { return IsChecked(dlg, IDC_MIB_STRING); });
  SetText(dlg, IDC_MIB_VALUE, "0005HELLO");
  Click(dlg, IDC_MIB_SET_MIB);
  EXPECT_TRUE(WaitFor([&] { return Locked(p, [](UsbPrinter& u) { return u.vendor.mibSets; }) == 1; }));
  EXPECT_EQ(1, MibReferCycle());  // a receive's automatic cycle must not fall between the user's set and get
  EXPECT_EQ(1, Locked(p, [](UsbPrinter& u) { return u.vendor.mibSets; }));
  Click(dlg, IDC_MIB_GET);
  SetText(dlg, IDC_MIB_RECEIVE_SIZE, "100");
  Click(dlg, IDC_MIB_GET_MIB);
  EXPECT_TRUE(WaitFor([&] { return Text(dlg, IDC_MIB_R_VALUE) == "0005HELLO"; })) << Text(dlg, IDC_MIB_R_VALUE);
  EXPECT_EQ("255", Text(dlg, IDC_MIB_RECEIVE_SIZE));
  EXPECT_EQ("00 08 ", Text(dlg, IDC_MIB_R_OID_SIZE));
  Click(dlg, IDCANCEL);
  EXPECT_TRUE(DialogGone(dlg));

  SimDeviceFailNextControl(p->device, ERROR_GEN_FAILURE);  // the job-end asking gives up
  EXPECT_EQ(-1, ::UsbServices.jobEndQuery());
  EXPECT_TRUE(WaitLine("Error:Time out."));
  OpenDsp = 1;
  int rounds = 40;
  MibRequestCounter = 1;
  HANDLE t = (HANDLE)_beginthreadex(NULL, 0, SetUnknownObjects, &rounds, 0, NULL);
  for (int i = 0; i < rounds; i++) ASSERT_EQ(1, MibReferCycle());
  WaitForSingleObject(t, 10000);
  CloseHandle(t);
  EXPECT_EQ(41, MibRequestCounter);
  EXPECT_TRUE(WaitLine("Velmora tray 40 ready"));
}

// GET_JOB_END on, the printer never says the job ended: the job still ends, as one failed job
// and with no box, by Stop (also while its dialog closes), job cancel, time-out, disconnection.
// Then a printer that fails at write start, comes back after vanishing mid-job, or never
// says it may be read: each ends as the user expects, with no stray box and no crash.
TEST_F(UsbTest, JobEndWaitWriteErrorsUnplugAndStatusZero) {
  SimUsb* p = bus.Add("X1", 1);
  ASSERT_TRUE(Connect("X1", true)) << LogDump();
  Locked(p, [](UsbPrinter& u) { u.jobEnded = 1; });
  PostCommand(IDM_GET_JOB_END);  // after the connection's own steps, which clear it
  ASSERT_TRUE(WaitFor([] { return GetJobEndCheck == 1; }));
  struct Exit { int command; bool whileAsking; int timeOutSeconds; const char* line; } exits[] = {
      {IDM_STOP, false, 0, nullptr},
      {IDM_STOP, true, 0, nullptr},
      {IDM_JOB_CANCEL, true, 0, nullptr},
      {0, true, 1, "USB:<ERROR>Send Data Time Out."},
      {IDM_DISCONNECT, true, 0, nullptr},
  };
  for (const Exit& e : exits) {
    int failed = LineCount("USB:<ERROR>Data Send NG.");
    ASSERT_TRUE(StartJob({File("j.bin", "abc")}, "64", e.timeOutSeconds));
    EXPECT_TRUE(!e.whileAsking || WaitFor([] { return StatusText(3) == "GET_JOB_END RETRY"; })) << e.command;
    if (e.command) PostCommand(e.command);
    EXPECT_TRUE(JobEnded(3000)) << e.command << LogDump();
    EXPECT_TRUE(WaitFor([&] { return LineCount("USB:<ERROR>Data Send NG.") == failed + 1; })) << e.command << LogDump();
    EXPECT_TRUE(!e.line || HasLine(e.line)) << LogDump();
    EXPECT_EQ(0, (int)UsbJobCancelRequest);  // served, not left to end the next job
  }
  EXPECT_FALSE(WaitDialog("Error", 1000));

  Locked(p, [](UsbPrinter& u) { u.jobEnded = 0; });
  ASSERT_TRUE(WaitFor([] { return Ports[IF_USB].connected == 0; }));
  ASSERT_TRUE(Connect("X1", true, true)) << LogDump();

  // Status 0 forever: nothing read, nothing logged.
  Locked(p, [](UsbPrinter& u) { u.status = 0; });
  SimDeviceSend(p->device, "unseen");
  Sleep(1500);
  EXPECT_TRUE(LinesWith("unseen").empty());

  // Status reads that keep failing stop receiving, and the job with it: left running, no
  // Stop could reach it any more.
  Locked(p, [](UsbPrinter& u) { u.status = 1; });
  StartStuckJob(p, File("status.bin", Pattern(1 << 20)));
  Locked(p, [](UsbPrinter& u) { UsbFailRequests(u, USB_REQUEST_VENDOR_GET, 31, 2); });
  EXPECT_TRUE(WaitFor([] { return !LinesWith("USB Status Read circuit Error !!").empty(); })) << LogDump();
  EXPECT_TRUE(JobEnded(3000)) << LogDump();

  // Errors at write start give their lines and the circuit box; a file's short last piece
  // words its circuit line without the blank.
  struct Case { DWORD error; const char* reason; size_t size; const char* circuit; } cases[] = {
      {234, "(Overflow)", 1024, "Send circuit Error. [ErrNo="},
      {1784, "(Unsettled asynchronous I/O remains in large quantities.)", 3, "Send circuit Error.[ErrNo="},
      {8, "(Unsettled asynchronous I/O remains in large quantities.)", 1024, "Send circuit Error. [ErrNo="},
  };
  static DWORD failWith;
  UsbWriteStart = [](HANDLE, LPCVOID, DWORD, LPOVERLAPPED, LPOVERLAPPED_COMPLETION_ROUTINE) -> BOOL {
    SetLastError(failWith);
    return FALSE;
  };
  for (const Case& c : cases) {
    failWith = c.error;
    ASSERT_TRUE(StartJob({File("e.bin", Pattern(c.size))}, "1"));
    EXPECT_NE(AnswerMessageBox("Error", IDOK).find("Circuit error."), std::string::npos) << c.error;
    ASSERT_TRUE(JobEnded()) << LogDump();
    std::string head = "USB:(" + std::to_string(SendCounter) + ")<ERROR> ", error = std::to_string(c.error);
    EXPECT_TRUE(HasLine(head + "Data Send NG. " + c.reason + " [ErrNo=" + error + "]")) << LogDump();
    EXPECT_TRUE(HasLine(head + c.circuit + error + "]")) << LogDump();
  }
  UsbWriteStart = WriteFileEx;

  // A direct write the printer does not take ends after its bound, as a failure.
  DirectWritePatienceMs = 500;
  SimDeviceSetReading(p->device, 0);
  std::string lump = Pattern(256 << 10);
  EXPECT_EQ(UsbDriver.directWrite((const unsigned char*)lump.data(), (int)lump.size()), 0);
  EXPECT_TRUE(HasLine("USB:<ERROR> Send circuit Error. [ErrNo=1460]")) << LogDump();
  SimDeviceSetReading(p->device, 1);

  // Unplugged mid-job and back: the job ends, the next job cancel's request reopens it.
  Locked(p, [](UsbPrinter& u) { u.status = 1; });
  StartStuckJob(p, File("unplug.bin", Pattern(1 << 20)));
  SimDeviceVanish(p->device);
  AnswerMessageBox("Error", IDOK, 3000);
  ASSERT_TRUE(JobEnded(10000)) << LogDump();
  ASSERT_TRUE(SimDeviceReturn(p->device));
  SimDeviceSetReading(p->device, 1);
  PostCommand(IDM_JOB_CANCEL);
  Sleep(500);
  EXPECT_TRUE(LinesWith("Error:Timeout").empty()) << LogDump();
  std::string after = Pattern(5000);
  size_t before = Received(p).size();
  ASSERT_TRUE(RunJob({File("after.bin", after)})) << LogDump();
  EXPECT_TRUE(WaitFor([&] { return Received(p).size() == before + after.size(); })) << LogDump();

  // A request that fails once reopens the pipes under a pending write and the receive
  // thread's read: the job goes on on the new pipes, every byte once, in order, no box.
  std::string moved = Pattern(300 << 10);
  before = Received(p).size();
  StartStuckJob(p, File("moved.bin", moved));
  Locked(p, [](UsbPrinter& u) { UsbFailRequests(u, USB_REQUEST_DEVICE_ID, 31, 1); });
  PostCommand(IDM_DEVICE_ID);
  EXPECT_TRUE(WaitLine("Model = X1")) << LogDump();
  SimDeviceSetReading(p->device, 1);
  ASSERT_TRUE(JobEnded(10000)) << LogDump();
  EXPECT_EQ(AnswerMessageBox("Error", IDOK, 500), "<no message box>") << LogDump();
  EXPECT_TRUE(WaitFor([&] { return Received(p).size() >= before + moved.size(); })) << LogDump();
  EXPECT_TRUE(Received(p).substr(before) == moved) << Received(p).size() - before;
}
