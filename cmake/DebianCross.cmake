# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# Toolchain file for cross builds with Debian's cross compilers, the
# target's libraries from its multiarch packages, and its programs run
# under qemu-user (scripts/install-deps.sh cross installs all of it):
#
#   cmake -S . -B build/cross-armhf --toolchain cmake/DebianCross.cmake -DZELP_CROSS_ARCH=armhf
#
# ZELP_CROSS_ARCH is a Debian architecture: arm64 or armhf.
set(ZELP_CROSS_ARCH "${ZELP_CROSS_ARCH}" CACHE STRING "Debian architecture to build for (arm64, armhf)")
# try_compile projects read this file again and need the architecture too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZELP_CROSS_ARCH)

if(ZELP_CROSS_ARCH STREQUAL "arm64")
  set(CMAKE_SYSTEM_PROCESSOR aarch64)
  set(zelp_triplet aarch64-linux-gnu)
  set(zelp_qemu qemu-aarch64-static)
elseif(ZELP_CROSS_ARCH STREQUAL "armhf")
  set(CMAKE_SYSTEM_PROCESSOR arm)
  set(zelp_triplet arm-linux-gnueabihf)
  set(zelp_qemu qemu-arm-static)
else()
  message(FATAL_ERROR "ZELP_CROSS_ARCH must be arm64 or armhf, not '${ZELP_CROSS_ARCH}'")
endif()

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${zelp_triplet}-gcc)
set(CMAKE_CXX_COMPILER ${zelp_triplet}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${zelp_triplet})

# Libraries (and gtest's CMake files) come from the target's multiarch
# folder /usr/lib/<triplet>, which CMake searches first; headers are
# shared; programs (ppdc, cups-config, cupstestppd) are the build
# machine's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${zelp_triplet}/pkgconfig:/usr/share/pkgconfig)

# Target programs (tests, test discovery) run under qemu-user; the target's
# loader and libraries are found in their multiarch folders.
find_program(ZELP_QEMU ${zelp_qemu} REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZELP_QEMU})
