# Pure units (no windows.h), Win32 units and simulated-printer units of this folder.
set(ports_tcpip_PURE)
set(ports_tcpip_WIN driver.cpp dialog.cpp connect.cpp events.cpp send.cpp receive.cpp job.cpp)
set(ports_tcpip_SIM)
