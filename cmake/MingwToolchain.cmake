# Cross build for Windows with MinGW-w64 (posix thread model, so the standard
# library's threads and mutexes are available). The including toolchain file
# sets ZL_MINGW_PROCESSOR and ZL_MINGW_TRIPLE.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ZL_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${ZL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The programs and libraries carry the C and C++ runtimes and the threads
# library inside them: nothing of MinGW needs to be installed beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
