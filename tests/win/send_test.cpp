#include "tests/win/harness.h"
#include "tests/win/fake_driver.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/state.h"
#include "platform/alloc.h"
#include "send/block_dialog.h"
#include "send/engine.h"
#include "send/frame.h"
#include "sim/server.h"
#include "terminal/log.h"
#include <gtest/gtest.h>

class SendJob : public FakePortTest {};

TEST_F(SendJob, OrderOptionRepeatsTheListOrEachFileAndTheCounterCarriesOn) {
  std::string a = File("a.bin", "AAAA"), b = File("b.bin", "bb");
  ASSERT_TRUE(RunJob({a, b}, 3));
  EXPECT_EQ("AAAAbbAAAAbbAAAAbb", FakeReceived());
  EXPECT_EQ(":     6 /      6", StatusText(1).substr(StatusText(1).size() - 16));
  std::vector<std::string> expected = {"RS232C:Data Send Start.", "RS232C:(1)SendDataFile = " + a,
                                       "RS232C:(1)SendDataSize = 4byte"};
  std::vector<std::string> lines = LogLines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(expected, std::vector<std::string>(lines.begin(), lines.begin() + 3));
  EXPECT_EQ(0u, lines[3].find("RS232C:(1)SendTime = "));
  EXPECT_EQ("ms", lines[3].substr(lines[3].size() - 2));
  EXPECT_EQ("RS232C:Data Send End.", lines.back());
  EXPECT_EQ(6u, LinesWith("SendTime = ").size());

  Fake.pieces.clear();
  HWND dlg = OpenBlockDialog();
  ASSERT_TRUE(dlg);
  SetCheck(dlg, IDC_BLK_ORDER, false);
  Click(dlg, IDOK);
  ASSERT_TRUE(DialogGone(dlg) && JobEnded());
  EXPECT_EQ("AAAAAAAAAAAAbbbbbb", FakeReceived());
  EXPECT_TRUE(HasLine("RS232C:(7)SendDataFile = " + a));
  EXPECT_TRUE(HasLine("RS232C:(12)SendDataFile = " + b));
  EXPECT_EQ(":     6 /      6", StatusText(1).substr(StatusText(1).size() - 16));
}

TEST_F(SendJob, MissingFileEndsTheJobBeforeAnythingIsSent) {
  std::string missing = folder + "\\a_gone.bin", b = File("b.bin", "data");
  ASSERT_TRUE(RunJob({b, missing}, 2));
  EXPECT_TRUE(HasLine("RS232C:<ERROR>Send Data File Handle NG."));
  EXPECT_TRUE(Fake.pieces.empty());
  EXPECT_TRUE(LinesWith("SendDataFile").empty());
  EXPECT_FALSE(HasLine("RS232C:Data Send End."));
  EXPECT_FALSE(ToolbarEnabled(TB_STOP));
}

TEST_F(SendJob, StopDuringAFileEndsTheJobWithSendNG) {
  std::string big = File("big.bin", std::string(40 * 1024, 'x'));
  Fake.pieceDelayMs = 50;
  HWND dlg = OpenBlockDialog();
  ASSERT_TRUE(dlg);
  DropOnDialog(dlg, {big});
  Click(dlg, IDOK);
  ASSERT_TRUE(WaitFor([] { return FakeReceived().size() >= 2048; }));
  EXPECT_TRUE(ToolbarEnabled(TB_STOP));
  PostCommand(IDM_STOP);
  ASSERT_TRUE(JobEnded());
  EXPECT_LT(FakeReceived().size(), 40u * 1024);
  EXPECT_TRUE(HasLine("RS232C:<ERROR>Data Send NG."));
  EXPECT_TRUE(LinesWith("SendTime").empty());
  EXPECT_FALSE(ToolbarEnabled(TB_STOP));
  EXPECT_FALSE(MenuEnabled(IDM_STOP));
}

