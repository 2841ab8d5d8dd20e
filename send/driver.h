// What every interface driver offers the window and the send engine, and the
// pieces that all drivers share: the received-data sink, thread start and direct write.
#pragma once
#include <windows.h>
#include "app/state.h"

enum DriverAction { ACTION_SOCKET_EVENT = 0, ACTION_CONNECT = 1, ACTION_DISCONNECT = 2, ACTION_START_BLOCK = 3 };

struct Driver {
  int kind;
  int (*init)(ConnectionBlock* block);
  void (*exit)(ConnectionBlock* block);
  int (*command)(HWND wnd, WPARAM wParam, LPARAM lParam, int action);
  int (*blockSender)(ConnectionBlock* block, int counter);
  int (*directWrite)(const unsigned char* bytes, int length);
  const char* (*detail)();  // status part 0 text after the interface name
};

extern const Driver* const Drivers[IF_KINDS];  // by interface kind; null where not built

int DriverCommand(int kind, HWND wnd, WPARAM wParam, LPARAM lParam, int action);
int DriversInit(ConnectionBlock* block);  // 0 when RS-232C could not be set up
void DriversExit(ConnectionBlock* block);
