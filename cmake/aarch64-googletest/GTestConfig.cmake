# GoogleTest for the cross build (cmake/aarch64-linux-gnu.cmake): built from
# the source that Debian's libgtest-dev ships in /usr/src/googletest, with
# the same compiler as the tests. Its CMake project defines GTest::gtest and
# GTest::gtest_main, the targets the tests link.
set(brindlet_googletest_source /usr/src/googletest/googletest)
if(NOT EXISTS ${brindlet_googletest_source}/CMakeLists.txt)
  set(GTest_FOUND FALSE)
  set(GTest_NOT_FOUND_MESSAGE "no GoogleTest source in ${brindlet_googletest_source} (Debian package libgtest-dev)")
  return()
endif()
if(NOT TARGET GTest::gtest)
  set(INSTALL_GTEST OFF)
  add_subdirectory(${brindlet_googletest_source} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
set(GTest_FOUND TRUE)
