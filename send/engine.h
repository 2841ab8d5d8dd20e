// The send job: one thread per job that runs the block transmission dialog and sends
// the listed files through the active interface's block sender.
#pragma once
#include <windows.h>
#include "common/state.h"

DWORD WINAPI SendThreadProc(LPVOID mainWindow);
int StartSendThread(HWND owner);  // nothing connected: the job asks for an interface itself
void ReleaseSendThreadHandle();

// Options of the job, set by the block transmission dialog and read by the block senders.
extern unsigned char* FileData;   // the bytes read of the current file (the whole file or one piece)
extern uint32_t BlockSizeBytes;
extern Word TimeOutOn, WaitOn, HighSpeed, OrderOption, KbyteFlag;
