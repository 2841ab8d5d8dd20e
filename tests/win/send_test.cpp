#include "tests/win/harness.h"
#include "tests/win/fake_driver.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/ui.h"
#include "platform/alloc.h"
#include "ports/tcpip/tcpip.h"
#include "send/frame.h"
#include "sim/server.h"
#include "terminal/log.h"
#include <gtest/gtest.h>

// "Transmission(&S)" pressed; true when the dialog closed.
static bool Transmit(HWND dlg) {
  if (!dlg) return false;
  Click(dlg, IDOK);
  return DialogGone(dlg);
}

static std::vector<size_t> PieceSizes() {
  std::vector<size_t> sizes;
  for (const std::string& piece : Fake.pieces) sizes.push_back(piece.size());
  return sizes;
}

class SendJob : public FakePortTest {};

// Short of memory a file goes in 4096-byte pieces; from 2 GiB on sizes are 64-bit, and such
// a file is read piece by piece, never whole. Pieces keep the delay between them, a busy
// port is retried, and a failed write is reported.
TEST_F(SendJob, FilesGoInPiecesShortOfMemoryAndBeyond4GiBKeepTheirSizeAndTheirDelay) {
  std::string bytes;
  for (int i = 0; i < 10000; i++) bytes += (char)(i * 7 + i / 256);
  std::string path = File("pieces.bin", bytes);
  FileBufferAllocLimit = 4096;
  ASSERT_TRUE(RunJob({path}, 1, "8"));
  EXPECT_EQ(std::vector<size_t>({4096, 4096, 1808}), PieceSizes());
  EXPECT_TRUE(FakeReceived() == bytes);
  FileBufferAllocLimit = 100;
  ASSERT_TRUE(RunJob({path}));
  EXPECT_TRUE(HasLine("RS232C:<ERROR>Send Data File Memory overflow NG."));
  EXPECT_EQ(3u, Fake.pieces.size());

  FileBufferAllocLimit = 0;
  std::string huge = folder + "\\huge.bin";
  HANDLE file = CreateFileA(huge.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  LARGE_INTEGER size;
  size.QuadPart = 5ll << 30;
  ASSERT_TRUE(SetFilePointerEx(file, size, NULL, FILE_BEGIN) && SetEndOfFile(file));  // sparse
  CloseHandle(file);
  Fake.pieces.clear();
  Fake.pieceDelayMs = 100;
  ASSERT_TRUE(StartJob({huge}, "64"));
  ASSERT_TRUE(WaitFor([] { return Fake.pieces.size() >= 2; }));
  std::string progress = StatusText(1);
  PostCommand(IDM_STOP);
  ASSERT_TRUE(JobEnded(10000));
  EXPECT_TRUE(HasLine("RS232C:(2)SendDataSize = 5368709120byte")) << LogDump();
  EXPECT_NE(std::string::npos, progress.find("/ 5368709120(byte)")) << progress;
  EXPECT_EQ(65536u, Fake.pieces[0].size());

  // What every driver inherits from the block sender, run through the fake driver; its
  // time-out, the receive thread and the direct write's patience run through RS-232C's.
  Fake = FakePort();
  Fake.busyWrites = 2;  // a busy port is retried, not reported
  int ended = LineCount("RS232C:Data Send End."), failed = LineCount("RS232C:<ERROR>Data Send NG.");
  HWND dlg = ListJob({path}, "4096");
  ASSERT_TRUE(dlg);
  SetCheck(dlg, IDC_BLK_KBYTE, false);
  SetText(dlg, IDC_BLK_DELAY, "200");
  ASSERT_TRUE(Transmit(dlg) && JobEnded());
  EXPECT_EQ(std::vector<size_t>({4096, 4096, 1808}), PieceSizes());
  EXPECT_TRUE(FakeReceived() == bytes);
  ASSERT_EQ(3u, Fake.ticks.size());
  EXPECT_GE(Fake.ticks[1] - Fake.ticks[0], 150u);  // the delay lies between pieces
  EXPECT_GE(Fake.ticks[2] - Fake.ticks[1], 150u);
  EXPECT_EQ(ended + 1, LineCount("RS232C:Data Send End.")) << LogDump();

  Fake.failAtPiece = 4;
  ASSERT_TRUE(RunJob({path}, 1, "4096"));
  EXPECT_EQ(1u, LinesWith("<ERROR>Data Write NG.[ErrorNo=5]").size()) << LogDump();
  EXPECT_EQ(failed + 1, LineCount("RS232C:<ERROR>Data Send NG."));
  EXPECT_EQ(4u, Fake.pieces.size());
}

// The wait lies between files only; a second Ctrl+B meanwhile starts nothing and leaves the
// running job as it was.
TEST_F(SendJob, WaitLiesBetweenFilesOnlyAndABlockCommandMeanwhileStartsNothing) {
  HWND dlg = ListJob({File("a.bin", "A")});
  ASSERT_TRUE(dlg);
  SetText(dlg, IDC_BLK_TIMES, "2");
  SetCheck(dlg, IDC_BLK_WAIT_ON, true);
  SetText(dlg, IDC_BLK_WAIT, "5");
  ASSERT_TRUE(Transmit(dlg));
  EXPECT_TRUE(WaitFor([] { return Fake.pieces.size() == 1; }, 2500));
  PostCommand(IDM_BLOCK);
  Sleep(2500);
  EXPECT_EQ(1u, Fake.pieces.size());
  ASSERT_TRUE(JobEnded(5000));
  EXPECT_EQ("AA", FakeReceived());
  EXPECT_EQ(8u, LogLines().size()) << LogDump();
  EXPECT_FALSE(WaitDialog("Block transmission", 1000)) << "a second job started";
}

class TcpipJob : public PrinterTest {
 protected:
  // The files listed with the wait option at its least (5 s) or off, 1 KB blocks and the delay; the job started.
  void StartJob(const std::vector<std::string>& paths, bool wait, const char* delay = "0") {
    HWND dlg = ListJob(paths);
    ASSERT_TRUE(dlg);
    SetText(dlg, IDC_BLK_DELAY, delay);
    SetCheck(dlg, IDC_BLK_WAIT_ON, wait);
    SetText(dlg, IDC_BLK_WAIT, "5");
    ASSERT_TRUE(Transmit(dlg));
  }
};

// The connect's last line holds the send thread until the window has taken the connect
// event: the refusal is handled before the connect call has returned.
static WNDPROC windowProc;
static LRESULT CALLBACK RefusalFirst(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_APPEND_LINE && strncmp((const char*)lParam, "TCP/IP:PortNo", 13) == 0) {
    MSG event;
    for (DWORD start = GetTickCount(); TcpSocket != INVALID_SOCKET && GetTickCount() - start < 3000; Sleep(1))
      if (PeekMessageA(&event, wnd, WM_SOCKET_EVENT, WM_SOCKET_EVENT, PM_REMOVE)) DispatchMessageA(&event);
  }
  return CallWindowProcA(windowProc, wnd, msg, wParam, lParam);
}

