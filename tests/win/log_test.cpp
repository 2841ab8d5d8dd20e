#include "tests/win/harness.h"
#include "common/resource.h"
#include "common/settings.h"
#include "common/state.h"
#include "terminal/log.h"
#include <gtest/gtest.h>
#include <thread>

class TerminalLog : public AppTest {
 protected:
  void Clear() {
    PostCommand(IDM_CLEAR);
    ASSERT_TRUE(WaitFor([] { return LogLines().empty(); }));
  }
};

static int Extent() { return (int)SendMessageA(hLogList, LB_GETHORIZONTALEXTENT, 0, 0); }

static int crossThreadSends;
static LRESULT CALLBACK CountCrossThreadSends(int code, WPARAM sameThread, LPARAM message) {
  if (code == HC_ACTION && !sameThread && ((CWPSTRUCT*)message)->hwnd == hMainWnd) crossThreadSends++;
  return CallNextHookEx(NULL, code, sameThread, message);
}

TEST_F(TerminalLog, LinesJoinDropScrollAndArriveFromOtherThreadsInOneCall) {
  // The list scrolls sideways as far as its widest line, and no further once that line is gone.
  int narrow = 0, wide = 0;
  char text[32];
  for (int i = 1; i <= 1025; i++) {
    snprintf(text, sizeof text, "line:%04d", i);
    AppendDisplayLine(i == 2 ? std::string(300, 'w').c_str() : text);
    if (i == 1) narrow = Extent();
    if (i == 2) wide = Extent();
    if (i == 3) {
      EXPECT_EQ(wide, Extent()) << "a narrower line leaves the extent";
    }
  }
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(512u, lines.size()) << "the 1025th line drops the oldest 513";
  EXPECT_EQ("line:0514", lines.front());
  EXPECT_EQ("line:1025", lines.back());
  EXPECT_GT(wide, narrow + 290 * 4);
  EXPECT_EQ(narrow, Extent()) << "the wide line was dropped";
  RECT client;
  GetClientRect(hLogList, &client);
  int itemHeight = (int)SendMessageA(hLogList, LB_GETITEMHEIGHT, 0, 0);
  EXPECT_TRUE(WaitFor([&] { return SendMessageA(hLogList, LB_GETTOPINDEX, 0, 0) + client.bottom / itemHeight >= 511; }))
      << "the last line never came into view";
  Clear();
  EXPECT_LT(Extent(), narrow);

  // A receive thread hands a chunk of many lines to the window in one call, not one per line.
  std::string chunk;
  for (int i = 0; i < 50; i++) chunk += "@PJL INFO STATUS " + std::to_string(i) + "\r\n";
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, CountCrossThreadSends, NULL,
                                 GetWindowThreadProcessId(hMainWnd, NULL));
  ASSERT_TRUE(hook != NULL);
  std::thread([&] { RenderIntoLog((const unsigned char*)chunk.data(), (int)chunk.size()); }).join();
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(1, crossThreadSends);
  lines = LogLines();
  ASSERT_EQ(50u, lines.size());
  EXPECT_EQ("@PJL INFO STATUS 49<0D><0A>", lines.back());

  // Received chunks join across calls; PortDsp strips errors, OpenDsp gates progress, Quiet drops all.
  Clear();
  RenderIntoLog((const unsigned char*)"ABC", 3);
  RenderIntoLog((const unsigned char*)"DEF\n", 4);
  PortDsp = 0;
  ConnectionLogMessage("TCP/IP:Connected.");
  LogMessage("TCP/IP:(%d)<ERROR>Data Send NG.[ErrorNo=%d]", 3, 10054);
  OpenDsp = 0;
  ConnectionLogMessage("%s:Data Send Start.", "TCP/IP");
  QuietFlag = 1;
  ContinuationFlag = 1;
  LogMessage("dropped");
  EXPECT_EQ(1, ContinuationFlag) << "a dropped append leaves the continuation flag alone";
  EXPECT_EQ((std::vector<std::string>{"ABCDEF<0A>", "TCP/IP:Connected.", "<ERROR>Data Send NG.[ErrorNo=10054]"}),
            LogLines());
}

static std::string ClipboardText() {
  std::string text = "<no text>";
  if (!OpenClipboard(NULL)) return "<clipboard busy>";
  HANDLE data = GetClipboardData(CF_TEXT);
  if (data) {
    text = (const char*)GlobalLock(data);
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

static void Command(int id) { SendMessageA(hMainWnd, WM_COMMAND, id, 0); }  // sent: done on return

// Copy takes the selected lines in order, each ended by CR LF; with nothing selected it leaves the
// clipboard alone. Display setup: cancel restores the width and RcvDsp but not OpenDsp; OK keeps.
TEST_F(TerminalLog, CopyAndDisplaySetup) {
  const std::string all = "line1\r\n\r\nline3\r\nline4\r\nline5\r\n";
  for (const char* line : {"line1", "", "line3", "line4", "line5"}) AppendDisplayLine(line);
  Command(IDM_SELECT_ALL);
  EXPECT_EQ(all, ClipboardText());
  EXPECT_EQ(5, SendMessageA(hLogList, LB_GETSELCOUNT, 0, 0));
  SendMessageA(hLogList, LB_SETSEL, FALSE, -1);
  Command(IDM_COPY);
  EXPECT_EQ(all, ClipboardText()) << "no selection";
  SendMessageA(hLogList, LB_SETSEL, TRUE, 3);
  SendMessageA(hLogList, LB_SETSEL, TRUE, 1);
  Command(IDM_COPY);
  EXPECT_EQ("\r\nline4\r\n", ClipboardText());
  Clear();
  Command(TB_COPY);
  Command(IDM_SELECT_ALL);
  EXPECT_EQ("\r\nline4\r\n", ClipboardText()) << "no lines";

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

  DspLine = 100;
  PostCommand(IDM_DISPLAY);
  dlg = WaitDialog("Display setup");
  ASSERT_TRUE(dlg != NULL);
  EXPECT_TRUE(IsChecked(dlg, IDC_DSP_132)) << "an odd width shows as 132";
  SetCheck(dlg, IDC_DSP_PORT, false);
  Click(dlg, IDOK);
  ASSERT_TRUE(DialogGone(dlg));
  EXPECT_EQ(0, PortDsp);
  EXPECT_EQ(100, DspLine) << "OK keeps the width that was in force";
}
