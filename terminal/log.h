// The terminal log: the list of display lines that fills the main window.
#pragma once
#include <windows.h>
#include <cstdarg>
#include <string>
#include "common/state.h"

extern Word QuietFlag;         // drops every append while 1
extern Word ContinuationFlag;  // the last received-data line may be continued

// Appends from other threads are carried out on the window's own thread, so the
// read-delete-add steps of one append never interleave with another's.
const UINT WM_APPEND_LINE = WM_APP + 1;
const UINT WM_RENDER_CHUNK = WM_APP + 2;  // wParam length, lParam bytes
const UINT_PTR LOG_REDRAW_TIMER = 1;       // of the main window: shows lines appended unseen

HWND CreateTerminalLog(HWND parent, int x, int y, int width, int height);
void AppendDisplayLine(const char* text);
void DisplayLine(const char* format, ...) __attribute__((format(printf, 1, 2)));  // formatted, at most 2047 characters
std::string FormatText(const char* format, va_list args);                        // at most 2047 characters
void LogMessage(const char* format, ...);            // errors; prefix stripped when PortDsp is 0
void ConnectionLogMessage(const char* format, ...);  // progress; shown only when OpenDsp is 1
void RenderIntoLog(const unsigned char* bytes, int length);
void ResumeLogRedraw();
void ClearLog();
void RecomputeHorizontalExtent();
int LineWidth();
void DisplaySetupDialog(HWND owner);
