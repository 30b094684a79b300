# Cross build for the camera's CPU class: ARM926EJ-S, ARMv5TE, soft float,
# EABI. Defaults fit Debian's crossbuild-essential-armel; a firmware team
# points CAMNET_CROSS_PREFIX and CAMNET_SYSROOT at its own toolchain (a
# uClibc-ng one, say).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(CAMNET_CROSS_PREFIX "arm-linux-gnueabi-" CACHE STRING "Cross toolchain prefix")
set(CAMNET_SYSROOT "/usr/arm-linux-gnueabi" CACHE PATH "Target root: libraries and loader")

set(CMAKE_C_COMPILER ${CAMNET_CROSS_PREFIX}gcc)
set(CMAKE_CXX_COMPILER ${CAMNET_CROSS_PREFIX}g++)

set(camnet_cpu_flags "-march=armv5te -mtune=arm926ej-s -marm -mfloat-abi=soft")
set(CMAKE_C_FLAGS_INIT "${camnet_cpu_flags}")
set(CMAKE_CXX_FLAGS_INIT "${camnet_cpu_flags}")

set(CMAKE_FIND_ROOT_PATH ${CAMNET_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests built for the camera run on the build machine under user-mode qemu.
find_program(CAMNET_QEMU_ARM qemu-arm)
if(CAMNET_QEMU_ARM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CAMNET_QEMU_ARM} -L ${CAMNET_SYSROOT})
endif()
