# Shared part of the cross toolchains: the including file sets
# SSH_MSG_DEF_TRIPLE, SSH_MSG_DEF_QEMU and SSH_MSG_DEF_ELF_MACHINE (the machine
# that tests/CMakeLists.txt expects in the shared library's ELF header).
set(CMAKE_SYSTEM_NAME Linux)
string(REGEX REPLACE "-.*" "" CMAKE_SYSTEM_PROCESSOR ${SSH_MSG_DEF_TRIPLE})

set(CMAKE_C_COMPILER ${SSH_MSG_DEF_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${SSH_MSG_DEF_TRIPLE}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${SSH_MSG_DEF_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(SSH_MSG_DEF_QEMU_PATH ${SSH_MSG_DEF_QEMU} REQUIRED)
# The target's libraries come from the cross toolchain's folder first, also
# where the target's own run-time packages are installed beside it (multiarch,
# as `make deb DEB_ARCH=arm64` installs them): their C library would not match
# the toolchain's loader.
set(CMAKE_CROSSCOMPILING_EMULATOR ${SSH_MSG_DEF_QEMU_PATH} -L /usr/${SSH_MSG_DEF_TRIPLE}
    -E LD_LIBRARY_PATH=/usr/${SSH_MSG_DEF_TRIPLE}/lib)
