# The Windows build's tests (included by cmake/windows.cmake): the unit tests
# of the shared folders and of the program over the recording platform,
# cross-compiled with GoogleTest built from Debian's source package, and the
# end-to-end scripts (tests/windows/), all run under Wine on one private X
# server with one Wine prefix made fresh in the build folder.
set(QUILLON_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources (Debian's googletest)")
if(NOT EXISTS ${QUILLON_GTEST_SOURCE}/CMakeLists.txt)
  message(STATUS "No GoogleTest sources at ${QUILLON_GTEST_SOURCE}: no Windows tests")
  return()
endif()
set(QUILLON_WINDOWS_TESTS ON)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${QUILLON_GTEST_SOURCE} googletest EXCLUDE_FROM_ALL SYSTEM)

enable_testing()
# Every test program runs through Wine, in the prefix the fixture makes.
find_program(WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE})
set(_wine_env WINEPREFIX=${CMAKE_BINARY_DIR}/test-prefix WINEDEBUG=-all
              "WINEDLLOVERRIDES=mscoree,mshtml=")

add_library(quillon_testplatform STATIC)
target_link_libraries(quillon_testplatform PUBLIC quillon_d3dfront quillon_runtime quillon_d3dx
                      quillon_formats)
add_library(quillon_program_harness STATIC tests/harness/program_platform.cpp)
target_link_libraries(quillon_program_harness PUBLIC quillon_program quillon_testplatform
                      GTest::gtest)
add_subdirectory(testplatform)
# The reference device's thread pool over mingw's threads and atomics.
add_executable(thread_pool_tests refdevice/raster/thread_pool_test.cpp)
target_link_libraries(thread_pool_tests PRIVATE quillon_refdevice GTest::gtest GTest::gtest_main)
add_test(NAME windows.thread_pool_tests COMMAND thread_pool_tests)
set_tests_properties(windows.thread_pool_tests PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120
                     ENVIRONMENT "${_wine_env}")

# The fixture: a fresh prefix and one X server of 640x480 (full screen needs
# that mode on the screen), both ended after the last test.
set(_run bash ${PROJECT_SOURCE_DIR}/tests/windows/session.sh ${CMAKE_BINARY_DIR})
add_test(NAME windows.session_start COMMAND ${_run} start)
add_test(NAME windows.session_end COMMAND ${_run} end)
set_tests_properties(windows.session_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 180)
set_tests_properties(windows.session_end PROPERTIES FIXTURES_CLEANUP wine)
# The system's part at a session's end, for windows.log_off.
add_executable(end_session_now tests/windows/end_session_now.cpp)
# The end-to-end scripts: one at a time, as they share the screen. They take
# the Linux build's program and picture tool from the default preset's build.
foreach(_script scripted_captures reference_device real_keys no_direct3d hostile_log log_off presentation)
  add_test(NAME windows.${_script}
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/${_script}.sh)
  set_tests_properties(windows.${_script} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK screen
    TIMEOUT 300 SKIP_RETURN_CODE 77 ENVIRONMENT "QUILLON_EXE=$<TARGET_FILE:quillon>;END_SESSION_NOW=$<TARGET_FILE:end_session_now>;BUILD_DIR=${CMAKE_BINARY_DIR};QUILLON_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endforeach()

# The icon and version resources, read from the file as Explorer reads them.
add_test(NAME windows.resources COMMAND bash ${PROJECT_SOURCE_DIR}/tests/windows/resources.sh
         $<TARGET_FILE:quillon> ${PROJECT_VERSION})
