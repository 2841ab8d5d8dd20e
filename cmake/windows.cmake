# The Win32 program, its test program and the simulated printer for Windows.
add_compile_options(-Wall -Wextra -O2)
add_compile_definitions(WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501 WINVER=0x0501)
set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static -static-libgcc -static-libstdc++")
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
enable_language(RC)

set(win_libs comctl32 comdlg32 gdi32 user32 shell32 wsock32 ws2_32 winmm winspool)
add_library(tarvex_core STATIC ${TARVEX_PURE} ${TARVEX_WIN})
target_link_libraries(tarvex_core PUBLIC ${win_libs})
add_library(tarvex_sim STATIC ${TARVEX_SIM} ${TARVEX_SIMWIN})
target_link_libraries(tarvex_sim PUBLIC tarvex_core ws2_32)
add_executable(tarvex-sim sim/main.cpp)
target_link_libraries(tarvex-sim tarvex_sim)

add_executable(Tarvex WIN32 app/main.cpp app/tarvex.rc)
target_link_libraries(Tarvex tarvex_core)
set_target_properties(Tarvex PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

add_subdirectory(${GOOGLETEST_SOURCE} googletest EXCLUDE_FROM_ALL)
file(GLOB win_tests CONFIGURE_DEPENDS tests/win/*.cpp)
add_executable(tarvex_tests ${win_tests} app/tarvex.rc)
target_link_libraries(tarvex_tests tarvex_sim tarvex_core GTest::gtest)
add_dependencies(tarvex_tests Tarvex)
target_compile_definitions(tarvex_tests PRIVATE TARVEX_EXE="Tarvex.exe")

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/bench/send_bench.cpp)
  add_executable(tarvex-bench tests/bench/send_bench.cpp app/tarvex.rc)
  target_link_libraries(tarvex-bench tarvex_sim tarvex_core)
endif()
add_executable(tarvex-bench-ieee1284 tests/bench/ieee1284_bench.cpp app/tarvex.rc)
target_link_libraries(tarvex-bench-ieee1284 tarvex_sim tarvex_core)

add_executable(tarvex-rs232c-bench tests/bench/rs232c_bench.cpp tests/win/rs232c_far_end.cpp app/tarvex.rc)
target_link_libraries(tarvex-rs232c-bench tarvex_sim tarvex_core)

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/bench/usb_bench.cpp)
  add_executable(tarvex-usb-bench tests/bench/usb_bench.cpp app/tarvex.rc)
  target_link_libraries(tarvex-usb-bench tarvex_sim tarvex_core)
endif()

add_executable(tarvex-display-bench tests/bench/display_bench.cpp app/tarvex.rc)
target_link_libraries(tarvex-display-bench tarvex_sim tarvex_core)

add_executable(tarvex-receive-bench tests/bench/receive_bench.cpp tests/win/rs232c_far_end.cpp app/tarvex.rc)
target_link_libraries(tarvex-receive-bench tarvex_sim tarvex_core)

include(GoogleTest)
gtest_discover_tests(tarvex_tests DISCOVERY_TIMEOUT 120
  PROPERTIES RUN_SERIAL TRUE TIMEOUT 120)
