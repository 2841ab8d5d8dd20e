#include "tests/win/harness.h"
#include "common/resource.h"
#include "common/state.h"
#include "terminal/log.h"
#include <gtest/gtest.h>
#include <string.h>

class Clipboard : public AppTest {};

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

static void PutOnClipboard(const char* text) {
  ASSERT_TRUE(OpenClipboard(NULL));
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, strlen(text) + 1);
  strcpy((char*)GlobalLock(block), text);
  GlobalUnlock(block);
  SetClipboardData(CF_TEXT, block);
  CloseClipboard();
}

static void Command(int id) { SendMessageA(hMainWnd, WM_COMMAND, id, 0); }  // sent: done on return

TEST_F(Clipboard, CopyTakesTheSelectedLinesInOrderEachEndedByCrLfAndNothingSelectedLeavesItAlone) {
  PutOnClipboard("before");
  Command(TB_COPY);
  Command(IDM_SELECT_ALL);
  EXPECT_EQ("before", ClipboardText()) << "no lines";
  for (const char* line : {"line1", "", "line3", "line4", "line5"}) AppendDisplayLine(line);
  Command(IDM_COPY);
  EXPECT_EQ("before", ClipboardText()) << "no selection";
  SendMessageA(hLogList, LB_SETSEL, TRUE, 3);
  SendMessageA(hLogList, LB_SETSEL, TRUE, 1);
  Command(IDM_COPY);
  EXPECT_EQ("\r\nline4\r\n", ClipboardText());
  Command(IDM_SELECT_ALL);
  EXPECT_EQ("line1\r\n\r\nline3\r\nline4\r\nline5\r\n", ClipboardText());
  EXPECT_EQ(5, SendMessageA(hLogList, LB_GETSELCOUNT, 0, 0));
}
