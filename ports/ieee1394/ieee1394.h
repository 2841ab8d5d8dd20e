// The IEEE1394 driver: a 1394 printer the platform presents as a parallel-port style
// device ("LPT2" and up), written in pieces with its answers read between them.
#pragma once
#include <windows.h>
#include "common/state.h"
#include "ports/ieee1394/ieee1394_pure.h"
#include "send/driver.h"

extern const Driver Ieee1394Driver;
extern char Ieee1394PortName[260];
extern HANDLE Ieee1394Handle;  // INVALID_HANDLE_VALUE while closed; the SCSI test's target too

int Ieee1394PortList(PortName* list);  // the device names that may be 1394 printers
int Ieee1394Dialog(HWND owner);         // 1 when the port was opened
int Ieee1394Open();
void Ieee1394Close();
