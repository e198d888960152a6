#!/bin/sh
# Shows that `make abi-check` refuses an ABI break the version does not
# announce: on a copy of the tree (build/ left out) in which SshcMsgDef_FileTrans
# gains a member at its end, inside its tail padding (the record stays 32
# bytes, so its size check still passes), the check must fail, naming the
# insertion and saying to raise the major version; with the version raised to
# 2.0.0 it must pass, the break announced.
set -eu
cd "$(dirname "$0")/../.."
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
tar --exclude=./build --exclude=./.git -cf - . | tar -xf - -C "$copy"
header=$copy/include/ssh_msg_def/sshc_msg_def.h
# FileTrans is the header's first record; its last member is the first field3.
sed -i '0,/^    uint32_t field3;.*$/s//&\n    uint32_t appended;/' "$header"
[ "$(grep -c '^    uint32_t appended;' "$header")" = 1 ] || { echo "abi_break: no record to append to"; exit 1; }
if make -C "$copy" abi-check >"$copy/out" 2>&1; then
    cat "$copy/out"; echo "abi_break: make abi-check passed a record with a member appended"; exit 1
fi
for text in "'uint32_t appended', at offset 224 (in bits)" "ABI break" "raise the major version"; do
    grep -qF "$text" "$copy/out" || { cat "$copy/out"; echo "abi_break: no \"$text\" in the report"; exit 1; }
done
grep -E "data member insertion|appended|ABI break" "$copy/out"
echo "abi_break: make abi-check refuses a member appended to SshcMsgDef_FileTrans"
# With the major version raised, the soname announces the break: the check passes.
sed -i 's/^project(ssh_msg_def VERSION [0-9.]*/project(ssh_msg_def VERSION 2.0.0/' "$copy/CMakeLists.txt"
make -C "$copy" abi-check >"$copy/out" 2>&1 || { cat "$copy/out"; echo "abi_break: 2.0.0 still refused"; exit 1; }
grep -F "announced by the soname libssh_msg_def.so.2" "$copy/out"
