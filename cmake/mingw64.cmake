# Cross build for 64-bit Windows.
set(ZL_MINGW_PROCESSOR x86_64)
set(ZL_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