TEST_F(SendJob, WithoutMemoryForTheWholeFileItGoesIn4096BytePieces) {
  std::string bytes;
  for (int i = 0; i < 10000; i++) bytes += (char)(i * 7 + i / 256);
  std::string path = File("pieces.bin", bytes);
  FileBufferAllocLimit = 4096;
  ASSERT_TRUE(RunJob({path}, 1, "8"));
  std::vector<size_t> sizes;
  for (const std::string& piece : Fake.pieces) sizes.push_back(piece.size());
  EXPECT_EQ(std::vector<size_t>({4096, 4096, 1808}), sizes);
  EXPECT_TRUE(FakeReceived() == bytes);
  EXPECT_TRUE(HasLine("RS232C:(1)SendDataSize = 10000byte"));
  EXPECT_TRUE(HasLine("RS232C:Data Send End."));

  FileBufferAllocLimit = 100;
  ASSERT_TRUE(RunJob({path}));
  EXPECT_TRUE(HasLine("RS232C:<ERROR>Send Data File Memory overflow NG."));
  EXPECT_EQ(3u, Fake.pieces.size());
}

TEST_F(SendJob, EmptyFileCountsAsSent) {
  std::string empty = File("a_empty.bin", ""), b = File("b.bin", "B");
  ASSERT_TRUE(RunJob({empty, b}));
  EXPECT_TRUE(HasLine("RS232C:(1)SendDataSize = 0byte"));
  EXPECT_EQ(1u, LinesWith("RS232C:(1)SendTime = ").size());
  EXPECT_TRUE(HasLine("RS232C:(2)SendDataFile = " + b));
  EXPECT_TRUE(HasLine("RS232C:Data Send End."));
  EXPECT_EQ("B", FakeReceived());
  EXPECT_EQ(":     2 /      2", StatusText(1).substr(StatusText(1).size() - 16));
}

TEST_F(SendJob, WaitLiesBetweenFilesOnly) {
  std::string a = File("a.bin", "A");
  HWND dlg = OpenBlockDialog();
  ASSERT_TRUE(dlg);
  DropOnDialog(dlg, {a});
  SetText(dlg, IDC_BLK_TIMES, "2");
  SetCheck(dlg, IDC_BLK_WAIT_ON, true);
  SetText(dlg, IDC_BLK_WAIT, "5");
  Click(dlg, IDOK);
  ASSERT_TRUE(DialogGone(dlg));
  EXPECT_TRUE(WaitFor([] { return Fake.pieces.size() == 1; }, 2500));
  Sleep(2500);
  EXPECT_EQ(1u, Fake.pieces.size());
  ASSERT_TRUE(JobEnded(5000));
  EXPECT_EQ("AA", FakeReceived());
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(8u, lines.size());
  EXPECT_EQ("RS232C:Data Send Start.", lines[0]);
  EXPECT_EQ("RS232C:(2)SendDataFile = " + a, lines[4]);
  EXPECT_EQ("RS232C:Data Send End.", lines[7]);
}

TEST_F(SendJob, CancelledDialogEndsTheJobSilently) {
  HWND dlg = OpenBlockDialog();
  ASSERT_TRUE(dlg);
  DropOnDialog(dlg, {File("a.bin", "A")});
  Click(dlg, IDCANCEL);
  ASSERT_TRUE(DialogGone(dlg) && JobEnded());
  EXPECT_TRUE(LogLines().empty());
  EXPECT_TRUE(Fake.pieces.empty());
  EXPECT_EQ(2, Ports[IF_RS232C].sending);
}

// What every driver inherits from the frame, run through the fake driver.
class DriverFrame : public FakePortTest {};

