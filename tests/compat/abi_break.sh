#!/bin/sh
# Shows that `make abi-check` refuses an ABI break the version does not
# announce: on a copy of the tree (build/ left out) in which SshcMsgDef_FileTrans
# gains a member at its end, inside its tail padding (the record stays 32
# bytes, so its size check still passes) and its row the member's name (a
# member left out of its row does not compile), the check must fail, naming
# the insertion and saying to raise the major version; with the version raised
# to 2.0.0 it must pass, the break announced.
set -eu
cd "$(dirname "$0")/../.."
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
tar --exclude=./build --exclude=./.git -cf - . | tar -xf - -C "$copy"
fail() { cat "$copy/out"; echo "abi_break: $1"; exit 1; }
# FileTrans is the header's first record; its last member is the first field3.
sed -i '0,/^    uint32_t field3;.*$/s//&\n    uint32_t appended;/' "$copy/include/ssh_msg_def/sshc_msg_def.h"
sed -i '0,/field0, field1, field2, field3)/s//field0, field1, field2, field3, appended)/' "$copy/src/sshc/messages.h"
! make -C "$copy" abi-check >"$copy/out" 2>&1 || fail "make abi-check passed a record with a member appended"
grep -F "'uint32_t appended', at offset 224 (in bits)" "$copy/out" && grep -F "raise the major version" "$copy/out" ||
    fail "the report names no appended member or no remedy"
sed -i 's/^project(ssh_msg_def VERSION [0-9.]*/project(ssh_msg_def VERSION 2.0.0/' "$copy/CMakeLists.txt"
make -C "$copy" abi-check >"$copy/out" 2>&1 && grep -F "announced by the soname libssh_msg_def.so.2" "$copy/out" ||
    fail "2.0.0 still refused"
echo "abi_break: a member appended is refused, and passes once the major version is raised"
