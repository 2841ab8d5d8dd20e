// The fault matrix: every edge a job can meet, on every interface that has it, against the
// simulated printer. Each edge must end the job within its bound and with its line, show no
// box the user did not cause, and leave the port free: a typed key goes out and the next
// job arrives whole. All edges of one interface share one program start.
#include "tests/win/harness.h"
#include "tests/win/rs232c_far_end.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/state.h"
#include "platform/device.h"
#include "send/engine.h"
#include "sim/bus.h"
#include "sim/device_host.h"
#include "sim/parallel.h"
#include "sim/scsi.h"
#include "sim/server.h"
#include "sim/usb_printer.h"
#include <gtest/gtest.h>
#include <memory>

namespace {

enum Edge { WAIT_DISCONNECT, PIECE_DISCONNECT, STOP, BUSY_STOP, BUSY_TIME_OUT, LINE_DROP, JOB_CANCEL, FLOOD, SHUTDOWN };
const char* const kEdgeNames[] = {"disconnect between files", "disconnect mid-piece", "Stop mid-piece",
                                  "Stop during busy", "busy until the time-out", "the line drops",
                                  "job cancel", "2 MB answer flood", "shutdown on a stalled printer"};
const unsigned ALL = ~0u, PIPES = 1u << IF_IEEE1284 | 1u << IF_IEEE1394, USB_ONLY = 1u << IF_USB;

// The edges in the order one program start meets them, each with the interfaces that have it.
const struct {
  Edge edge;
  unsigned interfaces;
} kMatrix[] = {
    {WAIT_DISCONNECT, ALL}, {PIECE_DISCONNECT, ALL}, {STOP, ALL},   {BUSY_STOP, PIPES}, {BUSY_TIME_OUT, PIPES},
    {LINE_DROP, ALL},       {JOB_CANCEL, USB_ONLY},  {FLOOD, ALL}, {SHUTDOWN, ALL},
};

// The pipe devices' writes go through the device seam; while this is set every one is refused.
volatile DWORD busyError;
BOOL(WINAPI* platformWrite)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
BOOL WINAPI BusyWrite(HANDLE h, LPCVOID bytes, DWORD n, LPDWORD written, LPOVERLAPPED o) {
  if (!busyError) return platformWrite(h, bytes, n, written, o);
  if (written) *written = 0;
  SetLastError(busyError);
  return FALSE;
}

std::string StatsOf(long long bytes, uint64_t hash) {
  char text[64];
  snprintf(text, sizeof text, "%lld %016llx", bytes, (unsigned long long)hash);
  return text;
}

// Printable lines, numbered, so a lost, doubled or reordered chunk shows in the capture.
std::string FloodText() {
  std::string text;
  char line[64];
  for (int i = 0; text.size() < 2000000 - 64; i++) {
    snprintf(line, sizeof line, "answer line %07d of the flood, in order\r\n", i);
    text += line;
  }
  return text + "end of the flood\r\n";
}

// One interface as the matrix drives it: the user's way to connect it and the printer behind it.
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
    NoRecvLimit = 3000;  // the silent printer must not be dropped while the matrix runs
  }
  void ReadRate(int bytesPerSec, bool paused) override { SimSetReadRate(bytesPerSec, paused); }
  std::string Stats() override { return StatsOf(SimGetStats().bytes, SimGetStats().hash); }
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
  void Connect() override {
    PostCommand(IDM_RS232C);
    HWND dlg = WaitDialog("RS-232C");
    ASSERT_TRUE(dlg);
    for (auto [id, label] : {std::pair<int, const char*>{IDC_RS_PORT, "COM10"}, {IDC_RS_FLOW, "NO"},
                             {IDC_RS_INTERVAL, "50ms "}})
      SendDlgItemMessageA(dlg, id, CB_SELECTSTRING, (WPARAM)-1, (LPARAM)label);
    SetCheck(dlg, IDC_RS_BIDIR, true);
    Click(dlg, IDOK);
    ASSERT_TRUE(DialogGone(dlg));
    ASSERT_TRUE(WaitFor([] { return Ports[IF_RS232C].connected == 1; })) << LogDump();
  }
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
    s.name = "ieee1394-matrix";
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

