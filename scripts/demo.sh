#!/bin/sh
# The library at work in one host process: the messages it carries, their
# registration with the host messaging framework, each of the seven example
# records sent and received decoded, a batch, one buffer annotated item by item,
# and a corrupted buffer rejected with the library's own log line and the rule
# that refused it. Run by `make demo` after the build.
# Usage: scripts/demo.sh BUILD_DIR
set -eu
cd "$(dirname "$0")/.."
bin=$1/tools/sshmsg
PATH=$bin:$PATH
export PATH

step() { printf '\n== %s\n' "$*"; }
show() { printf '$ %s\n' "$*"; "$@"; }

step "The messages: identifiers, record sizes and members"
show sshmsg list

step "Registration, then FileTrans (examples/FileTrans.json) sent with __sendmsg and received decoded"
show sshmsg send FileTrans examples/FileTrans.json

step "Every other message the same way, from its example (shown: what the subscriber received)"
for m in $(sshmsg list | awk 'NR > 1 { sub(/^[^_]*_/, "", $1); print $1 }'); do
    [ "$m" = FileTrans ] && continue
    [ -f "examples/$m.json" ] || { echo "no example record for $m: add examples/$m.json"; exit 1; }
    sshmsg send "$m" "examples/$m.json" | sed -n 's/^recv 1\/1: \([^ ]*\) .* \([0-9]*\) bytes: /\1 (\2 bytes): /p'
done

step "A batch: the PortList record three times in one __sendtomsg call, target 42"
show sshmsg send PortList examples/PortList.json --count 3 --target 42

step "The FileTrans example as it travels, annotated item by item as the decoder reads it"
printf '$ sshmsg encode FileTrans examples/FileTrans.json | sshmsg dump FileTrans\n'
sshmsg encode FileTrans examples/FileTrans.json --hex | sshmsg dump FileTrans --hex

step "A corrupted buffer: the PortList encoding with its root offset changed from 0x0e to 0xf0"
show sshmsg encode PortList examples/PortList.json --hex
good=$(sshmsg encode PortList examples/PortList.json --hex)
bad=f0${good#0e}
printf '$ echo %s... | sshmsg decode PortList --hex\n' "$(printf %.16s "$bad")"
status=0
echo "$bad" | sshmsg decode PortList --hex 2>&1 || status=$?
echo "exit status $status"
[ "$status" -eq 1 ]
