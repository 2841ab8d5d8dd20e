// Toolbar, menu and status bar state of the main window.
#pragma once
#include <windows.h>

void EnableToolbarButton(int id, int on);
void EnableMenuCommand(int id, int on);
void BlockCommandEnable(int on);
void MenuStateRefresh();
void StatusPart0Update();
void StatusPart1Update(unsigned long long bytesSent, unsigned long long size);
void StatusPart2Update(unsigned bytesWritten);
void StatusPart3Update(const char* text);  // the USB status text
void ResetConnectionState();
int SelectInterfaceDialog(HWND owner);  // the interface selection of a job; -1 when it cannot be shown

// The socket layer reports the TCP/IP socket's events to the main window with this message.
const UINT WM_SOCKET_EVENT = WM_USER + 130;