TEST_F(DriverFrame, BlockSenderPiecesDelaysRetriesAndFailures) {
  std::string bytes(10000, '\0');
  for (size_t i = 0; i < bytes.size(); i++) bytes[i] = (char)(i * 31 + i / 256);
  std::string path = File("a.bin", bytes);
  Fake.busyWrites = 2;  // a busy port is retried, not reported
  HWND dlg = OpenBlockDialog();
  ASSERT_TRUE(dlg);
  DropOnDialog(dlg, {path});
  SetCheck(dlg, IDC_BLK_KBYTE, false);
  SetText(dlg, IDC_BLK_SIZE, "4096");
  SetText(dlg, IDC_BLK_DELAY, "200");
  Click(dlg, IDOK);
  ASSERT_TRUE(DialogGone(dlg) && JobEnded());
  std::vector<size_t> sizes;
  for (const std::string& piece : Fake.pieces) sizes.push_back(piece.size());
  EXPECT_EQ(std::vector<size_t>({4096, 4096, 1808}), sizes);
  EXPECT_TRUE(FakeReceived() == bytes);
  ASSERT_EQ(3u, Fake.ticks.size());
  EXPECT_GE(Fake.ticks[1] - Fake.ticks[0], 150u);  // the delay lies between pieces
  EXPECT_GE(Fake.ticks[2] - Fake.ticks[1], 150u);
  EXPECT_EQ(2, Fake.between);
  EXPECT_EQ(1, LineCount("RS232C:Data Send End.")) << LogDump();

  Fake.failAtPiece = 4;
  ASSERT_TRUE(RunJob({path}, 1, "4096"));
  EXPECT_TRUE(HasLine("RS232C:(2)<ERROR>Data Write NG.[ErrorNo=5]")) << LogDump();
  EXPECT_TRUE(HasLine("RS232C:<ERROR>Data Send NG."));
  EXPECT_EQ(4u, Fake.pieces.size());

  Fake.failAtPiece = -1;
  Fake.stuck = 1;  // a piece that makes no progress for the time-out
  dlg = OpenBlockDialog();
  ASSERT_TRUE(dlg);
  SetCheck(dlg, IDC_BLK_TIMEOUT_ON, true);
  SetText(dlg, IDC_BLK_TIMEOUT, "1");
  Click(dlg, IDOK);
  ASSERT_TRUE(DialogGone(dlg) && JobEnded(5000));
  EXPECT_TRUE(HasLine("RS232C:<ERROR>Send Data Time Out.")) << LogDump();
  EXPECT_EQ(2, LineCount("RS232C:<ERROR>Data Send NG."));
  EXPECT_EQ(2, Ports[IF_RS232C].sending);
}

TEST_F(DriverFrame, ReceiveThreadAndADirectWriteThatNeverEnds) {
  PostCommand(IDM_DISCONNECT);
  ASSERT_TRUE(WaitFor([] { return Ports[IF_RS232C].connected == 0; }));
  Fake.answer = "hello\r\n";
  Ports[IF_RS232C].receiveOn = 1;
  PostCommand(IDM_RS232C);
  EXPECT_TRUE(WaitLine("hello<0D><0A>")) << LogDump();
  Fake.readFails = 1;
  EXPECT_EQ("The circuit error occurred. Please re-connect. Circuit error.", AnswerMessageBox("Error", IDOK));
  EXPECT_EQ(0, Ports[IF_RS232C].receiveRun);
  EXPECT_FALSE(WaitDialog("Error", 500)) << "the box came twice";
  Ports[IF_RS232C].receiveOn = 0;

  // The window goes on while the printer takes nothing; the write ends after its patience.
  Fake.stuck = 1;
  DirectWritePatienceMs = 1500;
  lstrcpyA(FunctionKeys[0], "x");
  PostCommand(IDM_FKEY_FIRST);
  Sleep(300);
  DWORD_PTR ignored;
  EXPECT_TRUE(SendMessageTimeoutA(hMainWnd, WM_NULL, 0, 0, SMTO_NORMAL, 500, &ignored));
  EXPECT_TRUE(WaitLine("RS232C:<ERROR>Data Write NG.[ErrorNo=1460]")) << LogDump();
  DirectWritePatienceMs = 10000;
}

TEST(IntervalChoices, ElevenFiveCharacterLabelsAndTheirMilliseconds) {
  for (const IntervalChoice& choice : IntervalChoices) EXPECT_EQ(5, lstrlenA(choice.label)) << choice.label;
  EXPECT_EQ(4, IntervalIndex(1000));
  EXPECT_EQ(-1, IntervalIndex(1500));
  EXPECT_EQ(1000, IntervalFromLabel("1sec ", 7));
  EXPECT_EQ(7, IntervalFromLabel("1sec", 7));
  EXPECT_EQ(60000, IntervalFromLabel("60sec", 7));
}

class UnconnectedJob : public FakePortTest {
 protected:
  void SetUp() override { AppTest::SetUp(); }
};

TEST_F(UnconnectedJob, TheJobAsksForAnInterfaceAndEndsSilentlyWhenRefused) {
  HWND dlg = OpenBlockDialog();
  ASSERT_TRUE(dlg);
  DropOnDialog(dlg, {File("a.bin", "A")});
  Click(dlg, IDOK);
  HWND select = WaitDialog("Selection of I/F");
  ASSERT_TRUE(select);
  Click(select, IDCANCEL);
  ASSERT_TRUE(DialogGone(select) && JobEnded());
  EXPECT_TRUE(LogLines().empty());
  EXPECT_TRUE(Fake.pieces.empty());
  EXPECT_EQ(0, Ports[IF_RS232C].connected);
}

