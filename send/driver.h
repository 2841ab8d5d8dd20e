// What every interface driver offers the window and the send engine, and the
// pieces that all drivers share: the received-data sink, thread start and direct write.
#pragma once
#include <windows.h>
#include "common/state.h"

enum DriverAction { ACTION_SOCKET_EVENT = 0, ACTION_CONNECT = 1, ACTION_DISCONNECT = 2, ACTION_START_BLOCK = 3 };

struct Driver {
  int kind;
  int (*init)(ConnectionBlock* block);
  void (*exit)(ConnectionBlock* block);
  int (*command)(HWND wnd, WPARAM wParam, LPARAM lParam, int action);
  int (*blockSender)(ConnectionBlock* block, int counter);
  int (*directWrite)(const unsigned char* bytes, int length);
  const char* (*detail)();  // status part 0 text after the interface name
  // Optional entries. USB starts a job and cancels the printer's job outside the command
  // entry; a driver that connects asynchronously lets the job wait for the connection it
  // started (0, or -160 once given up); a driver may act between two files of a job (0, or
  // a job result).
  int (*startBlock)(HWND owner);
  int (*jobCancel)(HWND owner);
  int (*awaitConnected)();
  int (*stepBetweenFiles)(HWND mainWnd, DWORD waitMs);
};

extern const Driver* Drivers[IF_KINDS];  // by interface kind; null where not built

// The lines every driver logs for the same situations.
struct DriverMessages {
  const char* receiveThread;  // receive thread not created
  const char* sendThread;     // send thread not created
  const char* timeOut;        // piece time-out
  const char* blockWrite;     // block write error: send counter, error number
  const char* busy;           // direct write refused while the port mutex is held
  const char* directWrite;    // direct write error: error number
  const char* stringCheck;    // string check violation
  const char* remainderWrite;  // optional: the write error of a file's last, short piece, worded apart
};
extern const DriverMessages Messages[IF_KINDS];
// The block write error line for a piece of this length.
const char* BlockWriteMessage(int kind, uint32_t piece);

// Every chunk a receive path reads goes here: capture, rendering, string check.
void ReceivedDataSink(int kind, const unsigned char* bytes, int length);
// A block sender's progress in status part 1, unless the job runs at high speed.
void ShowSendProgress(const ConnectionBlock* block);
// Creates a thread at normal priority; NULL on failure.
HANDLE StartThread(LPTHREAD_START_ROUTINE proc, void* param, DWORD* id = NULL);
// The send thread for a connected driver's start-block-transmission action; while a job
// runs it starts nothing.
int StartDriverSendThread(int kind, HWND owner);

int DriverCommand(int kind, HWND wnd, WPARAM wParam, LPARAM lParam, int action);
int DriverStartBlock(int kind, HWND owner);  // the driver's start-block entry, or its command
int DriverJobCancel(int kind, HWND owner);
int DriversInit(ConnectionBlock* block);  // 0 when RS-232C could not be set up
void DriversExit(ConnectionBlock* block);
