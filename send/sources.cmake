# Pure units (no windows.h), Win32 units and simulated-printer units of this folder.
set(send_PURE escape.cpp fkey_file.cpp list_file.cpp)
set(send_WIN driver.cpp frame.cpp receive.cpp held_read.cpp job_life.cpp engine.cpp block_dialog.cpp direct_send.cpp keyboard.cpp function_keys.cpp)
set(send_SIM)
