// The fault matrix: every edge a job can meet, on every interface that has it, against the
// simulated printer. Each edge must end the job within its bound and with its line, show no
// box the user did not cause, and leave the port free: a typed key goes out and the next
// job arrives whole. All edges of one interface share one program start.
#include "tests/win/rigs.h"
#include "platform/device.h"
#include "send/engine.h"
#include <gtest/gtest.h>
#include <functional>

namespace {

// A disconnection's close may wait up to 2 s for the printer to take what was sent (TCP/IP).
const int DISCONNECT_MS = 3000;
const unsigned ALL = ~0u, PIPES = 1u << IF_IEEE1284 | 1u << IF_IEEE1394, USB_ONLY = 1u << IF_USB,
               TIMED = ~(1u << IF_TCPIP);

// The pipe devices' writes go through the device seam; while this is set every one is refused.
volatile DWORD busyError;
BOOL(WINAPI* platformWrite)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
BOOL WINAPI BusyWrite(HANDLE h, LPCVOID bytes, DWORD n, LPDWORD written, LPOVERLAPPED o) {
  if (!busyError) return platformWrite(h, bytes, n, written, o);
  if (written) *written = 0;
  SetLastError(busyError);
  return FALSE;
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

// The command, then the job's end: the milliseconds between, or -1 when it did not end in 10 s.
int EndBy(int command) {
  DWORD start = GetTickCount();
  PostCommand(command);
  return JobEnded(10000) ? int(GetTickCount() - start) : -1;
}

void TypeKey() {
  HWND keys = OpenKeyInputDialog(0, 0, 2);
  ASSERT_TRUE(keys);
  TypeChars(GetDlgItem(keys, IDC_KEY_ENTRY), "k");
  PostMessageA(keys, WM_CLOSE, 0, 0);
  ASSERT_TRUE(DialogGone(keys));
}

// The text of an error box showing, answered so that it holds up nothing after it.
std::string ErrorBox() { return AnswerMessageBox("Error", IDOK, 300); }
const char* const NO_BOX = "<no message box>";

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
  int TimedOut() { return LineCount(Line("<ERROR>Send Data Time Out.")); }
  std::string PortBusyLine() {
    if (rig->kind == IF_TCPIP) return "TCP/IP:<ERROR> Socket busy.";
    return (rig->kind == IF_USB ? "" : Line("")) + "<ERROR> Port Busy.";
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
    for (int i = 0; i < 100; i++) {
      Sleep(100);
      std::string now = rig->Stats();
      if (now == last) return;
      last = now;
    }
  }
  void EndedAsAsked(int failedBefore, int ms, int boundMs) {
    EXPECT_TRUE(ms >= 0 && ms < boundMs) << ms << " ms" << LogDump();
    EXPECT_EQ(failedBefore + 1, Failed()) << LogDump();
    EXPECT_NE(1, (int)Ports[rig->kind].sending);
    EXPECT_EQ(NO_BOX, ErrorBox()) << LogDump();
  }
  void EndedByTimeOut(int failedBefore, int timedOutBefore) {
    EXPECT_TRUE(WaitFor([&] { return TimedOut() > timedOutBefore; })) << LogDump();
    EXPECT_TRUE(JobEnded(3000)) << LogDump();
    EXPECT_EQ(Line("<ERROR>Data Send NG."), LogLines().back());
    EXPECT_EQ(failedBefore + 1, Failed()) << LogDump();
  }

  void DisconnectBetweenFiles() {
    int failed = Failed(), sent = (int)LinesWith("SendTime = ").size();
    HWND dlg = ListJob({next, next}, "4");
    ASSERT_TRUE(dlg);
    SetCheck(dlg, IDC_BLK_WAIT_ON, true);
    SetText(dlg, IDC_BLK_WAIT, "5");
    Click(dlg, IDOK);
    ASSERT_TRUE(DialogGone(dlg));
    ASSERT_TRUE(WaitFor([&] { return (int)LinesWith("SendTime = ").size() > sent; }, 10000)) << LogDump();
    Sleep(500);
    EndedAsAsked(failed, EndBy(IDM_DISCONNECT), DISCONNECT_MS);
  }
  // The job holds the port: a key typed meanwhile is refused at once.
  void EndStuckJob(int command, int boundMs) {
    int failed = Failed(), refused = LineCount(PortBusyLine());
    StartStuckJob();
    if (HasFatalFailure()) return;
    TypeKey();
    EXPECT_EQ(refused + 1, LineCount(PortBusyLine())) << LogDump();
    EndedAsAsked(failed, EndBy(command), boundMs);
    EXPECT_EQ(command == IDM_STOP, Ports[rig->kind].connected == 1) << "connected after the command";
  }
  void StalledUntilTheTimeOut() {
    int failed = Failed(), timedOut = TimedOut();
    StartStuckJob(1);
    EndedByTimeOut(failed, timedOut);
  }
  // A busy printer may stay busy as long as it likes: only Stop or the time-out ends the job.
  void Busy(int timeOutSeconds) {
    int failed = Failed(), timedOut = TimedOut();
    busyError = rig->busy;
    ASSERT_TRUE(StartJob({next}, "4", timeOutSeconds));
    if (timeOutSeconds) {
      EndedByTimeOut(failed, timedOut);
    } else {
      Sleep(3000);
      EXPECT_EQ(1, (int)Ports[rig->kind].sending) << "the busy printer was given up" << LogDump();
      EndedAsAsked(failed, EndBy(IDM_STOP), 1000);
    }
    busyError = 0;
    EXPECT_TRUE(LinesWith("[ErrorNo=" + std::to_string(rig->busy) + "]").empty()) << LogDump();
  }
  // The driver's outcome of a dead line comes once: each error line once, at most one
  // circuit error box (none for TCP/IP), and the window answers meanwhile.
  void LineDrop() {
    size_t before = LogLines().size();
    StartStuckJob();
    if (HasFatalFailure()) return;
    rig->Drop();
    int boxes = 0;
    for (DWORD start = GetTickCount(), quiet = 0; GetTickCount() - start < 20000 && quiet < 1000;) {
      DWORD_PTR result;
      EXPECT_TRUE(SendMessageTimeoutA(hMainWnd, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result)) << "the window froze";
      std::string box = AnswerMessageBox("Error", IDOK, 100);
      if (box != NO_BOX) {
        EXPECT_EQ("The circuit error occurred. Please re-connect. Circuit error.", box);
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
  void JobCancel() {
    const int size = 32 << 20;
    std::string path = File("cancelled.bin", FloodBytes(size, 6));
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
    EXPECT_LT(atoll(rig->Stats().c_str()), size) << "the job ran to its end";
  }
  void Flood() {
    std::string flood = FloodText(), path = folder + "\\flood.bin";
    ASSERT_TRUE(StartCapture(path));
    rig->Answer(flood);
    char count[64];
    snprintf(count, sizeof count, "Write %10d ( byte )", (int)flood.size());
    EXPECT_TRUE(WaitFor([&] { return StatusText(2) == count; }, 20000)) << StatusText(2);
    EXPECT_TRUE(WaitFor([] { return !LinesWith("end of the flood").empty(); })) << "the last line was not shown";
    PostCommand(IDM_SAVE_END);
    ASSERT_TRUE(WaitFor([] { return PreservationFlag == 0; }));
    std::string captured = ReadBytes(path);
    EXPECT_TRUE(captured == flood) << captured.size() << " of " << flood.size() << " bytes captured as sent";
  }

  // The port is free: a typed key goes out without more ado, and the next job arrives whole.
  void PortServesWhatFollows() {
    if (!JobEnded(0)) {  // the edge failed; the next one starts afresh
      PostCommand(IDM_STOP);
      EXPECT_TRUE(JobEnded(15000)) << "the job did not end on Stop either" << LogDump();
    }
    busyError = 0;
    WaitOn = TimeOutOn = 0;  // the block dialog would offer them to the next job
    rig->ReadRate(0, false);
    EXPECT_EQ(Ports[rig->kind].connected == 1, ActiveKind() == rig->kind) << "the connection's flags disagree";
    if (Ports[rig->kind].connected && ActiveKind() != rig->kind) {
      PostCommand(IDM_DISCONNECT);
      WaitFor([&] { return Ports[rig->kind].connected == 0; });
    }
    if (!Ports[rig->kind].connected) rig->Connect();
    Settle();
    rig->Reset();
    TypeKey();
    EXPECT_TRUE(WaitFor([&] { return rig->Stats() == FarEndStatsOf("k"); }, 2000)) << rig->Stats() << LogDump();
    rig->Reset();
    int ended = LineCount(Line("Data Send End."));
    ASSERT_TRUE(RunJob({next}, 1, "4")) << LogDump();
    EXPECT_EQ(ended + 1, LineCount(Line("Data Send End."))) << LogDump();
    std::string whole = FarEndStatsOf(ReadBytes(next));
    EXPECT_TRUE(WaitFor([&] { return rig->Stats() == whole; })) << rig->Stats() << LogDump();
  }

  std::unique_ptr<Rig> rig;
  std::string stuck, next;
};

TEST_P(FaultMatrix, EveryEdgeEndsTheJobCleanlyAndTheNextJobIsWhole) {
  stuck = File("stuck.bin", FloodBytes((int)rig->stuckSize, 1));
  next = File("next.bin", FloodBytes(100000, 2));
  // The edges in the order one program start meets them, each with the interfaces that have
  // it. The answer flood comes after them (a slow receive would push their lines out of the
  // log), the shutdown last.
  const struct {
    const char* edge;
    unsigned interfaces;
    std::function<void()> run;
  } matrix[] = {
      {"disconnect between files", ALL, [&] { DisconnectBetweenFiles(); }},
      {"disconnect mid-piece", ALL, [&] { EndStuckJob(IDM_DISCONNECT, DISCONNECT_MS); }},
      {"Stop mid-piece", ALL, [&] { EndStuckJob(IDM_STOP, 1000); }},
      {"a stalled printer until the time-out", TIMED, [&] { StalledUntilTheTimeOut(); }},
      {"Stop during busy", PIPES, [&] { Busy(0); }},
      {"busy until the time-out", PIPES, [&] { Busy(1); }},
      {"the line drops", ALL, [&] { LineDrop(); }},
      {"job cancel", USB_ONLY, [&] { JobCancel(); }},
  };
  rig->Connect();
  ASSERT_FALSE(HasFatalFailure());
  for (const auto& row : matrix) {
    if (!(row.interfaces & 1u << rig->kind)) continue;
    SCOPED_TRACE(std::string(rig->name) + ", " + row.edge);
    row.run();
    PortServesWhatFollows();
  }
  {
    SCOPED_TRACE(std::string(rig->name) + ", 2 MB answer flood");
    Flood();
  }
  SCOPED_TRACE(std::string(rig->name) + ", shutdown on a stalled printer");
  StartStuckJob();
  EXPECT_EQ(NO_BOX, ErrorBox());
  EXPECT_TRUE(EndAppWithin(5000)) << "the program did not end on a stalled printer" << LogDump();
}

const char* const kParamNames[IF_KINDS] = {"", "IEEE1284", "RS232C", "USB", "TCPIP", "IEEE1394"};
INSTANTIATE_TEST_SUITE_P(Interfaces, FaultMatrix, testing::Values(IF_TCPIP, IF_RS232C, IF_IEEE1284, IF_IEEE1394, IF_USB),
                         [](const testing::TestParamInfo<int>& info) { return kParamNames[info.param]; });
