// The RS-232C driver against the simulated printer on a real COM port: COM10, a pty that
// the native simulator serves on the far side.
#include "tests/win/rigs.h"
#include "ports/rs232c/rs232c.h"

const int COM = 10;

class Rs232c : public AppTest {
 protected:
  void BeforeStart() override { ASSERT_TRUE(rig.Serve()) << "the native simulator did not start: build/native/tarvex-sim"; }
  void TearDown() override {
    FarEndAsk("pause 0");  // a printer that takes nothing (or holds XOFF) would hold up the shutdown
    FarEndAsk("send 11");
    AppTest::TearDown();
    rig.Unserve();
    DirectWritePatienceMs = 10000;
  }
  void Connect(bool bidirectional, const char* interval = "500ms", const char* flow = "NO") {
    rig.Open(bidirectional, interval, flow);
  }
  Rs232cRig rig;
  // The capture's count as the status bar shows it; 0 until it shows one.
  static int CaptureCount() {
    std::string text = StatusText(2);
    return text.compare(0, 6, "Write ") == 0 ? atoi(text.c_str() + 6) : 0;
  }
};

TEST_F(Rs232c, TheDialogListsEveryPortUpToTheHighestAndOpensCom10AsChosen) {
  HWND dlg = Rs232cRig::OpenDialog();
  ASSERT_TRUE(dlg);
  ASSERT_EQ(COM, SendDlgItemMessageA(dlg, IDC_RS_PORT, CB_GETCOUNT, 0, 0));
  EXPECT_EQ("COM1", Text(dlg, IDC_RS_PORT));
  for (auto [id, shown] : {std::pair<int, const char*>{IDC_RS_BAUD, "9600"}, {IDC_RS_DATA_BITS, "8"},
                           {IDC_RS_PARITY, "NO"}, {IDC_RS_STOP_BITS, "1"}, {IDC_RS_FLOW, "XON/XOFF"},
                           {IDC_RS_INTERVAL, "500ms"}})
    EXPECT_EQ(shown, Text(dlg, id));
  EXPECT_FALSE(IsChecked(dlg, IDC_RS_CHECK));
  // The port refuses 4 data bits: the open fails and lets the port go.
  Rs232cRig::Choose(dlg, IDC_RS_PORT, "COM10");
  Rs232cRig::Choose(dlg, IDC_RS_DATA_BITS, "4 *");
  Click(dlg, IDOK);
  ASSERT_TRUE(DialogGone(dlg));
  EXPECT_TRUE(WaitLine("RS232C:Not Open.")) << LogDump();
  EXPECT_TRUE(HasLine("RS232C:<ERROR>Port open NG.[ErrorNo=50]")) << LogDump();
  EXPECT_EQ(0, Ports[IF_RS232C].connected);

  dlg = Rs232cRig::OpenDialog();
  ASSERT_TRUE(dlg);
  for (auto [id, label] : {std::pair<int, const char*>{IDC_RS_PORT, "COM10"}, {IDC_RS_BAUD, "19200"},
                           {IDC_RS_DATA_BITS, "7"}, {IDC_RS_PARITY, "EVEN"}, {IDC_RS_STOP_BITS, "2"},
                           {IDC_RS_FLOW, "XON/XOFF"}})
    Rs232cRig::Choose(dlg, id, label);
  Click(dlg, IDOK);
  ASSERT_TRUE(DialogGone(dlg));
  ASSERT_TRUE(WaitFor([] { return Ports[IF_RS232C].connected == 1; })) << LogDump();
  EXPECT_TRUE(HasLine("RS232C:Port = COM10"));
  EXPECT_EQ("RS232C         ", StatusText(0));
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  ASSERT_TRUE(GetCommState(Port.device, &dcb));
  EXPECT_EQ(19200u, dcb.BaudRate);  // a pty keeps 8 bits and no parity whatever it is told
  EXPECT_EQ(TWOSTOPBITS, dcb.StopBits);
  EXPECT_TRUE(dcb.fOutX && dcb.fInX);

  Connect(false);
  EXPECT_TRUE(WaitLine("RS232C:<ERROR>Already Opened.")) << LogDump();
  PostCommand(IDM_DISCONNECT);
  EXPECT_TRUE(WaitLine("RS232C:Port Close."));
  EXPECT_EQ(0, Ports[IF_RS232C].connected);
}

