#include "terminal/log.h"
#include "terminal/log_join.h"
#include "terminal/render.h"
#include "common/settings.h"
#include <stdarg.h>
#include <stdio.h>
#include <string>
#include <vector>

Word QuietFlag;
Word ContinuationFlag;

const int LINE_LIMIT = 1024;
const int LINES_DROPPED = 513;
static const char FACE_MS_GOTHIC[] = "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e";  // MS Gothic in Shift-JIS

// What the list holds, kept beside it so an append does not read the list back.
static int lineCount, widestLength;  // the widest line's length sets how far the list scrolls sideways
static std::string lastLine;
static int redrawHeld, timerSet;

HWND CreateTerminalLog(HWND parent, int x, int y, int width, int height) {
  lineCount = redrawHeld = timerSet = 0;
  widestLength = -1;
  lastLine.clear();
  HWND list = CreateWindowExA(0, "LISTBOX", NULL,
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LBS_EXTENDEDSEL |
                                  LBS_NOINTEGRALHEIGHT | LBS_DISABLENOSCROLL,
                              x, y, width, height, parent, NULL, hInst, NULL);
  if (!list) return NULL;
  HFONT font = CreateFontA(14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, PROOF_QUALITY, FIXED_PITCH | FF_MODERN, FACE_MS_GOTHIC);
  SendMessageA(list, WM_SETFONT, (WPARAM)font, FALSE);
  return list;
}

int LineWidth() { return ClampLineWidth(DspLine); }

static std::string LineText(int index) {
  LRESULT length = SendMessageA(hLogList, LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR) return std::string();
  std::string text(length + 1, '\0');
  length = SendMessageA(hLogList, LB_GETTEXT, index, (LPARAM)&text[0]);
  text.resize(length == LB_ERR ? 0 : length);
  return text;
}


static void SetExtentOf(const std::string& text) {
  HDC dc = GetDC(hLogList);
  int saved = SaveDC(dc);
  SelectObject(dc, (HFONT)SendMessageA(hLogList, WM_GETFONT, 0, 0));
  SIZE size = {0, 0};
  GetTextExtentPoint32A(dc, text.c_str(), (int)text.size(), &size);
  RestoreDC(dc, saved);
  ReleaseDC(hLogList, dc);
  SendMessageA(hLogList, LB_SETHORIZONTALEXTENT, size.cx + GetSystemMetrics(SM_CXHSCROLL), 0);
}

static void AddLine(const std::string& text) {
  if (SendMessageA(hLogList, LB_ADDSTRING, 0, (LPARAM)text.c_str()) < 0) return;
  lineCount++;
  lastLine = text;
  if ((int)text.size() <= widestLength) return;
  widestLength = (int)text.size();
  SetExtentOf(text);
}

static void ShowLastLine() {
  int count = (int)SendMessageA(hLogList, LB_GETCOUNT, 0, 0);
  if (count > 0) SendMessageA(hLogList, LB_SETTOPINDEX, count - 1, 0);
}

static int OnLogThread() { return GetWindowThreadProcessId(hLogList, NULL) == GetCurrentThreadId(); }

// One line into the list, on the window's thread; the caller shows the end.
static void AppendLine(const char* text) {
  if (QuietFlag == 1) return;
  AppendPlan plan = PlanAppend(lineCount > 0 ? lastLine.c_str() : NULL, ContinuationFlag, text, LineWidth());
  if (plan.replaceLast && SendMessageA(hLogList, LB_DELETESTRING, lineCount - 1, 0) >= 0) {
    lineCount--;
    AddLine(plan.last);
  }
  if (plan.addExtra) AddLine(plan.extra);
  if (lineCount > LINE_LIMIT) {
    for (int i = 0; i < LINES_DROPPED; i++) SendMessageA(hLogList, LB_DELETESTRING, 0, 0);
    lineCount = (int)SendMessageA(hLogList, LB_GETCOUNT, 0, 0);
    RecomputeHorizontalExtent();
  }
  ContinuationFlag = 0;
}

// Repainting the list and its scroll bars costs far more than appending a line (under
// Wine, turning redrawing back on takes 10-30 ms), and a thread that hands the window a
// line waits for whatever the window is doing. So lines are appended with the list's
// redrawing off, and the timer scrolls to the end and repaints 100 ms later, at most once
// per 100 ms of a stream.
const DWORD REDRAW_INTERVAL_MS = 100;

static void HoldRedraw() {
  if (!redrawHeld) SendMessageA(hLogList, WM_SETREDRAW, FALSE, 0);
  redrawHeld = 1;
}

void ResumeLogRedraw() {
  if (timerSet) KillTimer(GetParent(hLogList), LOG_REDRAW_TIMER);
  timerSet = 0;
  if (!redrawHeld) return;
  redrawHeld = 0;
  ShowLastLine();
  SendMessageA(hLogList, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(hLogList, NULL, TRUE);
}

static void ShowAppended() {
  if (timerSet) return;
  SetTimer(GetParent(hLogList), LOG_REDRAW_TIMER, REDRAW_INTERVAL_MS, NULL);
  timerSet = 1;
}

void AppendDisplayLine(const char* text) {
  if (QuietFlag == 1 || !hLogList) return;
  if (!OnLogThread()) {
    SendMessageA(GetParent(hLogList), WM_APPEND_LINE, 0, (LPARAM)text);
    return;
  }
  HoldRedraw();
  AppendLine(text);
  ShowAppended();
}

std::string FormatText(const char* format, va_list args) {
  char text[2048];
  vsnprintf(text, sizeof text, format, args);
  return text;
}

void DisplayLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatText(format, args);
  va_end(args);
  AppendDisplayLine(text.c_str());
}

void LogMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatText(format, args);
  va_end(args);
  if (PortDsp == 0) StripInterfacePrefix(&text[0]);
  AppendDisplayLine(text.c_str());
}

void ConnectionLogMessage(const char* format, ...) {
  if (OpenDsp != 1) return;
  va_list args;
  va_start(args, format);
  std::string text = FormatText(format, args);
  va_end(args);
  AppendDisplayLine(text.c_str());
}

// A chatty printer sends many lines per chunk: the chunk crosses to the window's thread once.
static void EmitReceivedLine(const char* line, int open) {
  AppendLine(line);
  if (open) ContinuationFlag = 1;
}

void RenderIntoLog(const unsigned char* bytes, int length) {
  if (!hLogList) return;
  if (!OnLogThread()) {
    SendMessageA(GetParent(hLogList), WM_RENDER_CHUNK, (WPARAM)length, (LPARAM)bytes);
    return;
  }
  HoldRedraw();
  RenderReceivedData(length, bytes, LineWidth(), EmitReceivedLine);
  ShowAppended();
}

void ClearLog() {
  SendMessageA(hLogList, LB_RESETCONTENT, 0, 0);
  lineCount = 0;
  lastLine.clear();
  RecomputeHorizontalExtent();
}

void RecomputeHorizontalExtent() {
  if (!hLogList) return;
  int count = (int)SendMessageA(hLogList, LB_GETCOUNT, 0, 0);
  int longest = -1;
  widestLength = -1;
  for (int i = 0; i < count; i++) {
    int length = (int)SendMessageA(hLogList, LB_GETTEXTLEN, i, 0);
    if (length > widestLength) longest = i, widestLength = length;
  }
  SetExtentOf(longest >= 0 ? LineText(longest) : std::string("\n"));
}
