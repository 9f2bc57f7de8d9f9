# Cross-compiles 64-bit Windows programs with mingw-w64, for hosts whose kernel runs no 32-bit
# code (there only 64-bit Wine works); the shipped program is the 32-bit build.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(SONAFEED_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
