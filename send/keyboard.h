// The keyboard input dialog: typed data goes to the printer at once by direct send.
#pragma once
#include <windows.h>

void KeyboardInputDialog(HWND owner);