std::unique_ptr<Rig> MakeRig(int kind) {
  switch (kind) {
    case IF_TCPIP: return std::make_unique<TcpRig>();
    case IF_RS232C: return std::make_unique<Rs232cRig>();
    case IF_IEEE1284: return std::make_unique<Ieee1284Rig>();
    case IF_IEEE1394: return std::make_unique<Ieee1394Rig>();
  }
  return std::make_unique<UsbRig>();
}

}  // namespace

class FaultMatrix : public AppTest, public testing::WithParamInterface<int> {
 protected:
  void BeforeStart() override {
    rig = MakeRig(GetParam());
    platformWrite = Device.WriteFile;
    Device.WriteFile = BusyWrite;
    ASSERT_TRUE(rig->Serve()) << rig->name << ": the simulated printer did not start";
  }
  // A printer that takes nothing would hold up the shutdown of a failed run.
  void TearDown() override {
    busyError = 0;
    rig->ReadRate(0, false);
    AppTest::TearDown();
    Device.WriteFile = platformWrite;
    rig->Unserve();
  }
  std::string Line(const char* text) { return std::string(rig->name) + ":" + text; }
  int Failed() { return LineCount(Line("<ERROR>Data Send NG.")); }
  bool NoBox(int ms = 300) { return WaitDialog("Error", ms) == NULL; }
  // The command, then the job's end: the milliseconds between, or -1 when it did not end in 10 s.
  static int EndBy(int command) {
    DWORD start = GetTickCount();
    PostCommand(command);
    return JobEnded(10000) ? int(GetTickCount() - start) : -1;
  }
  void StartStuckJob(int timeOutSeconds = 0) {
    rig->ReadRate(0, true);
    ASSERT_TRUE(StartJob({stuck}, "4", timeOutSeconds));
    ASSERT_TRUE(WaitFor([&] { return Ports[rig->kind].sending == 1; })) << LogDump();
    Sleep(500);
    ASSERT_TRUE(SendThreadHandle != NULL) << "the job ended although the printer took nothing" << LogDump();
  }
  // What the printer takes comes to rest: what a stopped job had handed over has arrived.
  void Settle() {
    std::string last = rig->Stats();
    for (int i = 0; i < 50; i++) {
      Sleep(200);
      std::string now = rig->Stats();
      if (now == last) return;
      last = now;
    }
  }
  void EndedAsAsked(int failedBefore, int ms, int boundMs) {
    EXPECT_TRUE(ms >= 0 && ms < boundMs) << ms << " ms" << LogDump();
    EXPECT_EQ(failedBefore + 1, Failed()) << LogDump();
    EXPECT_NE(1, (int)Ports[rig->kind].sending);
    EXPECT_TRUE(NoBox()) << LogDump();
  }
  void Run(Edge edge);
  void DisconnectBetweenFiles();
  void EndStuckJob(int command, int boundMs);
  void Busy(int timeOutSeconds);
  void LineDrop();
  void JobCancel();
  void Flood();
  void PortServesWhatFollows();

  std::unique_ptr<Rig> rig;
  std::string stuck, next;
};

void FaultMatrix::DisconnectBetweenFiles() {
  int failed = Failed(), sent = (int)LinesWith("SendTime = ").size();
  HWND dlg = ListJob({next, next}, "4");
  ASSERT_TRUE(dlg);
  SetCheck(dlg, IDC_BLK_WAIT_ON, true);
  SetText(dlg, IDC_BLK_WAIT, "5");
  Click(dlg, IDOK);
  ASSERT_TRUE(DialogGone(dlg));
  ASSERT_TRUE(WaitFor([&] { return (int)LinesWith("SendTime = ").size() > sent; }, 10000)) << LogDump();
  Sleep(500);
  EndedAsAsked(failed, EndBy(IDM_DISCONNECT), 2000);
}

void FaultMatrix::EndStuckJob(int command, int boundMs) {
  int failed = Failed();
  StartStuckJob();
  if (HasFatalFailure()) return;
  EndedAsAsked(failed, EndBy(command), boundMs);
}

