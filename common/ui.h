// Toolbar, menu and status bar state of the main window.
#pragma once
#include <windows.h>

void EnableToolbarButton(int id, int on);
void EnableMenuCommand(int id, int on);
void BlockCommandEnable(int on);
void MenuStateRefresh();
void StatusPart0Update();
// From another thread the update is posted: the window shows the newest one on WM_SEND_STATUS.
void StatusPart1Update(unsigned long long bytesSent, unsigned long long size);
const UINT WM_SEND_STATUS = WM_APP + 4;
void ShowPostedSendStatus();
void StatusPart2Update(unsigned bytesWritten);
void StatusPart3Update(const char* text);  // the USB status text
void ResetConnectionState();
int SelectInterfaceDialog(HWND owner);  // the interface selection of a job; -1 when it cannot be shown

// The socket layer reports the TCP/IP socket's events to the main window with this message.
const UINT WM_SOCKET_EVENT = WM_USER + 130;
