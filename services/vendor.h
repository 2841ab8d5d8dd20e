#pragma once
// The four USB vendor requests as the main window, the send thread and the receive
// thread use them, with their failure lines in the terminal log.
#include <windows.h>

#include <string>

#include "common/state.h"

// How the requests reach the connected printer: the USB access layer resolves its handle
// to the record's control handle and status byte (0, or -103 when it names no record) and
// releases the record again. Filled by the USB connection; empty, no printer is reached.
struct UsbVendorAccess {
    int (*acquire)(HANDLE access, HANDLE* control, unsigned char** status);
    void (*release)(HANDLE access);
};
extern UsbVendorAccess VendorAccess;

extern int OffsetValue;         // 0 until an offset is accepted, then the last one
extern Word MibRequestCounter;  // 1 to 255; the USB connection sets it to 1

// Each returns 1 on success; a failure is reported as its line and returns 0.
int SetOffsetCommand(HWND owner);  // 1 when the request was attempted, 0 when not connected or cancelled
int MibObjectSetCommand(const std::string& request);
int MibValueGetCommand(unsigned size, std::string* answer);
int GetJobEndCommand(int* busy);

// The GET_JOB_END retry after a file's last byte, on the send thread: asks until the printer's
// job has ended (1). Gives up (0) when a request fails, USB is disconnected, Stop or the job
// cancel (*cancel) is asked, or the time limit passes (0: no limit).
int WaitForJobEnd(const Word* cancel, unsigned timeLimitMs);

// The automatic MIB refer cycle, run by the USB receive thread after each receive.
// 0 when the MIB object set failed, else 1.
int MibReferCycle();

// "MIBOBJECT": the dialog "MIB refer (transmission)".
void MibObjectCommand(HWND owner);
INT_PTR CALLBACK MibDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SetOffsetDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
