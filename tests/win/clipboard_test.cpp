#include "tests/win/harness.h"
#include "common/resource.h"
#include "common/state.h"
#include "terminal/log.h"
#include <gtest/gtest.h>
#include <string.h>

class Clipboard : public AppTest {
 protected:
  void Fill(std::initializer_list<const char*> lines) {
    for (const char* line : lines) AppendDisplayLine(line);
  }
  // Sent, so the command has run when this returns.
  void Command(int id) { SendMessageA(hMainWnd, WM_COMMAND, id, 0); }
};

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

TEST_F(Clipboard, CopyTakesTheSelectedLinesInOrderEachEndedByCrLf) {
  Fill({"line1", "line2", "line3", "line4", "line5"});
  SendMessageA(hLogList, LB_SETSEL, TRUE, 3);
  SendMessageA(hLogList, LB_SETSEL, TRUE, 1);
  Command(IDM_COPY);
  EXPECT_EQ("line2\r\nline4\r\n", ClipboardText());
}

TEST_F(Clipboard, CopyWithoutSelectionOrLinesLeavesTheClipboardAlone) {
  PutOnClipboard("before");
  Command(TB_COPY);
  Command(IDM_SELECT_ALL);
  EXPECT_EQ("before", ClipboardText());
  Fill({"one", "two"});
  Command(IDM_COPY);
  EXPECT_EQ("before", ClipboardText());
}

TEST_F(Clipboard, WholeSelectionSelectsEveryLineAndCopiesThemAll) {
  Fill({"first", "", "third"});
  Command(IDM_SELECT_ALL);
  EXPECT_EQ("first\r\n\r\nthird\r\n", ClipboardText());
  EXPECT_EQ(3, SendMessageA(hLogList, LB_GETSELCOUNT, 0, 0));
}