// With nothing connected a job asks for an interface: it ends silently when none is given,
// and waits for the connection of the one chosen, or ends when that is refused.
TEST_F(TcpipJob, ChosenInTheSelectionTheJobWaitsForTheConnectionOrEndsWhenRefused) {
  std::string a = File("a.bin", "over tcp");
  StartJob({a}, false);
  HWND select = WaitDialog("Selection of I/F");
  ASSERT_TRUE(select);
  Click(select, IDOK);  // nothing chosen yet: the dialog stays
  Sleep(300);
  EXPECT_TRUE(IsWindowVisible(select));
  Click(select, IDCANCEL);
  ASSERT_TRUE(DialogGone(select) && JobEnded());
  EXPECT_TRUE(LogLines().empty());
  for (int refuse : {1, 0}) {
    SimSetRefuse(refuse);
    if (refuse)
      windowProc = (WNDPROC)SetWindowLongPtrA(hMainWnd, GWLP_WNDPROC, (LONG_PTR)RefusalFirst);
    else
      SetWindowLongPtrA(hMainWnd, GWLP_WNDPROC, (LONG_PTR)windowProc);
    StartJob({a}, false);
    HWND select = WaitDialog("Selection of I/F");
    ASSERT_TRUE(select);
    Click(select, IDC_SEL_TCPIP);
    Click(select, IDOK);
    ASSERT_TRUE(ConfirmTcpipDialog("127.0.0.1", port, false));
    ASSERT_TRUE(DialogGone(select) && JobEnded()) << LogDump();
  }
  EXPECT_EQ(1, LineCount("TCP/IP:Not Connection.[EventCode=16][ErrorNo=10061]"));
  EXPECT_TRUE(WaitFor([] { return SimReceived() == "over tcp"; }));
  EXPECT_EQ(1, LineCount("TCP/IP:Data Send End.")) << LogDump();
}

