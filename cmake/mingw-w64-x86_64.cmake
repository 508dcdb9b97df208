# Cross build of the three programs for Windows with mingw-w64 (x86_64).
#   cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# Static executables (no runtime DLLs to ship), wide entry point (-municode),
# optimised for size.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CE_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${CE_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${CE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CE_BACKEND win32 CACHE STRING "platform backend: posix or win32")
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE MinSizeRel CACHE STRING "build type")
endif()

# Unicode Windows headers everywhere; the wide W calls are the only ones used.
set(CMAKE_C_FLAGS_INIT "-DUNICODE -D_UNICODE -ffunction-sections")
set(CMAKE_CXX_FLAGS_INIT "-DUNICODE -D_UNICODE -ffunction-sections")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -municode -mwindows -Wl,--gc-sections -s")

# The compiler checks link no program: every program here has wWinMain.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
