# Included by the ARM builds' tests: their LV2 bundle rendered by Debian's ARM
# build of lv2apply under qemu-user must give the bits of the build machine's
# bundle rendered by the build machine's lv2apply. The comparing program reads and
# writes WAV files, so it is built by the build machine's own build, whose tree is
# named here; it has to be built (with this source) before this test runs.
set(BREVANDER_NATIVE_BUILD_DIR ${PROJECT_SOURCE_DIR}/build/linux CACHE PATH
  "The build machine's own build tree, with the LV2 bundle and program the ARM LV2 host test compares against")

if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  set(debian_arch arm64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^arm")
  set(debian_arch armhf)
else()
  return()
endif()
# The emulator that runs this build's test programs, without its own root folder:
# the ARM host brings a root of its own.
list(GET CMAKE_CROSSCOMPILING_EMULATOR 0 qemu)

# Fetched once per build tree and reused by later runs.
set(lv2_host_root ${PROJECT_BINARY_DIR}/lv2-host-${debian_arch})
add_test(NAME lv2_host_${debian_arch}_unpacked
  COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/fetch-arm-host.sh ${debian_arch} ${lv2_host_root})
set_tests_properties(lv2_host_${debian_arch}_unpacked PROPERTIES FIXTURES_SETUP lv2_host_${debian_arch})

# A 32-bit lilv under qemu-user can't list a folder on ext4 (its 64-bit directory
# cookies overflow the 32-bit readdir), so the bundle is copied to tmpfs first.
set(stage_variable)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(stage_variable ";BREVANDER_CROSS_STAGE_DIR=/dev/shm")
endif()

get_filename_component(cross_lv2_path ${BREVANDER_LV2_BUNDLE} DIRECTORY)
set(compare_program ${BREVANDER_NATIVE_BUILD_DIR}/tests/lv2/brevander_lv2_cross_tests)
add_test(NAME lv2_bundle_in_${debian_arch}_lv2apply_matches_x86_64 COMMAND ${compare_program})
set_tests_properties(lv2_bundle_in_${debian_arch}_lv2apply_matches_x86_64 PROPERTIES
  FIXTURES_REQUIRED lv2_host_${debian_arch}
  REQUIRED_FILES ${compare_program}
  ENVIRONMENT "BREVANDER_CROSS_NAME=${debian_arch};BREVANDER_CROSS_LV2_PATH=${cross_lv2_path};BREVANDER_CROSS_EMULATOR=${qemu};BREVANDER_CROSS_SYSROOT=${lv2_host_root};BREVANDER_CROSS_WORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/lv2-cross-work${stage_variable}")

# The descriptions, written by this build's writer under qemu, must be the build
# machine's to the byte.
set(native_bundle ${BREVANDER_NATIVE_BUILD_DIR}/lv2/Brevander.lv2)
add_test(NAME lv2_bundle_${debian_arch}_descriptions_match_x86_64
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/same-bundle-text.sh ${BREVANDER_LV2_BUNDLE} ${native_bundle})
set_tests_properties(lv2_bundle_${debian_arch}_descriptions_match_x86_64 PROPERTIES
  REQUIRED_FILES ${native_bundle}/Brevander.ttl)
