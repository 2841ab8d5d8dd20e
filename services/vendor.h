#pragma once
// The four USB vendor requests as the main window, the send thread and the receive
// thread use them, with their failure lines in the terminal log.
#include <windows.h>

#include <string>

#include "common/state.h"

extern Word MibDialogOpen;       // the dialog's set and get span two clicks: the automatic cycle waits
extern int OffsetValue;         // 0 until an offset is accepted, then the last one

// Each returns 1 on success; a failure is reported as its line and returns 0.
int SetOffsetCommand(HWND owner);  // 1 when the request was attempted, 0 when not connected or cancelled
int MibObjectSetCommand(const std::string& request);
int MibValueGetCommand(unsigned size, std::string* answer);
int GetJobEndCommand(int* busy);

// The automatic MIB refer cycle, run by the USB receive thread after each receive.
// 0 when the MIB object set failed, else 1.
int MibReferCycle();
int JobEndQuery();  // 0: the printer's job has ended; 1: not yet; -1: the request failed

// "MIBOBJECT": the dialog "MIB refer (transmission)".
void MibObjectCommand(HWND owner);
INT_PTR CALLBACK MibDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SetOffsetDialogProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
