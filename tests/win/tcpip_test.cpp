#include "tests/win/harness.h"
#include "app/app.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/state.h"
#include "ports/tcpip/tcpip.h"
#include "send/engine.h"
#include "sim/server.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <thread>

struct Piece {
  int bytes;
  DWORD tick;
};
static std::vector<Piece> pieces;
static void RecordPiece(int bytes) { pieces.push_back({bytes, GetTickCount()}); }

class Tcpip : public PrinterTest {
 protected:
  HWND OpenDialog() {
    PostCommand(IDM_TCPIP);
    return WaitDialog("TCP/IP(Network)");
  }
};

TEST_F(Tcpip, DialogShowsPort9100AndKeepsTheTimeOutWithinItsRange) {
  Connect(true);
  EXPECT_EQ(1, TcpState);
  EXPECT_EQ("TCP/IP  127.0.0.1", StatusText(0));
  EXPECT_TRUE(WaitLine("TCP/IP:HostName = 127.0.0.1"));
  EXPECT_EQ(1, LineCount("TCP/IP:PortNo = " + std::to_string(port)));
  PostCommand(IDM_DISCONNECT);
  ASSERT_TRUE(WaitLine("TCP/IP:Connection Shutdown."));

  HWND dlg = OpenDialog();
  ASSERT_TRUE(dlg != NULL);
  EXPECT_EQ("9100", Text(dlg, IDC_TCP_PORT));
  EXPECT_EQ("127.0.0.1", Text(dlg, IDC_TCP_HOST));
  EXPECT_FALSE(IsChecked(dlg, IDC_TCP_CHECK));
  EXPECT_TRUE(IsChecked(dlg, IDC_TCP_BIDIR));
  EXPECT_EQ("60", Text(dlg, IDC_TCP_TIMEOUT));
  SetCheck(dlg, IDC_TCP_RECONNECT, true);
  SetCheck(dlg, IDC_TCP_BIDIR, false);
  EXPECT_FALSE(IsChecked(dlg, IDC_TCP_RECONNECT));
  EXPECT_FALSE(IsEnabled(dlg, IDC_TCP_RECONNECT));
  EXPECT_FALSE(IsEnabled(dlg, IDC_TCP_TIMEOUT));
  SetCheck(dlg, IDC_TCP_BIDIR, true);
  EXPECT_TRUE(IsEnabled(dlg, IDC_TCP_TIMEOUT));

  for (const char* outside : {"59", "301", ""}) {
    SetText(dlg, IDC_TCP_TIMEOUT, outside);
    Click(dlg, IDOK);
    EXPECT_TRUE(WaitFor([&] { return Text(dlg, IDC_TCP_TIMEOUT) == "60"; })) << outside;
    EXPECT_TRUE(IsWindowVisible(dlg)) << outside;
  }
  SetText(dlg, IDC_TCP_HOST, "");
  SetText(dlg, IDC_TCP_TIMEOUT, "300");
  Click(dlg, IDOK);
  ASSERT_TRUE(DialogGone(dlg));
  EXPECT_EQ(3000, NoRecvLimit);
  ASSERT_TRUE(WaitLine("TCP/IP:Not Connection."));
  std::vector<std::string> lines = LogLines();
  auto start = std::find(lines.rbegin(), lines.rend(), "TCP/IP:Connection Start.");
  ASSERT_NE(lines.rend(), start);
  ASSERT_GE(start - lines.rbegin(), 2);
  EXPECT_EQ("TCP/IP:<ERROR>Un-Inputting of HostName or PortNo.", *(start - 1));
  EXPECT_EQ("TCP/IP:Not Connection.", *(start - 2));
  EXPECT_EQ(0, TcpState);
  EXPECT_EQ(1, SimGetStats().connections);
}

TEST_F(Tcpip, ASecondConnectWhileConnectedIsRefused) {
  Connect();
  EXPECT_EQ(0, TcpipConnect(hMainWnd, 1));
  EXPECT_TRUE(WaitLine("TCP/IP:<ERROR>Already Connection Settled."));
  EXPECT_EQ(1, TcpState);
  EXPECT_EQ(1, Ports[IF_TCPIP].connected);
  Sleep(200);
  EXPECT_EQ(1, SimGetStats().connections);
}

TEST_F(Tcpip, ARefusedConnectionReportsTheConnectEventAndItsError) {
  SimSetRefuse(1);
  PostCommand(IDM_TCPIP);
  ASSERT_TRUE(ConfirmTcpipDialog("127.0.0.1", port, false));
  EXPECT_TRUE(WaitLine("TCP/IP:Not Connection.[EventCode=16][ErrorNo=10061]"));
  EXPECT_EQ(0, TcpState);
  EXPECT_EQ(0, Ports[IF_TCPIP].connected);
  EXPECT_EQ(0, LineCount("TCP/IP:Connection Retry Start."));
  EXPECT_TRUE(WaitFor([] { return ToolbarEnabled(TB_BLOCK) && MenuEnabled(IDM_TCPIP); }));
}

