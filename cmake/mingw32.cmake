# Cross build for 32-bit Windows (i686).
set(ZL_MINGW_PROCESSOR i686)
set(ZL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
