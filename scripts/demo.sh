#!/bin/sh
# The library at work in one host process: the messages it carries, their
# registration with the host messaging framework, each of the example records
# sent and received decoded, a batch, one buffer annotated item by item, and a
# corrupted buffer replayed and rejected with the library's own log line and
# the rule that refused it. Every command is printed as it runs. Run by
# `make demo` after the build.
# Usage: scripts/demo.sh BUILD_DIR
set -eu
cd "$(dirname "$0")/.."
bin=$1/tools/sshmsg
PATH=$bin:$PATH
export PATH

step() { printf '\n== %s\n' "$*"; }
show() { printf '$ %s\n' "$1"; sh -c "$1"; }

step "The messages: identifiers, record sizes and members"
show "sshmsg list"

step "Registration, then FileTrans (examples/FileTrans.json) sent with __sendmsg and received decoded"
show "sshmsg send FileTrans examples/FileTrans.json"

step "Every other message the same way, from its example (shown: what the subscriber received)"
for m in $(sshmsg list | awk 'NR > 1 { sub(/^[^_]*_/, "", $1); print $1 }'); do
    [ "$m" = FileTrans ] && continue
    [ -f "examples/$m.json" ] || { echo "no example record for $m: add examples/$m.json"; exit 1; }
    show "sshmsg send $m examples/$m.json | grep '^recv'"
done

step "A batch: the PortList record three times in one __sendtomsg call, target 42"
show "sshmsg send PortList examples/PortList.json --count 3 --target 42"

step "The FileTrans example as it travels, annotated item by item as the decoder reads it"
show "sshmsg encode FileTrans examples/FileTrans.json | sshmsg dump FileTrans"

step "A corrupted buffer: the PortList encoding with its root offset changed from 0x0e to 0xf0, replayed"
status=0
show "sshmsg encode PortList examples/PortList.json --hex | sed 's/^0e/f0/' | sshmsg replay PortList --hex" || status=$?
show "sshmsg encode PortList examples/PortList.json --hex | sed 's/^0e/f0/' | sshmsg decode PortList --hex" || true
echo "exit status of the replay: $status"
[ "$status" -eq 1 ]
