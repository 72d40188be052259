# Included by the ARM builds' tests: the window's binary loaded by a test host built
# for the target, under qemu-user, on an Xvfb of the build machine's (which the
# emulated host starts as it starts it natively). The band table is compared with
# the build machine's own tool, so the ARM window must print the x86-64 tool's
# digits. The 200 openings under the sanitizers stay with the native build.
find_package(PkgConfig REQUIRED)
pkg_check_modules(UI_TEST_X REQUIRED IMPORTED_TARGET x11 xtst cairo)
find_library(SNDFILE_LIBRARY sndfile REQUIRED)
find_program(XVFB Xvfb REQUIRED)
set(ui_screens ${CMAKE_CURRENT_BINARY_DIR}/ui-screens)
file(MAKE_DIRECTORY ${ui_screens})
set(ui_tests_dir ${PROJECT_SOURCE_DIR}/tests/lv2)
add_executable(brevander_lv2_ui_tests ${ui_tests_dir}/ui/UiTestHost.cpp ${ui_tests_dir}/ui/UiWindowTest.cpp
  ${ui_tests_dir}/FloatWav.cpp ${ui_tests_dir}/TestSignal.cpp)
target_include_directories(brevander_lv2_ui_tests PRIVATE
  ${PROJECT_SOURCE_DIR}/tests ${ui_tests_dir} ${PROJECT_SOURCE_DIR}/lv2/ui)
target_link_libraries(brevander_lv2_ui_tests PRIVATE
  brevander_lv2_binding PkgConfig::UI_TEST_X ${SNDFILE_LIBRARY} ${CMAKE_DL_LIBS} brevander_build_flags GTest::gtest_main)
set(native_tool ${BREVANDER_NATIVE_BUILD_DIR}/brevander)
target_compile_definitions(brevander_lv2_ui_tests PRIVATE
  BREVANDER_LV2_UI_BINARY="$<TARGET_FILE:brevander_lv2_ui>"
  BREVANDER_UI_SCREENS="${ui_screens}"
  BREVANDER_TOOL="${native_tool}")
add_dependencies(brevander_lv2_ui_tests brevander_lv2_ui)
# The emulator takes the unpacked packages as its root, their C library and loader
# included: the toolchain's loader beside Debian's C library hangs a forked child.
set(emulator ${CMAKE_CROSSCOMPILING_EMULATOR})
list(FIND emulator -L root_option)
math(EXPR root_option "${root_option} + 1")
list(REMOVE_AT emulator ${root_option})
list(INSERT emulator ${root_option} ${BREVANDER_TARGET_LIBS})
add_test(NAME lv2_ui_window_under_emulation COMMAND ${emulator} $<TARGET_FILE:brevander_lv2_ui_tests> --gtest_brief=1)
set_tests_properties(lv2_ui_window_under_emulation PROPERTIES REQUIRED_FILES ${native_tool} TIMEOUT 900)
