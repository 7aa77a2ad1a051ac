# The same Windows programs built for x86_64, for hosts whose kernel cannot run
# 32-bit Linux executables and therefore cannot run 32-bit Wine: the tests run
# these builds under wine64. The programs shipped are the 32-bit ones.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(TAVIX_TOOLCHAIN_WINEARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
