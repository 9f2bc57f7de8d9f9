# Cross-compiles 32-bit Windows programs with mingw-w64 (the shipped build); runs them under Wine.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(SONAFEED_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
