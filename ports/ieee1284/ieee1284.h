// The IEEE1284 driver: the printer on the parallel port, through the device the Kelvane
// kernel driver creates ("\\.\KELVLPT1"), installed on demand by the driver setup.
#pragma once
#include <windows.h>
#include "common/state.h"
#include "send/driver.h"

extern const Driver Ieee1284Driver;

extern char Ieee1284PortName[260], Ieee1284Protocol[260];
extern Word Ieee1284ModeChoice;  // 0 ECP requested, 1 compatibility; not saved
extern char Ieee1284ModeText[12];
extern HANDLE Ieee1284Port;      // INVALID_HANDLE_VALUE when closed

// Device-control requests of the Kelvane driver.
const DWORD KELV_SET_MODE = 0x00162088;
const DWORD KELV_SET_BLOCK_LENGTH = 0x00162098;
const DWORD KELV_QUERY_ID_SIZE = 0x00160010;
const DWORD KELV_QUERY_ID = 0x0016000C;
const DWORD DEVICE_ID_LIMIT = 64 * 1024;  // a larger size reported by the printer is refused

int Ieee1284Dialog(HWND owner);   // 1 when the port was opened, else 2
int Ieee1284Open();               // 1, or 0 with its line logged and nothing left open
void Ieee1284Close(int logLine);
int Ieee1284DeviceIdDisplay();    // the "Device ID(USB/IEEE1284)" command
int ParallelDriverSetup(HWND owner);  // 1 when "KELVLPT1" is defined, else 0 after its message box

// The port's reads and writes (io.cpp).
int Ieee1284IoOpen();   // the events of the port's reads and writes
void Ieee1284IoClose();
int Ieee1284BlockSender(ConnectionBlock* block, int counter);
int Ieee1284DirectWrite(const unsigned char* bytes, int length);
int Ieee1284StartReceiving();
