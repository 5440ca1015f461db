# The board on a real accessibility bus: the program read and heard through
# AT-SPI (at-spi2-core, python3-pyatspi) on X11 and native Wayland.
add_executable(brindlet_a11y_tests ${CMAKE_CURRENT_LIST_DIR}/a11y_test.cpp)
target_link_libraries(brindlet_a11y_tests PRIVATE brindlet_e2e_support GTest::gtest)
add_dependencies(brindlet_a11y_tests brindlet)
add_test(NAME e2e_a11y COMMAND brindlet_a11y_tests $<TARGET_FILE:brindlet> ${PROJECT_SOURCE_DIR}/scripts/a11y-probe)
set_tests_properties(e2e_a11y PROPERTIES LABELS "e2e;a11y" RESOURCE_LOCK xserver TIMEOUT 300 SKIP_RETURN_CODE 77)
