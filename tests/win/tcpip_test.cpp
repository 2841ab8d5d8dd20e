#include "tests/win/harness.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/state.h"
#include "ports/tcpip/tcpip.h"
#include "send/engine.h"
#include "sim/server.h"
#include <gtest/gtest.h>
#include <algorithm>

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

TEST(TcpipSettings, TheNoReceiveLimitStartsAt600WhateverTheFileHeld) {
  std::string folder = FreshFolder("TcpipNoRecvCounter");
  WriteBytes(folder + "\\Tarvex.ini", "[TCPIP]\r\nNoRecvCounter=1200\r\n");
  StartApp();
  EXPECT_EQ(600, NoRecvLimit);
  StopApp();
  EXPECT_NE(std::string::npos, ReadBytes(folder + "\\Tarvex.ini").find("NoRecvCounter=600\r\n"));
}
