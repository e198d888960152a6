# 64-bit Arm Linux (glibc) with Debian's cross compilers; test programs run
# under qemu-user with the target's C library from /usr/aarch64-linux-gnu.
set(SSH_MSG_DEF_TRIPLE aarch64-linux-gnu)
set(SSH_MSG_DEF_QEMU qemu-aarch64)
set(SSH_MSG_DEF_ELF_MACHINE AArch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
