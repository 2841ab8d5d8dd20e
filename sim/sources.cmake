# Pure units (no windows.h), Win32 units and simulated-printer units of this folder; the
# simulator's Win32 units (device host and bus) are built for Windows only.
set(sim_PURE control.cpp)
set(sim_WIN)
set(sim_SIM printer.cpp job_log.cpp net.cpp server.cpp serial.cpp parallel.cpp scsi.cpp usb_printer.cpp usb_tree.cpp)
set(sim_SIMWIN device_host.cpp bus.cpp usb_tree_host.cpp devices.cpp)
