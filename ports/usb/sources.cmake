# Pure units (no windows.h), Win32 units and simulated-printer units of this folder.
set(ports_usb_PURE device_id.cpp access_rules.cpp)
set(ports_usb_WIN access.cpp connect.cpp dialog.cpp transfer.cpp driver.cpp)
set(ports_usb_SIM)