// A busy printer may stay busy as long as it likes: only Stop or the time-out ends the job.
void FaultMatrix::Busy(int timeOutSeconds) {
  int failed = Failed(), timedOut = LineCount(Line("<ERROR>Send Data Time Out."));
  busyError = rig->busy;
  ASSERT_TRUE(StartJob({next}, "4", timeOutSeconds));
  if (timeOutSeconds) {
    EXPECT_TRUE(WaitLine(Line("<ERROR>Send Data Time Out."), timedOut + 1, 5000)) << LogDump();
    EXPECT_TRUE(JobEnded(3000)) << LogDump();
    EXPECT_EQ(Line("<ERROR>Data Send NG."), LogLines().back());
    EXPECT_EQ(failed + 1, Failed()) << LogDump();
  } else {
    Sleep(3000);
    EXPECT_EQ(1, (int)Ports[rig->kind].sending) << "the busy printer was given up" << LogDump();
    EndedAsAsked(failed, EndBy(IDM_STOP), 1000);
  }
  busyError = 0;
  EXPECT_TRUE(LinesWith("[ErrorNo=" + std::to_string(rig->busy) + "]").empty()) << LogDump();
}

// The driver's outcome of a dead line comes once: one error line of each kind, at most one
// circuit error box (none for TCP/IP), and the window answers meanwhile.
void FaultMatrix::LineDrop() {
  size_t before = LogLines().size();
  StartStuckJob();
  if (HasFatalFailure()) return;
  rig->Drop();
  int boxes = 0;
  for (DWORD start = GetTickCount(), quiet = 0; GetTickCount() - start < 20000 && quiet < 1500;) {
    DWORD_PTR result;
    EXPECT_TRUE(SendMessageTimeoutA(hMainWnd, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result)) << "the window froze";
    if (HWND box = WaitDialog("Error", 100)) {
      EXPECT_EQ("The circuit error occurred. Please re-connect. Circuit error.", Text(box, 0xFFFF));
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      DialogGone(box);
      boxes++;
    }
    quiet = SendThreadHandle == NULL ? quiet + 100 : 0;
  }
  EXPECT_TRUE(JobEnded(100)) << "the job did not end on the dead line" << LogDump();
  EXPECT_LE(boxes, rig->kind == IF_TCPIP ? 0 : 1);
  std::vector<std::string> lines = LogLines();
  for (size_t i = before; i < lines.size(); i++) {
    if (lines[i].find("<ERROR>") == std::string::npos) continue;
    EXPECT_EQ(1, std::count(lines.begin() + before, lines.end(), lines[i])) << lines[i] << LogDump();
  }
  rig->Restore();
  if (rig->kind == IF_TCPIP) {
    EXPECT_TRUE(WaitFor([] { return Ports[IF_TCPIP].connected == 1 && SimGetStats().connected == 1; }, 10000))
        << "the printer's close was not followed by a re-connection" << LogDump();
    return;
  }
  PostCommand(IDM_DISCONNECT);
  EXPECT_TRUE(WaitFor([&] { return Ports[rig->kind].connected == 0; })) << LogDump();
}

// While the printer reads promptly, so that only the cancel can end the job early.
void FaultMatrix::JobCancel() {
  const size_t size = 32u << 20;
  std::string path = File("cancelled.bin", FloodBytes((int)size, 6));
  int failed = Failed();
  long long clears = rig->Clears();
  rig->Reset();
  rig->ReadRate(16 << 20, false);
  ASSERT_TRUE(StartJob({path}, "64"));
  ASSERT_TRUE(WaitFor([] { return BytesSent > 0; })) << LogDump();
  EndedAsAsked(failed, EndBy(IDM_JOB_CANCEL), 1000);
  EXPECT_EQ(clears + 1, rig->Clears()) << "the printer's buffer was not cleared";
  rig->ReadRate(0, false);
  Settle();
  EXPECT_LT(atoll(rig->Stats().c_str()), (long long)size) << "the job ran to its end";
}

