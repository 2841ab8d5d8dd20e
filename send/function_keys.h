// The function key table's use: F1 .. F12 send their texts, and the dialog that edits them.
#pragma once
#include <windows.h>

int SendFunctionKey(int n);  // n = 1 .. 12; the result of direct send
void FunctionKeyDialog(HWND owner);

// The dialog's "Preservation" and "Reading" after the file dialog: the twelve fields to a
// file and back. Loading reports a malformed file and then leaves the fields as they were.
int SaveFunctionKeyFile(HWND dlg, const char* path);
int LoadFunctionKeyFile(HWND dlg, const char* path);
