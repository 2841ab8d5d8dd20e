// Preservation mode: every received byte is also written raw to a capture file.
#pragma once
#include <windows.h>

int StartPreservationMode(HWND dialogOwner);
void EndPreservationMode();
int CaptureWrite(const unsigned char* bytes, int length);
void ShowCaptureCount();  // status part 2, on the window's thread

const UINT WM_CAPTURE_COUNT = WM_APP + 3;
const UINT_PTR CAPTURE_COUNT_TIMER = 2;  // of the main window: the end of the count's rest
