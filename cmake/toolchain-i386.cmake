# Builds vastrid2 for 32-bit x86 on a 64-bit x86 Linux host with g++-multilib:
#   cmake -S . -B build-m32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i386.cmake
# The host runs the 32-bit programs natively, so this is not a cross build and the
# tests run as usual. The installed GoogleTest is 64-bit only, so the tests build
# GoogleTest from its sources (/usr/src/googletest, shipped by libgtest-dev).
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

set(VASTRID2_BUNDLED_GTEST ON CACHE BOOL "Build GoogleTest from its sources")
