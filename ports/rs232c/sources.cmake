# Pure units (no windows.h), Win32 units and simulated-printer units of this folder.
set(ports_rs232c_PURE line.cpp)
set(ports_rs232c_WIN driver.cpp dialog.cpp port.cpp send.cpp receive.cpp)
set(ports_rs232c_SIM)
