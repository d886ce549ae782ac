# The Windows build, included by the top CMakeLists.txt when cross-compiling
# (cmake --preset windows), after the portable libraries: D3DX 8 over the
# real device, and the Windows host (winhost/), with the tests that
# run under Wine (cmake/windows_tests.cmake). The Linux stand-ins, their
# tests, benchmarks and fuzzing are left out.
# What both hosts offer beyond the platform's interfaces (key scripts, their
# captures, the settings, the host's log, the trace), with the pieces of the
# scene format it reads key scripts and writes traces by.
add_library(quillon_hostcommon STATIC ${PROJECT_SOURCE_DIR}/scene/user_files.cpp
            ${PROJECT_SOURCE_DIR}/scene/writer.cpp ${PROJECT_SOURCE_DIR}/scene/format.cpp)
target_link_libraries(quillon_hostcommon PUBLIC quillon_runtime quillon_d3dx quillon_formats
                      quillon_picture_files)
# The Windows host: the system's windows, Direct3D 8 (d3d8.dll, loaded at run
# time: there is no import library for it) and DirectInput 8.
add_library(quillon_winhost STATIC)
target_link_libraries(quillon_winhost PUBLIC quillon_hostcommon quillon_runtime quillon_d3dx dinput8 dxguid
                      user32 gdi32)

include(cmake/windows_tests.cmake)
add_subdirectory(formats)
add_subdirectory(math)
add_subdirectory(presentation)
add_subdirectory(pictures)
add_subdirectory(runtime)
add_subdirectory(hostcommon)
add_subdirectory(d3dx)
add_subdirectory(app)
add_subdirectory(graphics)
add_subdirectory(input)
add_subdirectory(timing)
add_subdirectory(winhost)

# The icon from the Linux window's picture, at the sizes Explorer shows, and
# the version resource, both compiled into the program by windres.
enable_language(RC)
find_program(QUILLON_CONVERT convert REQUIRED)
set(QUILLON_ICO ${CMAKE_BINARY_DIR}/quillon.ico)
add_custom_command(OUTPUT ${QUILLON_ICO}
  COMMAND ${QUILLON_CONVERT} ${PROJECT_SOURCE_DIR}/packaging/quillon.png
          -define icon:auto-resize=128,64,48,32,16 ${QUILLON_ICO}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/quillon.png VERBATIM)
configure_file(winhost/quillon.rc.in ${CMAKE_BINARY_DIR}/quillon.rc @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/quillon.rc PROPERTIES OBJECT_DEPENDS ${QUILLON_ICO})

# A GUI-subsystem program: no console window opens with it.
add_executable(quillon WIN32 main/quillon_windows.cpp ${CMAKE_BINARY_DIR}/quillon.rc)
target_link_libraries(quillon PRIVATE quillon_program quillon_winhost)

install(TARGETS quillon RUNTIME DESTINATION .)
install(FILES README.md LICENSE DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_FILE_NAME quillon-${PROJECT_VERSION}-windows-x64)
include(CPack)
