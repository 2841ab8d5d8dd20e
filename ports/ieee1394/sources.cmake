# Pure units (no windows.h), Win32 units and simulated-printer units of this folder.
set(ports_ieee1394_PURE ieee1394_pure.cpp)
set(ports_ieee1394_WIN driver.cpp dialog.cpp)
set(ports_ieee1394_SIM)
