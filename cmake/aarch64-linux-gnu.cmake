# Cross build for 64-bit ARM Linux with Debian's cross compiler
# (g++-aarch64-linux-gnu); the test programs run under QEMU's user-mode
# emulator (qemu-user), which ctest puts in front of each of them. Only the
# Qt-free core and its tests build this way (BRINDLET_BUILD_UI=OFF,
# BRINDLET_BUILD_BENCH=OFF); scripts/cross-aarch64 configures, builds and
# runs them.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(brindlet_target_triple aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${brindlet_target_triple}-gcc)
set(CMAKE_CXX_COMPILER ${brindlet_target_triple}-g++)

# The target's C library and headers live under /usr/aarch64-linux-gnu: look
# for libraries, headers and packages there only, for programs on the host.
set(CMAKE_FIND_ROOT_PATH /usr/${brindlet_target_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs (and gtest_discover_tests, which runs them while building)
# go through the emulator, which loads the target's dynamic loader and
# libraries from the same directory.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/${brindlet_target_triple})

# Debian has no GoogleTest library for the target on this machine, but
# libgtest-dev ships its source: find_package(GTest) finds the package file
# beside this one, which builds that source with the cross compiler.
set(GTest_DIR ${CMAKE_CURRENT_LIST_DIR}/aarch64-googletest CACHE PATH "GoogleTest built from source for the target")
