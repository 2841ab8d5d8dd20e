# Pure units (no windows.h), Win32 units and simulated-printer units of this folder.
set(ports_ieee1284_PURE setup_file.cpp device_id.cpp)
set(ports_ieee1284_WIN driver.cpp dialog.cpp io.cpp setup.cpp)
set(ports_ieee1284_SIM)
# The sample setup file sits beside the programs, where the tests install it from.
configure_file(${CMAKE_CURRENT_LIST_DIR}/Kelvane.dat ${CMAKE_BINARY_DIR}/Kelvane.dat COPYONLY)
