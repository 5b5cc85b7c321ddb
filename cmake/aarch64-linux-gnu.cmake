# Cross build for 64-bit ARM Linux with Debian's g++-aarch64-linux-gnu; the
# programs and tests run under qemu-user (qemu-aarch64), with the ARM
# system libraries of /usr/aarch64-linux-gnu.
#
#   cmake -S . -B build-arm64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(lumetra_target aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${lumetra_target}-gcc)
set(CMAKE_CXX_COMPILER ${lumetra_target}-g++)

# Libraries and headers only from the target's root; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${lumetra_target})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config sees the target's packages only, not the host's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${lumetra_target}/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# No binfmt_misc needed: every program of the build is started through the
# emulator (ctest, test discovery, and the tests' own child programs).
find_program(LUMETRA_QEMU NAMES qemu-aarch64 qemu-aarch64-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${LUMETRA_QEMU} -L /usr/${lumetra_target})
