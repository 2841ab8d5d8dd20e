# Pure units (no windows.h), Win32 units and simulated-printer units of this folder.
set(app_PURE)
set(app_WIN settings.cpp ui.cpp app.cpp commands.cpp connection.cpp drivers.cpp select_if.cpp)
set(app_SIM)