void FaultMatrix::Flood() {
  std::string flood = FloodText(), path = folder + "\\flood.bin";
  ASSERT_TRUE(StartCapture(path));
  rig->Answer(flood);
  char count[64];
  snprintf(count, sizeof count, "Write %10d ( byte )", (int)flood.size());
  EXPECT_TRUE(WaitFor([&] { return StatusText(2) == count; }, 30000)) << StatusText(2);
  EXPECT_TRUE(WaitFor([] { return !LinesWith("end of the flood").empty(); }, 5000)) << "the last line was not shown";
  PostCommand(IDM_SAVE_END);
  ASSERT_TRUE(WaitFor([] { return PreservationFlag == 0; }));
  std::string captured = ReadBytes(path);
  EXPECT_TRUE(captured == flood) << captured.size() << " of " << flood.size() << " bytes captured as sent";
}

// The port is free: a typed key goes out without more ado, and the next job arrives whole.
void FaultMatrix::PortServesWhatFollows() {
  busyError = 0;
  rig->ReadRate(0, false);
  if (!Ports[rig->kind].connected) rig->Connect();
  if (HasFatalFailure()) return;
  Settle();
  rig->Reset();
  HWND keys = OpenKeyInputDialog(0, 0, 2);
  ASSERT_TRUE(keys);
  TypeChars(GetDlgItem(keys, IDC_KEY_ENTRY), "k");
  PostMessageA(keys, WM_CLOSE, 0, 0);
  ASSERT_TRUE(DialogGone(keys));
  EXPECT_TRUE(WaitFor([&] { return rig->Stats() == FarEndStatsOf("k"); })) << rig->Stats() << LogDump();
  int ended = LineCount(Line("Data Send End."));
  ASSERT_TRUE(RunJob({next}, 1, "4")) << LogDump();
  EXPECT_EQ(ended + 1, LineCount(Line("Data Send End."))) << LogDump();
  std::string whole = "k" + ReadBytes(next);
  EXPECT_TRUE(WaitFor([&] { return rig->Stats() == FarEndStatsOf(whole); }, 10000)) << rig->Stats() << LogDump();
}

void FaultMatrix::Run(Edge edge) {
  switch (edge) {
    case WAIT_DISCONNECT: return DisconnectBetweenFiles();
    case PIECE_DISCONNECT: return EndStuckJob(IDM_DISCONNECT, 2000);
    case STOP: return EndStuckJob(IDM_STOP, 1000);
    case BUSY_STOP: return Busy(0);
    case BUSY_TIME_OUT: return Busy(1);
    case LINE_DROP: return LineDrop();
    case JOB_CANCEL: return JobCancel();
    case FLOOD: return Flood();
    case SHUTDOWN:
      StartStuckJob();
      EXPECT_TRUE(NoBox());
      EXPECT_TRUE(EndAppWithin(5000)) << "the program did not end on a stalled printer" << LogDump();
      return;
  }
}

TEST_P(FaultMatrix, EveryEdgeEndsTheJobCleanlyAndTheNextJobIsWhole) {
  stuck = File("stuck.bin", FloodBytes((int)rig->stuckSize, 1));
  next = File("next.bin", FloodBytes(100000, 2));
  rig->Connect();
  ASSERT_FALSE(HasFatalFailure());
  for (const auto& row : kMatrix) {
    if (!(row.interfaces & 1u << rig->kind)) continue;
    SCOPED_TRACE(std::string(rig->name) + ", " + kEdgeNames[row.edge]);
    Run(row.edge);
    if (row.edge != SHUTDOWN) PortServesWhatFollows();
    if (HasFatalFailure()) return;
  }
}

const char* const kParamNames[IF_KINDS] = {"", "IEEE1284", "RS232C", "USB", "TCPIP", "IEEE1394"};
INSTANTIATE_TEST_SUITE_P(Interfaces, FaultMatrix, testing::Values(IF_TCPIP, IF_RS232C, IF_IEEE1284, IF_IEEE1394, IF_USB),
                         [](const testing::TestParamInfo<int>& info) { return kParamNames[info.param]; });
