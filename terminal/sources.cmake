# Pure units (no windows.h), Win32 units and simulated-printer units of this folder.
set(terminal_PURE render.cpp pjl_check.cpp log_join.cpp)
set(terminal_WIN log.cpp display_setup.cpp capture.cpp clipboard.cpp)
set(terminal_SIM)
