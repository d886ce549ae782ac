# Builds for the browser with Debian's emscripten: WebAssembly with its SIMD
# instructions (Highway's static wasm target) and its threads (the reference
# device's workers), everything from Debian's packages, nothing fetched.
#
# emcc runs on Debian's python3 and its optimiser on Debian's node modules:
# the presets put /usr/bin first on PATH and set NODE_PATH for the build and
# the tests; the same is set here for CMake's own checks at configure time.
set(ENV{PATH} "/usr/bin:$ENV{PATH}")
set(ENV{NODE_PATH} /usr/share/nodejs)
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# Every object is built for shared memory (or threads cannot link) and with
# exceptions caught (the program and the runtime throw and catch its errors).
# They are emscripten's, through JavaScript: its compiler (LLVM 14) with
# threads on gives WebAssembly's own exception instructions no catch clause
# that matches, every exception reaching catch (...) alone.
set(CMAKE_C_FLAGS_INIT "-msimd128 -pthread -fexceptions")
# Its C++ library lacks a few C++20 pieces the sources use: they are added
# before every file.
set(CMAKE_CXX_FLAGS_INIT
    "-msimd128 -pthread -fexceptions -include ${CMAKE_CURRENT_LIST_DIR}/emscripten_libcxx.h")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-msimd128 -pthread -fexceptions")
