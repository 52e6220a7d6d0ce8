# Tests of the Windows builds, the same list for x86-64 and 32-bit x86. They
# run on the build host under wine (wine_run.sh, the toolchain's
# emulator), a display coming from xvfb-run as for the native end-to-end
# tests. Included by CMakeLists.txt.

# GoogleTest built for the target from its sources: the packaged libraries
# are the build host's.
set(OVU_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources, built for the Windows tests")
if(NOT EXISTS ${OVU_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${OVU_GOOGLETEST_SOURCE_DIR}: install googletest or set OVU_GOOGLETEST_SOURCE_DIR")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${OVU_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)
# Discovery runs the test programs, so it waits for ctest rather than the build.
set(discover DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120)

add_executable(core_tests ${OVU_CORE_TEST_SOURCES})
target_link_libraries(core_tests PRIVATE ovu_core GTest::gtest_main)
gtest_discover_tests(core_tests ${discover})

# The runtime stop, file access and the window in this process, and ovu.scr as
# the system starts it; the stop cases run the test program again as a probe.
add_executable(win32_platform_tests win32_platform_test.cpp)
target_link_libraries(win32_platform_tests PRIVATE ovu_window GTest::gtest)
add_dependencies(win32_platform_tests ovu ovu_scr)
gtest_discover_tests(win32_platform_tests ${discover} PROPERTIES RUN_SERIAL TRUE)

# The real program: screenshot, water dump against the native build's,
# failures, keys. Needs xdotool and the native release build's ovu.
set(OVU_REFERENCE_OVU "" CACHE FILEPATH "The native ovu whose water dump the Windows one must equal")
add_test(NAME windows_smoke
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows_smoke.sh ${CMAKE_BINARY_DIR} ${OVU_REFERENCE_OVU})
set_tests_properties(windows_smoke PROPERTIES RUN_SERIAL TRUE TIMEOUT 300)

# The exe must start on a bare Windows: only system DLLs among its imports.
add_test(NAME windows_imports COMMAND ${CMAKE_OBJDUMP} -p $<TARGET_FILE:ovu>)
set_tests_properties(windows_imports PROPERTIES
  PASS_REGULAR_EXPRESSION "DLL Name: OPENGL32\\.[Dd][Ll][Ll]"
  FAIL_REGULAR_EXPRESSION "DLL Name: lib")
