#include "tests/win/harness.h"
#include "common/resource.h"
#include "common/settings.h"
#include "ports/tcpip/tcpip.h"
#include "sim/server.h"
#include <gtest/gtest.h>

// The no-receive limit starts at 600 whatever the settings file held.
class Tcpip : public PrinterTest {
 protected:
  void BeforeStart() override {
    PrinterTest::BeforeStart();
    WriteBytes(folder + "\\Tarvex.ini", "[TCPIP]\r\nNoRecvCounter=1200\r\n");
  }
};

TEST_F(Tcpip, DialogShowsPort9100KeepsTheTimeOutWithinItsRangeAndASecondConnectIsRefused) {
  Connect(true);
  EXPECT_EQ("TCP/IP  127.0.0.1", StatusText(0));
  EXPECT_TRUE(WaitLine("TCP/IP:HostName = 127.0.0.1"));
  EXPECT_EQ(1, LineCount("TCP/IP:PortNo = " + std::to_string(port)));
  EXPECT_EQ(0, TcpipConnect(hMainWnd, 1));
  EXPECT_TRUE(WaitLine("TCP/IP:<ERROR>Already Connection Settled."));
  EXPECT_EQ(1, TcpState);
  PostCommand(IDM_DISCONNECT);
  ASSERT_TRUE(WaitLine("TCP/IP:Connection Shutdown."));

  PostCommand(IDM_TCPIP);
  HWND dlg = WaitDialog("TCP/IP(Network)");
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
  std::vector<std::string> lines = LogLines(), last(lines.end() - 3, lines.end());
  EXPECT_EQ(std::vector<std::string>({"TCP/IP:Connection Start.", "TCP/IP:<ERROR>Un-Inputting of HostName or PortNo.",
                                      "TCP/IP:Not Connection."}),
            last);
  EXPECT_EQ(0, TcpState);
  EXPECT_EQ(1, SimGetStats().connections);
}

// A printer that refuses the re-connections after closing the connection: they give up
// after ten and leave the state idle.
TEST_F(Tcpip, ReconnectionsGiveUpAfterTenRefusals) {
  Connect();
  SimSetRefuse(1);  // also ends the connection being served
  EXPECT_TRUE(WaitLine("TCP/IP:Connection Retry Timeout.", 1, 20000));
  EXPECT_EQ(11, LineCount("TCP/IP:Connection Retry Start."));
  EXPECT_EQ(0, TcpState);
  EXPECT_EQ(0, TcpReconnectPending);
  EXPECT_EQ(0, Ports[IF_TCPIP].connected);
  EXPECT_EQ(1, SimGetStats().connections);
}

// A silent printer is dropped at the no-receive limit, and connected again only with
// automatic re-connection on.
TEST_F(Tcpip, ASilentPrinterIsDroppedAtTheNoReceiveLimitAndReconnectedOnlyWhenAsked) {
  SimSetSilent(1);
  for (bool reconnect : {false, true}) {
    Connect(true, reconnect);
    NoRecvLimit = 5;
    EXPECT_TRUE(WaitLine("TCP/IP:Connection Shutdown.", reconnect ? 2 : 1));
    if (!reconnect) {
      PostCommand(IDM_NOP_G);
      EXPECT_TRUE(WaitFor([] { return MenuEnabled(IDM_TCPIP) && ToolbarEnabled(TB_TCPIP); }));
    }
    NoRecvLimit = 600;  // the dialog shows it, and keeps it within its range
  }
  EXPECT_TRUE(WaitLine("TCP/IP:Connected.", 3));
  EXPECT_TRUE(WaitFor([] { return SimGetStats().connections == 3; }));
  EXPECT_EQ(1, LineCount("TCP/IP:Connection Retry Start."));
  EXPECT_EQ(1, Ports[IF_TCPIP].receiveRun);
}
