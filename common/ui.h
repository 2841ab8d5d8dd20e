// Toolbar, menu and status bar state of the main window.
#pragma once
#include <windows.h>

void EnableToolbarButton(int id, int on);
void EnableMenuCommand(int id, int on);
void BlockCommandEnable(int on);
void MenuStateRefresh();
void StatusPart0Update();
void StatusPart1Update(unsigned bytesSent, unsigned size);
void StatusPart2Update(unsigned bytesWritten);
void StatusPart3Update(const char* text);  // the USB status text
void ResetConnectionState();
