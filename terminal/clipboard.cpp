#include "terminal/clipboard.h"
#include "common/state.h"
#include <string.h>
#include <vector>

static std::vector<int> ChosenLines(int count) {
  std::vector<int> chosen;
  for (int i = 0; i < count; i++)
    if (SendMessageA(hLogList, LB_GETSEL, i, 0) > 0) chosen.push_back(i);
  return chosen;
}

static HGLOBAL BuildText(const std::vector<int>& lines) {
  size_t size = 1;
  for (int i : lines) {
    LRESULT length = SendMessageA(hLogList, LB_GETTEXTLEN, i, 0);
    if (length != LB_ERR) size += length + 2;
  }
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (!block) return NULL;
  char* text = (char*)GlobalLock(block);
  char* end = text + size - 1;
  for (int i : lines) {
    LRESULT length = SendMessageA(hLogList, LB_GETTEXTLEN, i, 0);
    if (length == LB_ERR || text + length + 2 > end) continue;
    std::vector<char> line(length + 1);
    length = SendMessageA(hLogList, LB_GETTEXT, i, (LPARAM)line.data());
    if (length == LB_ERR) length = 0;
    for (LRESULT c = 0; c < length; c++) *text++ = line[c] ? line[c] : ' ';
    *text++ = '\r';
    *text++ = '\n';
  }
  GlobalUnlock(block);
  return block;
}

static void HandToClipboard(HGLOBAL block) {
  if (!OpenClipboard(hLogList)) {
    GlobalFree(block);
    return;
  }
  EmptyClipboard();
  if (!SetClipboardData(CF_TEXT, block)) GlobalFree(block);
  CloseClipboard();
}

static void CopyLines(const std::vector<int>& lines) {
  if (lines.empty()) return;
  HGLOBAL block = BuildText(lines);
  if (block) HandToClipboard(block);
}

void CopySelectedLines() {
  int count = (int)SendMessageA(hLogList, LB_GETCOUNT, 0, 0);
  if (count > 0) CopyLines(ChosenLines(count));
}

void SelectAllAndCopy() {
  int count = (int)SendMessageA(hLogList, LB_GETCOUNT, 0, 0);
  if (count <= 0) return;
  SendMessageA(hLogList, LB_SETSEL, TRUE, -1);
  CopyLines(ChosenLines(count));
}
