# Pure units (no windows.h), Win32 units and simulated-printer units of this folder.
set(ports_tcpip_PURE)
set(ports_tcpip_WIN)
set(ports_tcpip_SIM)
