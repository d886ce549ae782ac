# The browser build (cmake --preset web, cmake/emscripten.cmake), included by
# the top CMakeLists.txt after the portable libraries: the reference device
# with its vector kernels on Highway's static wasm target and its workers as
# WebAssembly threads, and the portable unit tests, each a page run in
# headless Chromium (tests/web/). The Linux stand-ins, hosts and benchmarks
# are left out.

# Headers copied into the build's own include folder: -I/usr/include would
# bring the host's C library headers in front of emscripten's. Highway's
# library (x86 only) is not needed: one target means static dispatch.
set(_web_include ${CMAKE_BINARY_DIR}/include)
file(COPY /usr/include/hwy DESTINATION ${_web_include})
add_library(hwy::hwy INTERFACE IMPORTED)
target_include_directories(hwy::hwy SYSTEM INTERFACE ${_web_include})
# Threads the page starts with the program, so that the device's workers (and
# the tests' threads) start without waiting for the browser to load a worker.
set(QUILLON_WEB_THREAD_POOL 8 CACHE STRING "WebAssembly threads started with the page")
# What every program of the page needs: memory that grows (the frame
# buffers, the tests' scenes; only JavaScript's views of it get slower with
# threads, which the programs barely use) and stacks as deep as the
# rasterizer's.
add_link_options(-Wno-pthreads-mem-growth -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=64MB -sMAXIMUM_MEMORY=2GB
                 -sDEFAULT_PTHREAD_STACK_SIZE=1MB
                 -sPTHREAD_POOL_SIZE=${QUILLON_WEB_THREAD_POOL} -sENVIRONMENT=web,worker)

add_library(quillon_scene STATIC)
target_link_libraries(quillon_scene PUBLIC quillon_runtime quillon_d3dx)
add_library(quillon_d3dfront STATIC)
target_link_libraries(quillon_d3dfront PUBLIC quillon_runtime quillon_d3dx quillon_formats)
add_library(quillon_refdevice STATIC)
target_link_libraries(quillon_refdevice PUBLIC quillon_d3dfront quillon_runtime quillon_d3dx
                      quillon_formats quillon_math PRIVATE hwy::hwy)
# The scenes on the reference device only: the browser has no OpenGL device.
add_library(quillon_replay STATIC ${PROJECT_SOURCE_DIR}/replay/ref_replay.cpp
            ${PROJECT_SOURCE_DIR}/replay/image_agreement.cpp)
target_link_libraries(quillon_replay PUBLIC quillon_refdevice quillon_scene quillon_pictures)
# What every host offers beyond the platform's interfaces (the shell).
add_library(quillon_hostcommon STATIC)
target_link_libraries(quillon_hostcommon PUBLIC quillon_runtime quillon_d3dx quillon_scene
                      quillon_picture_files)
# The page's host: the program's system in a browser tab.
add_library(quillon_webhost STATIC)
target_include_directories(quillon_webhost PUBLIC ${QUILLON_INCLUDE})
add_library(quillon_testplatform STATIC)
target_link_libraries(quillon_testplatform PUBLIC quillon_d3dfront quillon_runtime quillon_d3dx
                      quillon_formats)

# GoogleTest from Debian's sources, built with the rest.
find_program(QUILLON_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
set(QUILLON_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources (Debian's googletest)")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${QUILLON_GTEST_SOURCE} googletest EXCLUDE_FROM_ALL SYSTEM)
enable_testing()

add_library(quillon_program_harness STATIC tests/harness/program_platform.cpp)
target_link_libraries(quillon_program_harness PUBLIC quillon_program quillon_testplatform
                      GTest::gtest)

# quillon_web_test(NAME): the test program NAME as a page's script, its main
# on a thread of its own (the tests block, which the page's thread may not),
# run in headless Chromium by tests/web/run_page.py.
function(quillon_web_program name)
  target_link_options(${name} PRIVATE -sPROXY_TO_PTHREAD=1 -sEXIT_RUNTIME=1)
endfunction()
function(quillon_web_test name)
  quillon_web_program(${name})
  # Linked without binaryen's slow whole-program passes: the objects are
  # optimised already, and the links were most of the build's time.
  target_link_options(${name} PRIVATE -O1)
  add_test(NAME web.${name}
           COMMAND ${QUILLON_PYTHON} ${PROJECT_SOURCE_DIR}/tests/web/run_page.py
                   $<TARGET_FILE:${name}> ${ARGN})
  set_tests_properties(web.${name} PROPERTIES TIMEOUT 600)
endfunction()

# Left out in the browser: tests of what its in-memory files do not have
# (FIFOs, symbolic links planted by another writer, /proc/self/fd, locks
# between programs, a child process under a file size limit).
set(QUILLON_WEB_TEST_ARGS_runtime_tests "--gtest_filter=-TextFilesTest.AtMost511FilesAreOpenAtOnceAndClosedHoldNoDescriptor:TextFilesTest.RefusesMissingFoldersLinksAndFifos:TextFilesTest.ASecondWriterIsRefusedAndTheFirstOnesLinesStay:TextFilesTest.ALineIsWrittenWholeOrNotAtAllWhenTheDiskFills")
set(QUILLON_WEB_TEST_ARGS_scene_tests "--gtest_filter=-SceneFiles.MalformedLinesAreRefusedWithTheirLineNumber:SceneWriter.FailedFilesSayWhyAndAreRemoved")
# (and a key script of 2 GiB, more than the page's memory holds)
set(QUILLON_WEB_TEST_ARGS_hostcommon_tests "--gtest_filter=-KeyScript.RefusesDirectoriesEndlessHugeAndMissingFiles")
set(QUILLON_WEB_TEST_ARGS_pictures_tests "--gtest_filter=-PictureFiles.KeepsTheOldFileAndNeverOpensWhatIsPlanted")

add_subdirectory(formats)
add_subdirectory(math)
add_subdirectory(presentation)
add_subdirectory(pictures)
add_subdirectory(runtime)
add_subdirectory(d3dx)
add_subdirectory(app)
add_subdirectory(graphics)
add_subdirectory(input)
add_subdirectory(timing)
add_subdirectory(scene)
add_subdirectory(d3dfront)
add_subdirectory(refdevice)
add_subdirectory(testplatform)
add_subdirectory(hostcommon)
add_subdirectory(webhost)
# Highway's target list for the tests that go through every target, over the
# one static target.
foreach(_tests refdevice_tests pictures_tests)
  if(TARGET ${_tests})
    target_sources(${_tests} PRIVATE ${PROJECT_SOURCE_DIR}/tests/web/hwy_targets.cpp)
  endif()
endforeach()

# The cloud's frame time, to set beside the Linux build's:
#   tests/web/run_page.py build/web/bench/cloud_frame_time.js THREADS FRAMES
add_executable(cloud_frame_time bench/cloud_frame_time.cpp)
set_target_properties(cloud_frame_time PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
target_link_libraries(cloud_frame_time PRIVATE quillon_refdevice quillon_scene)
quillon_web_program(cloud_frame_time)
