# Cross build for 64-bit ARM (Debian's arm64) on an amd64 Debian, with Debian's own arm64
# libraries installed beside the amd64 ones (multiarch), scripts/cross-arm64 says which.
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# The compiler's target, aarch64-linux-gnu, is also CMake's library architecture: packages are
# found in /usr/lib/aarch64-linux-gnu/cmake, libraries in /usr/lib/aarch64-linux-gnu.
set(PKG_CONFIG_EXECUTABLE aarch64-linux-gnu-pkg-config CACHE FILEPATH "pkg-config for arm64")

# Qt's moc, uic and rcc run on the build machine: the amd64 ones (qt6-base-dev-tools) and
# the amd64 Qt's package files for them.
set(QT_HOST_PATH /usr CACHE PATH "Qt for the build machine")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "Qt for the build machine, its CMake packages")

# Target programs run through user-mode emulation: the tests (ctest prefixes it), the
# Alarm.wav generator (a custom command prefixes it), and the programs the tests start
# themselves (tests/support/TargetProgram.h). Libraries come from the multiarch root "/":
# an arm64 sysroot such as /usr/aarch64-linux-gnu there makes every dynamic program hang at
# its first thread once libc6:arm64 is installed.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-aarch64 -L /)

# The Debian package is for arm64, whatever the machine that packs it.
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
