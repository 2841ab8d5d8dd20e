#include "tests/win/harness.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/state.h"
#include "terminal/log.h"
#include <gtest/gtest.h>
#include <thread>

class TerminalLog : public AppTest {};

TEST_F(TerminalLog, The1025thLineDropsTheOldest513AndKeepsTheEndInView) {
  char text[32];
  for (int i = 1; i <= 1025; i++) {
    snprintf(text, sizeof text, "line:%d", i);
    AppendDisplayLine(text);
  }
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(512u, lines.size());
  EXPECT_EQ("line:514", lines.front());
  EXPECT_EQ("line:1025", lines.back());
  RECT client;
  GetClientRect(hLogList, &client);
  int itemHeight = (int)SendMessageA(hLogList, LB_GETITEMHEIGHT, 0, 0);
  int top = (int)SendMessageA(hLogList, LB_GETTOPINDEX, 0, 0);
  EXPECT_GE(top + client.bottom / itemHeight, 511) << "the last line is out of view";
}

TEST_F(TerminalLog, AnOpenDataLineIsFilledToTheWidthAndTheRestStartsANewLine) {
  AppendDisplayLine(std::string(40, 'a').c_str());
  ContinuationFlag = 1;
  AppendDisplayLine(std::string(50, 'b').c_str());
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(std::string(40, 'a') + std::string(40, 'b'), lines[0]);
  EXPECT_EQ(std::string(10, 'b'), lines[1]);
  EXPECT_EQ(0, ContinuationFlag);
}

TEST_F(TerminalLog, MarkedOrFullLinesAreNeverExtended) {
  AppendDisplayLine("ab<04>");
  ContinuationFlag = 1;
  AppendDisplayLine("cd");
  AppendDisplayLine("x:y");
  ContinuationFlag = 1;
  AppendDisplayLine("z");
  AppendDisplayLine(std::string(80, 'f').c_str());
  ContinuationFlag = 1;
  AppendDisplayLine("g");
  std::vector<std::string> expected = {"ab<04>", "cd", "x:y", "z", std::string(80, 'f'), "g"};
  EXPECT_EQ(expected, LogLines());
}

TEST_F(TerminalLog, ReceivedChunksJoinAcrossCalls) {
  RenderIntoLog((const unsigned char*)"ABC", 3);
  RenderIntoLog((const unsigned char*)"DEF\n", 4);
  RenderIntoLog((const unsigned char*)"\0\0", 2);
  EXPECT_EQ(std::vector<std::string>{"ABCDEF<0A>"}, LogLines());
}

TEST_F(TerminalLog, PortDspZeroStripsPrefixesOfLogMessagesOnly) {
  PortDsp = 0;
  ConnectionLogMessage("TCP/IP:Connected.");
  LogMessage("TCP/IP:(%d)<ERROR>Data Send NG.[ErrorNo=%d]", 3, 10054);
  LogMessage("RS232C:<ERROR> Port Busy.");
  LogMessage("TCP/IP:<ERROR>WSAAsyncSelect() Call NG.[ErrorNo=%d]", 10038);
  LogMessage("no prefix here");
  std::vector<std::string> expected = {"TCP/IP:Connected.", "<ERROR>Data Send NG.[ErrorNo=10054]",
                                       "<ERROR> Port Busy.", " Call NG.[ErrorNo=10038]", "no prefix here"};
  EXPECT_EQ(expected, LogLines());
}

TEST_F(TerminalLog, OpenDspGatesProgressButNotErrorsAndQuietDropsAll) {
  OpenDsp = 0;
  ConnectionLogMessage("%s:Data Send Start.", "TCP/IP");
  LogMessage("%s:<ERROR>Data Send NG.", "TCP/IP");
  QuietFlag = 1;
  ContinuationFlag = 1;
  LogMessage("dropped");
  EXPECT_EQ(1, ContinuationFlag) << "a dropped append leaves the continuation flag alone";
  EXPECT_EQ(std::vector<std::string>{"TCP/IP:<ERROR>Data Send NG."}, LogLines());
}

TEST_F(TerminalLog, ClearEmptiesTheLog) {
  AppendDisplayLine("one");
  PostCommand(IDM_CLEAR);
  EXPECT_TRUE(WaitFor([] { return LogLines().empty(); }));
}

TEST_F(TerminalLog, HorizontalExtentFollowsTheLongestLine) {
  AppendDisplayLine("short");
  int before = (int)SendMessageA(hLogList, LB_GETHORIZONTALEXTENT, 0, 0);
  AppendDisplayLine(std::string(300, 'w').c_str());
  int after = (int)SendMessageA(hLogList, LB_GETHORIZONTALEXTENT, 0, 0);
  EXPECT_GT(after, before);
  EXPECT_GT(after, 300 * 4);
}

TEST_F(TerminalLog, CancellingDisplaySetupRestoresWidthAndRcvDspButNotOpenDsp) {
  PostCommand(IDM_DISPLAY);
  HWND dlg = WaitDialog("Display setup");
  ASSERT_TRUE(dlg != NULL);
  EXPECT_TRUE(IsChecked(dlg, IDC_DSP_80));
  Click(dlg, IDC_DSP_132);
  SetCheck(dlg, IDC_DSP_OPEN, false);
  SetCheck(dlg, IDC_DSP_RCV, false);
  EXPECT_TRUE(WaitFor([] { return DspLine == 132 && RcvDsp == 0; }));
  Click(dlg, IDCANCEL);
  ASSERT_TRUE(DialogGone(dlg));
  EXPECT_EQ(80, DspLine);
  EXPECT_EQ(1, RcvDsp);
  EXPECT_EQ(0, OpenDsp);
}

TEST_F(TerminalLog, DisplaySetupShows132ForAnOddWidthAndOkKeepsChanges) {
  DspLine = 100;
  PostCommand(IDM_DISPLAY);
  HWND dlg = WaitDialog("Display setup");
  ASSERT_TRUE(dlg != NULL);
  EXPECT_TRUE(IsChecked(dlg, IDC_DSP_132));
  SetCheck(dlg, IDC_DSP_PORT, false);
  Click(dlg, IDOK);
  ASSERT_TRUE(DialogGone(dlg));
  EXPECT_EQ(0, PortDsp);
  EXPECT_EQ(100, DspLine) << "OK keeps the width that was in force";
}

static int crossThreadSends;
static LRESULT CALLBACK CountCrossThreadSends(int code, WPARAM sameThread, LPARAM message) {
  if (code == HC_ACTION && !sameThread && ((CWPSTRUCT*)message)->hwnd == hMainWnd) crossThreadSends++;
  return CallNextHookEx(NULL, code, sameThread, message);
}

// A receive thread hands a chunk of many lines to the window in one call, not one per line.
TEST_F(TerminalLog, AChunkFromAnotherThreadReachesTheWindowOnce) {
  std::string chunk;
  for (int i = 0; i < 50; i++) chunk += "@PJL INFO STATUS " + std::to_string(i) + "\r\n";
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, CountCrossThreadSends, NULL,
                                 GetWindowThreadProcessId(hMainWnd, NULL));
  ASSERT_TRUE(hook != NULL);
  std::thread([&] { RenderIntoLog((const unsigned char*)chunk.data(), (int)chunk.size()); }).join();
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(1, crossThreadSends);
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(50u, lines.size());
  EXPECT_EQ("@PJL INFO STATUS 49<0D><0A>", lines.back());
}
