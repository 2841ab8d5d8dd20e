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

TEST_F(TerminalLog, ReceivedChunksJoinAcrossCalls) {
  RenderIntoLog((const unsigned char*)"ABC", 3);
  RenderIntoLog((const unsigned char*)"DEF\n", 4);
  RenderIntoLog((const unsigned char*)"\0\0", 2);
  EXPECT_EQ(std::vector<std::string>{"ABCDEF<0A>"}, LogLines());
}

TEST_F(TerminalLog, PortDspStripsErrorsOpenDspGatesProgressQuietDropsAll) {
  PortDsp = 0;
  ConnectionLogMessage("TCP/IP:Connected.");
  LogMessage("TCP/IP:(%d)<ERROR>Data Send NG.[ErrorNo=%d]", 3, 10054);
  OpenDsp = 0;
  ConnectionLogMessage("%s:Data Send Start.", "TCP/IP");
  QuietFlag = 1;
  ContinuationFlag = 1;
  LogMessage("dropped");
  EXPECT_EQ(1, ContinuationFlag) << "a dropped append leaves the continuation flag alone";
  EXPECT_EQ((std::vector<std::string>{"TCP/IP:Connected.", "<ERROR>Data Send NG.[ErrorNo=10054]"}), LogLines());
}

static int Extent() { return (int)SendMessageA(hLogList, LB_GETHORIZONTALEXTENT, 0, 0); }

// The list scrolls sideways as far as its widest line, and no further once that line is gone.
TEST_F(TerminalLog, HorizontalExtentFollowsTheWidestLine) {
  AppendDisplayLine("short");
  int shortExtent = Extent();
  AppendDisplayLine(std::string(300, 'w').c_str());
  int wide = Extent();
  AppendDisplayLine("tiny");
  EXPECT_EQ(wide, Extent());
  EXPECT_GT(wide, shortExtent + 290 * 4);
  for (int i = 0; i < 1024; i++) AppendDisplayLine("short");
  EXPECT_EQ(shortExtent, Extent()) << "the wide line was dropped";
  PostCommand(IDM_CLEAR);
  EXPECT_TRUE(WaitFor([] { return LogLines().empty(); }));
  EXPECT_LT(Extent(), shortExtent);
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
