# Pure units (no windows.h), Win32 units and simulated-printer units of this folder.
set(common_PURE)
set(common_WIN state.cpp)
set(common_SIM)
