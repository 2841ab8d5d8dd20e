# Pure units (no windows.h), Win32 units and simulated-printer units of this folder.
set(sim_PURE)
set(sim_WIN)
set(sim_SIM printer.cpp net.cpp server.cpp usb_tree.cpp)
