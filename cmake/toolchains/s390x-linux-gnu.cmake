# 64-bit big-endian Linux (glibc) with Debian's cross compilers; test programs
# run under qemu-user with the target's C library from /usr/s390x-linux-gnu.
set(SSH_MSG_DEF_TRIPLE s390x-linux-gnu)
set(SSH_MSG_DEF_QEMU qemu-s390x)
set(SSH_MSG_DEF_ELF_MACHINE "IBM S/390")
include(${CMAKE_CURRENT_LIST_DIR}/linux-gnu-cross.cmake)
