# Pure units (no windows.h), Win32 units and simulated-printer units of this folder.
set(services_PURE scsi_report.cpp usb_descriptor.cpp usb_walk.cpp mib_codec.cpp mib_filter.cpp mib_cycle.cpp vendor_request.cpp)
set(services_WIN scsi_test.cpp usb_report.cpp vendor.cpp mib_dialog.cpp)
set(services_SIM)