TEST_F(UnconnectedJob, TheChosenInterfaceConnectsAndSends) {
  HWND dlg = OpenBlockDialog();
  ASSERT_TRUE(dlg);
  std::string a = File("a.bin", "hello");
  DropOnDialog(dlg, {a});
  Click(dlg, IDOK);
  HWND select = WaitDialog("Selection of I/F");
  ASSERT_TRUE(select);
  Click(select, IDOK);  // nothing chosen yet: the dialog stays
  Sleep(300);
  EXPECT_TRUE(IsWindowVisible(select));
  Click(select, IDC_SEL_RS232C);
  Click(select, IDOK);
  ASSERT_TRUE(DialogGone(select) && JobEnded());
  EXPECT_EQ(1, Ports[IF_RS232C].connected);
  EXPECT_EQ("hello", FakeReceived());
  EXPECT_TRUE(HasLine("RS232C:(1)SendDataFile = " + a));
  EXPECT_TRUE(HasLine("RS232C:Data Send End."));
}

class TcpipJob : public PrinterTest {
 protected:
  // Connected, two one-byte files with the wait option at its least, 5 seconds.
  void StartWaitingJob() {
    PostCommand(IDM_TCPIP);
    ASSERT_TRUE(ConfirmTcpipDialog("127.0.0.1", port, false));
    ASSERT_TRUE(WaitFor([] { return Ports[IF_TCPIP].connected == 1; }));
    std::string a = File("a.bin", "A"), b = File("b.bin", "B");
    HWND dlg = OpenBlockDialog();
    ASSERT_TRUE(dlg);
    DropOnDialog(dlg, {a, b});
    SetText(dlg, IDC_BLK_TIMES, "1");
    SetText(dlg, IDC_BLK_SIZE, "1");
    SetCheck(dlg, IDC_BLK_WAIT_ON, true);
    SetText(dlg, IDC_BLK_WAIT, "5");
    Click(dlg, IDOK);
    ASSERT_TRUE(DialogGone(dlg));
  }
};

TEST_F(TcpipJob, ChosenInTheSelectionTheJobWaitsForTheConnection) {
  std::string a = File("a.bin", "over tcp");
  HWND dlg = OpenBlockDialog();
  ASSERT_TRUE(dlg);
  DropOnDialog(dlg, {a});
  SetText(dlg, IDC_BLK_TIMES, "1");
  SetText(dlg, IDC_BLK_SIZE, "1");
  Click(dlg, IDOK);
  HWND select = WaitDialog("Selection of I/F");
  ASSERT_TRUE(select);
  Click(select, IDC_SEL_TCPIP);
  Click(select, IDOK);
  ASSERT_TRUE(ConfirmTcpipDialog("127.0.0.1", port, false));
  ASSERT_TRUE(DialogGone(select) && JobEnded());
  EXPECT_TRUE(WaitFor([] { return SimReceived() == "over tcp"; }));
  EXPECT_TRUE(HasLine("TCP/IP:(1)SendDataFile = " + a));
  EXPECT_TRUE(HasLine("TCP/IP:Data Send End."));
}

TEST_F(TcpipJob, WithTheWaitOptionEachFileGetsAFreshConnection) {
  StartWaitingJob();
  ASSERT_TRUE(WaitFor([] { return SimReceived() == "AB"; }, 10000));
  ASSERT_TRUE(JobEnded(10000));  // the last file is followed by a re-connection too
  EXPECT_EQ(3, SimGetStats().connections);  // one per file and the one left open after the job
  EXPECT_TRUE(HasLine("TCP/IP:Connection Retry Start."));
  EXPECT_TRUE(HasLine("TCP/IP:(2)SendDataFile = " + folder + "\\b.bin"));
  EXPECT_TRUE(HasLine("TCP/IP:Data Send End."));
}

TEST_F(TcpipJob, AReconnectionThatGivesUpEndsTheJob) {
  StartWaitingJob();
  ASSERT_TRUE(WaitFor([] { return SimReceived() == "A"; }));
  SimSetRefuse(1);
  ASSERT_TRUE(JobEnded(25000));
  EXPECT_TRUE(HasLine("TCP/IP:Connection Retry Timeout.")) << LogDump();
  EXPECT_TRUE(LinesWith("b.bin").empty());
  EXPECT_TRUE(LinesWith("Data Send End.").empty());
  EXPECT_EQ(0, TcpState);
}
