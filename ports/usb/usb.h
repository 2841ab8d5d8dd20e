// The USB driver: the printers on the USB printer ports, the connection to one of them
// through the access layer, its service commands and its data transfers.
#pragma once
#include <windows.h>
#include "common/state.h"
#include "ports/usb/access.h"
#include "send/driver.h"

extern const Driver UsbDriver;

extern ConnectionBlock* UsbBlock;  // the connection block given at start-up
extern UsbPrinterEntry UsbPrinters[USB_PRINTER_ENTRIES];
extern int UsbPrinterCount;
extern char UsbChosenName[260];
extern char UsbSpeedText[32];
extern Word UsbJobCancelRequest;
extern Word UsbStatusCommand;  // "Status Commando(&C)": read only while the printer's status is 1

void UsbPrepare(ConnectionBlock* block);  // fills the printer table
int UsbDialog(HWND owner);                // 1 with UsbChosenName set
int UsbConnect(HWND owner, ConnectionBlock* block);
// After a connection: the topology walk (the device services fill it in) leaves the speed
// text and vendor capability in the table; the connected printer's entry gives them.
void UsbPostConnection(ConnectionBlock* block);
extern void (*UsbTopologyWalk)();  // the quiet walk; null until the device services provide it
void UsbDisconnect(ConnectionBlock* block);
void UsbDeviceIdCommand(ConnectionBlock* block);
int UsbJobCancelCommand(HWND owner);

// Data transfer on the published pipes.
int UsbStartReceiving();
void UsbStopTransfers();  // the receive thread ends and no transfer stays pending on the pipes
int UsbBlockSender(ConnectionBlock* block, int counter);
int UsbDirectWrite(const unsigned char* bytes, int length);
// The printer's answer to "has the job ended" (0: ended); -1 when the request failed.
// Provided by the device services; null: the query always fails.
extern int (*UsbJobEndQuery)();
// For tests: how a write is started on the write pipe (WriteFileEx).
extern BOOL(WINAPI* UsbWriteStart)(HANDLE, LPCVOID, DWORD, LPOVERLAPPED, LPOVERLAPPED_COMPLETION_ROUTINE);
