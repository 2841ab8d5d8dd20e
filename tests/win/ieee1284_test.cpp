#include "tests/win/rigs.h"
#include "ports/ieee1284/ieee1284.h"
#include <gtest/gtest.h>
#include <string>

// The simulated printer behind "\\.\KELVLPT1", its parallel port answering the driver's requests.
class Ieee1284 : public AppTest {
 protected:
  void BeforeStart() override { ASSERT_TRUE(rig.Serve()); }
  void TearDown() override {
    AppTest::TearDown();
    rig.Unserve();
  }
  void Open(bool bidirectional) {
    PostCommand(IDM_IEEE1284);
    HWND dlg = WaitDialog("IEEE1284(Centro)");
    ASSERT_TRUE(dlg != NULL);
    SetCheck(dlg, IDC_1284_BIDIR, bidirectional);
    SetCheck(dlg, IDC_1284_CHECK, false);
    SetCheck(dlg, IDC_1284_ECP, true);
    Click(dlg, IDOK);
    ASSERT_TRUE(DialogGone(dlg, 10000));
  }
  void Connect(bool bidirectional = false) {
    Open(bidirectional);
    ASSERT_TRUE(WaitFor([] { return Ports[IF_IEEE1284].connected == 1; })) << LogDump();
  }
  void Disconnect() {
    int closed = LineCount("IEEE1284:Port Close.");
    PostCommand(IDM_DISCONNECT);
    ASSERT_TRUE(WaitLine("IEEE1284:Port Close.", closed + 1)) << LogDump();
  }
  Ieee1284Rig rig;
  ParallelDevice& port = rig.port;
  SimDevice*& device = rig.device;
};

// With the device defined the setup touches nothing; the port opens in ECP mode with a
// block length of 1024, shows the device ID, and files arrive byte-exact in any chunk size.
TEST_F(Ieee1284, ConnectsInEcpOrCompShowsTheDeviceIdAndSendsFiles) {
  // A time-out out of range becomes 1 at once, so a cancel after it keeps 1.
  PostCommand(IDM_IEEE1284);
  HWND dlg = WaitDialog("IEEE1284(Centro)");
  ASSERT_TRUE(dlg != NULL);
  for (const char* seconds : {"0", "61"}) {
    Ieee1284TimeOut = 10;
    SetText(dlg, IDC_1284_TIMEOUT, seconds);
    Click(dlg, IDOK);
    EXPECT_TRUE(WaitFor([&] { return Text(dlg, IDC_1284_TIMEOUT) == "1"; })) << seconds;
    EXPECT_EQ(1, Ieee1284TimeOut) << seconds;
  }
  Click(dlg, IDCANCEL);
  ASSERT_TRUE(DialogGone(dlg));
  EXPECT_EQ(0, Ports[IF_IEEE1284].connected);

  Connect();
  EXPECT_EQ("IEEE1284  Mode = ECP ", StatusText(0));
  EXPECT_EQ(3u, port.mode);
  Open(false);  // once more while open: refused, and the open port stays connected
  EXPECT_TRUE(WaitLine("IEEE1284:<ERROR>Already Opened.")) << LogDump();
  EXPECT_EQ(1, Ports[IF_IEEE1284].connected);
  EXPECT_EQ(1024u, port.blockLength);
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((std::string(system) + "\\Kelvane.dat").c_str()));
  PostCommand(IDM_DEVICE_ID);
  EXPECT_TRUE(WaitLine("MFG = Tarvex")) << LogDump();
  EXPECT_TRUE(WaitLine("CLS = PRINTER")) << LogDump();

  std::string data = FloodBytes(100000, 5), expected;
  std::string path = File("data.bin", data);
  for (const char* kbytes : {"1", "3", "64"}) {
    ASSERT_TRUE(RunJob({path}, 1, kbytes)) << kbytes;
    expected += data;
    EXPECT_TRUE(WaitFor([&] { return DeviceKept(device).size() >= expected.size(); })) << kbytes;
  }
  EXPECT_TRUE(DeviceKept(device) == expected);
  EXPECT_EQ(3u, LinesWith("IEEE1284:Data Send End.").size()) << LogDump();
  Disconnect();

  // Each connection asks again; what the printer refuses decides the mode and the device ID.
  port.refuseEcp = 1;
  port.deviceId = "MDL:X1";
  Connect();
  EXPECT_EQ("IEEE1284  Mode = COMP", StatusText(0));
  EXPECT_EQ(2u, port.mode);
  PostCommand(IDM_DEVICE_ID);
  EXPECT_TRUE(WaitLine("MDL = X1")) << LogDump();
  Disconnect();

  const struct {
    const char* name;
    uint32_t idError, reportedSize;
  } refused[] = {{"refused", 31, 0}, {"oversized", 0, 64 * 1024 + 1}};
  for (const auto& c : refused) {
    port.idError = c.idError;
    port.reportedIdSize = c.reportedSize;
    Connect();
    int shown = LineCount("GetDeviceID NG.");
    PostCommand(IDM_DEVICE_ID);
    EXPECT_TRUE(WaitLine("GetDeviceID NG.", shown + 1)) << c.name << LogDump();
    Disconnect();
  }

  port.refuseComp = 1;
  Open(false);
  EXPECT_TRUE(WaitLine("IEEE1284:Not Open.")) << LogDump();
  EXPECT_TRUE(HasLine("IEEE1284:<ERROR>Mord set NG.[ErrorNo=50]")) << LogDump();
  EXPECT_EQ(0, Ports[IF_IEEE1284].connected);
  EXPECT_EQ(INVALID_HANDLE_VALUE, Ieee1284Port);
  // Nothing was left open: the device, opened without sharing, opens again.
  port.refuseComp = port.refuseEcp = 0;
  Connect(true);
  EXPECT_EQ("IEEE1284  Mode = ECP ", StatusText(0));
}

// A file that goes out as one piece is still heard while it goes: a malformed answer
// during its write stops it, as between pieces.
TEST_F(Ieee1284, AnAnswerDuringAOnePieceFileIsCheckedWhileItIsWritten) {
  Connect(true);
  StringCheckFlag = 1;
  SimDeviceSetReadRate(device, 64 << 10);
  ASSERT_TRUE(StartJob({File("one.bin", std::string(512 << 10, 'o'))}, "1024"));
  ASSERT_TRUE(WaitFor([] { return BytesSent == 0 && Ports[IF_IEEE1284].sending == 1; }));
  Sleep(300);
  SimDeviceSend(device, "\r\n");  // a line end outside any PJL response
  EXPECT_TRUE(JobEnded(3000)) << "the answer was not read while the piece was written" << LogDump();
  EXPECT_TRUE(HasLine("IEEE1284:<ERROR>StringCheck Error")) << LogDump();
  EXPECT_TRUE(HasLine("IEEE1284:<ERROR>Data Send NG.")) << LogDump();
  SimDeviceSetReadRate(device, 0);
}