TEST_F(Tcpip, ThePrinterClosingTheConnectionIsFollowedByAReconnection) {
  Connect();
  SimSetCloseAfterBytes(4);
  const unsigned char bytes[] = "job!";
  EXPECT_EQ(1, TcpipDriver.directWrite(bytes, 4));
  EXPECT_TRUE(WaitLine("TCP/IP:Connection Shutdown."));
  EXPECT_TRUE(WaitLine("TCP/IP:Connection Retry Start."));
  EXPECT_TRUE(WaitLine("TCP/IP:Connected.", 2));
  EXPECT_TRUE(WaitFor([] { return SimGetStats().connections == 2 && SimGetStats().connected == 1; }));
  EXPECT_EQ(1, TcpState);
  EXPECT_EQ(0, TcpReconnectPending);
}

TEST_F(Tcpip, RetriesGiveUpAfterTenRefusalsAndLeaveTheStateIdle) {
  Connect();
  SimSetRefuse(1);  // also ends the connection being served
  EXPECT_TRUE(WaitLine("TCP/IP:Connection Retry Timeout.", 1, 20000));
  EXPECT_EQ(11, LineCount("TCP/IP:Connection Retry Start."));
  EXPECT_EQ(0, TcpState);
  EXPECT_EQ(0, TcpReconnectPending);
  EXPECT_EQ(0, Ports[IF_TCPIP].connected);
  EXPECT_EQ(1, SimGetStats().connections);
}

TEST_F(Tcpip, ASilentPrinterIsDroppedAtTheNoReceiveLimit) {
  SimSetSilent(1);
  Connect(true);
  NoRecvLimit = 5;
  EXPECT_TRUE(WaitLine("TCP/IP:Connection Shutdown."));
  EXPECT_EQ(0, TcpState);
  EXPECT_EQ(0, Ports[IF_TCPIP].connected);
  PostCommand(IDM_NOP_G);
  EXPECT_TRUE(WaitFor([] { return MenuEnabled(IDM_TCPIP) && ToolbarEnabled(TB_TCPIP); }));
  Sleep(1500);
  EXPECT_EQ(0, LineCount("TCP/IP:Connection Retry Start."));
  EXPECT_EQ(1, SimGetStats().connections);
}

TEST_F(Tcpip, ASilentPrinterIsReconnectedWithAutomaticReconnection) {
  SimSetSilent(1);
  Connect(true, true);
  NoRecvLimit = 5;
  EXPECT_TRUE(WaitLine("TCP/IP:Connection Shutdown."));
  EXPECT_TRUE(WaitLine("TCP/IP:Connected.", 2));
  EXPECT_TRUE(WaitFor([] { return SimGetStats().connections == 2; }));
  EXPECT_EQ(1, Ports[IF_TCPIP].receiveRun);
  NoRecvLimit = 600;
}

TEST_F(Tcpip, DirectWriteSendsEveryByteOrNoneWhileThePortIsHeld) {
  Connect();
  std::string bytes;
  for (int i = 0; i < 256 * 8; i++) bytes += (char)(i * 7);
  EXPECT_EQ(1, TcpipDriver.directWrite((const unsigned char*)bytes.data(), (int)bytes.size()));
  EXPECT_TRUE(WaitFor([&] { return SimGetStats().bytes == (long long)bytes.size(); }));
  EXPECT_EQ(Fnv1a64(bytes.data(), bytes.size()), SimGetStats().hash);

  HANDLE release = CreateEventA(NULL, TRUE, FALSE, NULL), held = CreateEventA(NULL, TRUE, FALSE, NULL);
  std::thread job([&] {
    WaitForSingleObject(PortMutex, INFINITE);
    SetEvent(held);
    WaitForSingleObject(release, INFINITE);
    ReleaseMutex(PortMutex);
  });
  WaitForSingleObject(held, 5000);
  EXPECT_EQ(0, TcpipDriver.directWrite((const unsigned char*)"more", 4));
  SetEvent(release);
  job.join();
  CloseHandle(release);
  CloseHandle(held);
  EXPECT_TRUE(WaitLine("TCP/IP:<ERROR> Socket busy."));
  Sleep(200);
  EXPECT_EQ((long long)bytes.size(), SimGetStats().bytes);
}

class TcpipBlocks : public Tcpip {
 protected:
  // Runs the block sender as the send thread would; returns its result.
  int Send(uint32_t bytesRead, uint32_t fileSize, uint32_t blockSize) {
    block = ConnectionBlock();
    block.bytesRead = bytesRead;
    block.fileSize = fileSize;
    block.delayTcpip = 200;
    FileData = (unsigned char*)&data[0];
    BlockSizeBytes = blockSize;
    HighSpeed = 0;
    BytesSent = 0;
    pieces.clear();
    TcpipSendObserver = RecordPiece;
    int result = TcpipDriver.blockSender(&block, 1);
    returned = GetTickCount();
    return result;
  }
  std::vector<int> Sizes() {
    std::vector<int> sizes;
    for (const Piece& p : pieces) sizes.push_back(p.bytes);
    return sizes;
  }
  DWORD Gap(size_t i) { return (i + 1 < pieces.size() ? pieces[i + 1].tick : returned) - pieces[i].tick; }
  ConnectionBlock block;
  std::string data = std::string(10000, '\0');
  DWORD returned = 0;
};