TEST_F(Rs232c, FilesKeysAndAnswersArriveByteExactAndAKeyHeldOffEndsAfterItsPatience) {
  Connect(true, "5sec ");
  std::string data = FloodBytes(300001, 3);
  std::string path = File("data.bin", data);
  for (const char* blockSize : {"1", "64"}) {
    FarEndAsk("reset");
    ASSERT_TRUE(StartJob({path}, blockSize));
    ASSERT_TRUE(JobEnded(30000)) << LogDump();
    EXPECT_TRUE(WaitFor([&] { return FarEndHolds(data); })) << blockSize << LogDump();
  }
  EXPECT_EQ(2, (int)LinesWith("SendTime").size()) << LogDump();

  FarEndAsk("reset");
  HWND dlg = OpenKeyInputDialog(0, 0, 2);  // character unit
  ASSERT_TRUE(dlg);
  TypeChars(GetDlgItem(dlg, IDC_KEY_ENTRY), "k\x1b");
  lstrcpyA(FunctionKeys[0], "F1\\x00\\r");
  SendMessageA(dlg, WM_CLOSE, 0, 0);
  ASSERT_TRUE(DialogGone(dlg));
  PostCommand(IDM_FKEY_FIRST);
  std::string typed("k\x1b" "F1\x00\r", 6);
  EXPECT_TRUE(WaitFor([&] { return FarEndHolds(typed); })) << FarEndAsk("stats");

  // Shown answers reach the capture too; unshown, 6000 bytes waiting come in whole on one
  // look at the port, not one interval (5 s) apart: the first look may come a whole
  // interval after the flood, the rest follows it at once. Disconnecting ends the capture.
  std::string capture = folder + "\\answer.bin";
  ASSERT_TRUE(StartCapture(capture));
  ASSERT_EQ("ok", FarEndAsk("flood 2000 8"));
  ASSERT_TRUE(WaitFor([] { return CaptureCount() == 2000; }, 30000)) << StatusText(2);
  std::vector<std::string> shown;
  ASSERT_TRUE(WaitFor([&] {
    std::vector<std::string> before = LogLines();
    Sleep(500);
    return (shown = LogLines()) == before;
  }, 30000));
  EXPECT_GT(shown.size(), 5u) << "the answer was not shown";
  RcvDsp = 0;
  ASSERT_EQ("ok", FarEndAsk("flood 6000 9"));
  ASSERT_TRUE(WaitFor([] { return CaptureCount() > 2000; }, 30000)) << StatusText(2);
  EXPECT_TRUE(WaitFor([] { return CaptureCount() == 8000; }, 4000)) << StatusText(2);
  EXPECT_TRUE(LogLines() == shown) << "shown although RcvDsp is 0";
  PostCommand(IDM_DISCONNECT);
  ASSERT_TRUE(WaitFor([] { return PreservationFlag == 0 && StatusText(2) == "Write          0 ( byte )"; }));
  HANDLE alone = CreateFileA(capture.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
  EXPECT_NE(INVALID_HANDLE_VALUE, alone) << "the capture file is still open";
  if (alone != INVALID_HANDLE_VALUE) CloseHandle(alone);
  std::string captured = ReadBytes(capture);
  EXPECT_TRUE(captured == FloodBytes(2000, 8) + FloodBytes(6000, 9)) << captured.size() << " bytes captured";

  // The printer holds XOFF: a function key cannot go out, and the window must not wait for
  // it beyond its patience.
  Connect(false, "500ms", "XON/XOFF");
  ASSERT_EQ("ok", FarEndAsk("send 13"));
  DirectWritePatienceMs = 1500;
  lstrcpyA(FunctionKeys[0], "stuck");
  PostCommand(IDM_FKEY_FIRST);
  Sleep(300);
  DWORD_PTR result;
  ASSERT_TRUE(SendMessageTimeoutA(hMainWnd, WM_NULL, 0, 0, SMTO_NORMAL, 500, &result)) << "the window froze";
  EXPECT_TRUE(WaitLine("RS232C:<ERROR>Data Write NG.[ErrorNo=121]", 1, 5000)) << LogDump();
  EXPECT_EQ(1, Ports[IF_RS232C].connected);
}

// Keys typed while the printer holds XOFF wait behind the pending one and go out in the
// order typed; a disconnection meanwhile ends the write without a word and frees the port.
TEST_F(Rs232c, KeysTypedBehindAPendingWriteGoInOrderAndADisconnectionEndsItQuietly) {
  Connect(false, "500ms", "XON/XOFF");
  FarEndAsk("reset");
  ASSERT_EQ("ok", FarEndAsk("send 13"));
  Sleep(200);
  HWND dlg = OpenKeyInputDialog(0, 0, 2);
  ASSERT_TRUE(dlg);
  HWND field = GetDlgItem(dlg, IDC_KEY_ENTRY);
  for (char c : std::string("abc")) PostMessageA(field, WM_CHAR, (unsigned char)c, 1);  // 'a' stays pending
  Sleep(300);
  ASSERT_EQ("ok", FarEndAsk("send 11"));
  char expected[64];
  snprintf(expected, sizeof expected, "3 %016llx", (unsigned long long)Fnv1a64("abc", 3));
  EXPECT_TRUE(WaitFor([&] { return FarEndAsk("stats") == expected; })) << FarEndAsk("stats") << LogDump();
  EXPECT_TRUE(LinesWith("Port Busy").empty()) << LogDump();

  ASSERT_EQ("ok", FarEndAsk("send 13"));
  Sleep(200);
  PostMessageA(field, WM_CHAR, 'd', 1);
  Sleep(300);
  PostCommand(IDM_DISCONNECT);
  EXPECT_TRUE(WaitLine("RS232C:Port Close.")) << LogDump();
  EXPECT_TRUE(JobEnded(2000)) << "the port mutex stayed taken";
  EXPECT_TRUE(LinesWith("Data Write NG").empty()) << LogDump();
  EXPECT_TRUE(WaitDialog("Error", 500) == NULL);
}
