# The programs and libraries carry the C and C++ runtimes and the threads
# library inside them: nothing of MinGW needs to be installed beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
