# The libraries the ARM builds' window and its test host link that the cross
# toolchain lacks (X11, XTEST, cairo, libsndfile): Debian's packages for the target
# architecture with all they depend on, fetched once and unpacked, not installed,
# into the build tree when the build is configured. Installed beside the build
# machine's own as multiarch packages, each would have to carry the very version
# of its amd64 twin, which fails whenever the mirror's index of one architecture
# lags behind another's.
if(BREVANDER_LINUX_TRIPLET STREQUAL "aarch64-linux-gnu")
  set(target_arch arm64)
else()
  set(target_arch armhf)
endif()
set(BREVANDER_TARGET_LIBS ${PROJECT_BINARY_DIR}/target-libs)
execute_process(
  COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/fetch-arm-host.sh ${target_arch} ${BREVANDER_TARGET_LIBS}
          libcairo2-dev libx11-dev libxtst-dev libsndfile1-dev
  RESULT_VARIABLE fetched)
if(NOT fetched EQUAL 0)
  message(FATAL_ERROR "The ${target_arch} X11 and cairo packages could not be fetched (see above); "
                      "configure with -DBREVANDER_LV2_UI=OFF to build without the plug-in's window.")
endif()

# pkg-config reads the target's descriptions and prefixes their folders with the
# unpacked tree; find_library looks there beside the toolchain's own folder. The
# X protocol headers belong to no architecture, so the fetch leaves them out: they
# are the build machine's (libx11-dev brings them), in /usr/include, which Debian's
# cross compilers search last.
set(ENV{PKG_CONFIG_LIBDIR} "${BREVANDER_TARGET_LIBS}/usr/lib/${BREVANDER_LINUX_TRIPLET}/pkgconfig:${BREVANDER_TARGET_LIBS}/usr/share/pkgconfig:/usr/share/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} ${BREVANDER_TARGET_LIBS})
list(APPEND CMAKE_FIND_ROOT_PATH ${BREVANDER_TARGET_LIBS})
# Nothing built points the loader at the build tree: hosts load the window from the
# target's own folders, and the emulated tests take the tree as their root.
set(CMAKE_SKIP_BUILD_RPATH ON)
# The linker follows libcairo's and libX11's own dependencies there too.
set(target_lib_dirs ${BREVANDER_TARGET_LIBS}/usr/lib/${BREVANDER_LINUX_TRIPLET} ${BREVANDER_TARGET_LIBS}/lib/${BREVANDER_LINUX_TRIPLET})
list(TRANSFORM target_lib_dirs PREPEND -Wl,-rpath-link, OUTPUT_VARIABLE BREVANDER_TARGET_LINK_OPTIONS)