TEST_F(TcpipBlocks, FullBlocksAreFollowedByTheDelayExceptAtTheEndOfTheFile) {
  for (size_t i = 0; i < data.size(); i++) data[i] = (char)(i * 31 + i / 256);
  Connect();
  Ports[IF_TCPIP].sending = 1;

  ASSERT_EQ(1, Send(10000, 10000, 4096));
  EXPECT_EQ(std::vector<int>({4096, 4096, 1808}), Sizes());
  EXPECT_GE(Gap(0), 150u);
  EXPECT_GE(Gap(1), 150u);
  EXPECT_LT(Gap(2), 150u);
  EXPECT_EQ(10000, BytesSent);

  ASSERT_EQ(1, Send(10000, 10000, 5000));
  EXPECT_EQ(std::vector<int>({5000, 5000}), Sizes());
  EXPECT_GE(Gap(0), 150u);
  EXPECT_LT(Gap(1), 150u);
  EXPECT_EQ(10000, BytesSent);
  EXPECT_EQ("Send      10000 /      10000(byte):     0 /      0", StatusText(1));

  // One piece of a larger file read piece by piece: the delay follows it.
  ASSERT_EQ(1, Send(1000, 3000, 4096));
  EXPECT_EQ(std::vector<int>({1000}), Sizes());
  EXPECT_GE(Gap(0), 150u);

  EXPECT_TRUE(WaitFor([] { return SimGetStats().bytes == 21000; }));
  std::string expected = data + data + data.substr(0, 1000);
  EXPECT_EQ(Fnv1a64(expected.data(), expected.size()), SimGetStats().hash);
  EXPECT_EQ(1, Ports[IF_TCPIP].sending);
}

TEST_F(TcpipBlocks, AStopRequestEndsTheFileAfterTheCurrentBlock) {
  Connect();
  Ports[IF_TCPIP].sending = 1;
  StopRequest = 3;
  EXPECT_EQ(0, Send(10000, 10000, 4096));
  StopRequest = 0;
  EXPECT_EQ(std::vector<int>({4096}), Sizes());
  EXPECT_EQ(2, Ports[IF_TCPIP].sending);
  EXPECT_TRUE(WaitFor([] { return SimGetStats().bytes == 4096; }));
}

TEST_F(TcpipBlocks, ASendErrorIsReportedWithTheCounterAndErrorNumber) {
  Connect();
  Ports[IF_TCPIP].sending = 1;
  SOCKET s = TcpSocket;
  TcpSocket = INVALID_SOCKET;
  EXPECT_EQ(0, Send(10000, 10000, 4096));
  TcpSocket = s;
  EXPECT_TRUE(WaitLine("TCP/IP:(1)<ERROR>Data Send NG.[ErrorNo=10038]"));
  EXPECT_EQ(0, Ports[IF_TCPIP].sending);
  EXPECT_TRUE(pieces.empty());
}

TEST_F(Tcpip, ReceivedBytesAreShownAndAMalformedAnswerStopsReceiving) {
  Connect(true, false, true);
  EXPECT_EQ(1, Ports[IF_TCPIP].receiveRun);
  Ports[IF_TCPIP].sending = 1;
  ASSERT_EQ(4, SimSend("OK\r\n", 4));  // not a PJL answer
  EXPECT_TRUE(WaitLine("OK<0D><0A>"));
  EXPECT_TRUE(WaitLine("TCP/IP:<ERROR>StringCheck Error"));
  EXPECT_EQ(0, Ports[IF_TCPIP].receiveRun);
  EXPECT_EQ(3, StopRequest);
  ASSERT_EQ(5, SimSend("late\n", 5));
  Sleep(500);
  EXPECT_EQ(0, LineCount("late<0A>"));
  EXPECT_EQ(1, Ports[IF_TCPIP].connected);
  Ports[IF_TCPIP].sending = 0;
  StopRequest = 0;
}

TEST(TcpipSettings, TheNoReceiveLimitStartsAt600WhateverTheFileHeld) {
  std::string folder = FreshFolder("TcpipNoRecvCounter");
  WriteBytes(folder + "\\Tarvex.ini", "[TCPIP]\r\nNoRecvCounter=1200\r\n");
  StartApp();
  EXPECT_EQ(600, NoRecvLimit);
  StopApp();
  EXPECT_NE(std::string::npos, ReadBytes(folder + "\\Tarvex.ini").find("NoRecvCounter=600\r\n"));
}
