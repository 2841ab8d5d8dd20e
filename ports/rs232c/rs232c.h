// The RS-232C driver: a serial port opened for overlapped I/O, its line configured from
// the dialog's choices as far as the port's capabilities allow. Sending and receiving run
// on the shared driver frame; this folder holds what is the serial port's own.
#pragma once
#include <windows.h>
#include "common/state.h"
#include "ports/rs232c/line.h"
#include "send/frame.h"

extern const Driver Rs232cDriver;

// The port record.
struct SerialPort {
  HANDLE device;  // INVALID_HANDLE_VALUE while closed
  DWORD commErrors;
  OVERLAPPED read, write;  // each with its own auto-reset event, made at open
  OVERLAPPED event;        // the port-event wait, where the platform supports one
};
extern SerialPort Port;
extern char Rs232cPortPath[260];  // as the dialog shows it: "COM10", or "\\.\COM1" at start
extern LineChoice Rs232cLine;

int Rs232cDialog(HWND owner);  // 1 when the port was opened, 2 otherwise
int Rs232cOpen();              // logs its progress and failure
void Rs232cClose();            // stops the threads first; safe when closed
extern const Receiver Rs232cReceiver;
extern const PieceWriter Rs232cWriter;
