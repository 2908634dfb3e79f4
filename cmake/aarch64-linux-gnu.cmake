# Cross-building for 64-bit ARM Linux with Debian's aarch64 toolchain
# (g++-aarch64-linux-gnu) against the arm64 packages of a multiarch install
# (dpkg --add-architecture arm64; libavformat-dev:arm64, libgtest-dev:arm64 and
# the rest), as `make test-arm64` does:
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
# The test programs run under qemu-user (qemu-aarch64-static), both when
# gtest_discover_tests lists them and when ctest runs them; the arm64 C library
# of the multiarch install (/lib/ld-linux-aarch64.so.1) loads them, so the
# emulator needs no library prefix.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# pkg-config reads the arm64 .pc files only.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)

find_program(VANTREL_QEMU_AARCH64 NAMES qemu-aarch64-static qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VANTREL_QEMU_AARCH64})
