# Pure units (no windows.h), Win32 units and simulated-printer units of this folder.
set(services_PURE scsi_report.cpp)
set(services_WIN scsi_test.cpp)
set(services_SIM)
