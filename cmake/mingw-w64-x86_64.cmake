# Windows x86_64. The -posix compilers carry the thread support GoogleTest
# needs; the product executables link the win32 thread model's runtime instead
# (cmake/windows-product.cmake). Everything links statically, so the
# executables import Windows' own DLLs only.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VANTREL_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