// With the wait option each file gets a fresh connection, and one made by the user in the
// pause serves the next file: no sequence of user actions may leave the flags and the
// socket disagreeing.
TEST_F(TcpipJob, WithTheWaitOptionAConnectionMadeInThePauseServesTheNextFile) {
  Connect(false);
  StartJob({File("a.bin", "A"), File("b.bin", "B")}, true);
  ASSERT_TRUE(WaitLine("TCP/IP:Connection Shutdown."));
  PostCommand(IDM_TCPIP);
  ASSERT_TRUE(ConfirmTcpipDialog("127.0.0.1", port, false));
  ASSERT_TRUE(JobEnded(15000));  // the last file is followed by a re-connection too
  EXPECT_TRUE(WaitFor([] { return SimReceived() == "AB"; })) << LogDump();
  EXPECT_TRUE(HasLine("TCP/IP:Data Send End.")) << LogDump();
  EXPECT_TRUE(HasLine("TCP/IP:Connection Retry Start."));
  EXPECT_EQ(3, SimGetStats().connections);
  EXPECT_TRUE(WaitFor([] { return Ports[IF_TCPIP].connected == 1 && TcpSocket != INVALID_SOCKET; }));
  PostCommand(IDM_DISCONNECT);
  EXPECT_TRUE(WaitFor([] { return Ports[IF_TCPIP].connected == 0 && TcpSocket == INVALID_SOCKET && TcpState == 0; }));
}

// The rest of a file never goes out on a new connection.
TEST_F(TcpipJob, AFileIsNeverSplitAcrossTwoConnections) {
  Connect(false);
  SimSetCloseAfterBytes(1024);
  StartJob({File("a.bin", std::string(3072, 'a'))}, false, "2500");
  ASSERT_TRUE(JobEnded(15000));
  EXPECT_EQ(1u, LinesWith("TCP/IP:(1)<ERROR>Data Send NG.[ErrorNo=100").size()) << LogDump();  // reset or closed
  EXPECT_TRUE(HasLine("TCP/IP:<ERROR>Data Send NG."));
  EXPECT_TRUE(WaitFor([] { return SimGetStats().connections == 2; })) << "the printer's close is followed by a re-connection";
  EXPECT_EQ(1024, SimGetStats().bytes);
}

TEST_F(TcpipJob, StopWorksDuringTheReconnectionBetweenFiles) {
  Connect(false);
  StartJob({File("a.bin", "A"), File("b.bin", "B")}, true);
  ASSERT_TRUE(WaitFor([] { return SimReceived() == "A"; }));
  SimSetRefuse(1);
  ASSERT_TRUE(WaitLine("TCP/IP:Connection Retry Start.", 2, 15000)) << LogDump();
  PostCommand(IDM_STOP);
  ASSERT_TRUE(JobEnded(3000)) << LogDump();
  EXPECT_TRUE(HasLine("TCP/IP:<ERROR>Data Send NG.")) << LogDump();
  EXPECT_TRUE(LinesWith("b.bin").empty());
}
