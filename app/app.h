// Start-up, the main window and its commands.
#pragma once
#include <windows.h>
#include "common/ui.h"

int AppRun(HINSTANCE instance, int showCommand);
LRESULT CALLBACK MainWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
int DispatchCommand(HWND wnd, int id, WPARAM wParam, LPARAM lParam);  // 0 when the id has no handler
void Shutdown(HWND wnd);
void DisconnectionSequence();
void AboutDialog(HWND owner);
int JobRunning();  // some interface's sending flag is 1
