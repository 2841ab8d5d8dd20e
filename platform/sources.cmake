# Pure units (no windows.h), Win32 units and simulated-printer units of this folder.
set(platform_PURE)
set(platform_WIN alloc.cpp device.cpp)
set(platform_SIM)
