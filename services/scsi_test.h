// The SCSI command test: requests through the platform's SCSI port interface to the
// printer the IEEE1394 driver holds open, answered in the terminal log.
#pragma once
#include <windows.h>
#include "services/scsi_report.h"

enum ScsiTestChoice { SCSI_NONE = 0, SCSI_INQUIRY = 1, SCSI_CAPABILITIES = 2, SCSI_PASS_THROUGH_SERIES = 3,
                      SCSI_DIRECT_SERIES = 4 };

// The dialog, then the chosen test on the IEEE1394 device.
void ScsiCommandTest(HWND owner);
// The lines go to the terminal log, or into `into` when given.
void RunScsiTest(int choice, HANDLE device, ReportLines* into = NULL);
