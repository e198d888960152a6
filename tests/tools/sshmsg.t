# The sshmsg tool as its user meets it, one case per behaviour: encode and
# decode round trips, the layout, sends through the host framework (a refused
# batch explained), the rule that refused a buffer, usage errors, failed
# writes, input limits, JSON that is too deep or too long, hex in each form it
# is read in (the dump tools' own output among them) and each way it is
# refused, cuts, identify, warnings, escaped bytes in messages, and a tool
# bound to the shared library. Cases of one kind are a table: a loop that
# prints one line per row, most often the exit status and what the tool said.
#
# The case runner (tests/cases.cc) runs each section as one test. A case is a
# command for sh, run with $T set to the tool, $D to the section's scratch
# directory (kept from case to case) and $E to the examples, and what it must
# give:
#
#   ## Name     starts the section Name
#   # text      a comment, between cases
#   $ command   starts a case; a "> more" line right after continues the command
#   text        any other line is standard output: all of it, line by line
#               (no such lines: the output is empty)
#   [N]         the exit status, when it is not 0
#   ! text      standard error holds the text; the "!" lines of a case are
#               consecutive lines there, so a bare "!" last says the text ends
#               its line
#   (blank)     ends the case

## Commands
# A PortList from JSON as hex; that hex decoded by identifier, and decoded in
# full and encoded again under the dotted name: the same bytes.

$ echo '{"field0":"ab","field1":null,"forwardPortCount":2,"forwardPort":[{"field0":5,"field1":0},{"field0":7,"field1":9}]}' | $T encode PortList --hex | tee $D/pl
0e0000000a001f000400000008000a000000080000000b0000000200000061620002000000100000001c0000000800080004000000080000000500000008000c0004000800080000000700000009000000

$ $T decode 0x71670B77 --hex -c $D/pl; $T decode PortList --hex $D/pl | $T encode SshsMsgDef.PortList --hex | cmp - $D/pl
{"field0":"ab","field1":null,"forwardPortCount":2,"forwardPort":[{"field0":5,"field1":0},{"field0":7,"field1":9}]}

$ echo '{"field1":{"hex":"ff41"},"field2":"","field3":7}' | $T encode FileTrans | $T decode FileTrans -c
{"field0":0,"field1":{"hex":"ff41"},"field2":"","field3":7}

$ echo '{"field0":8080,"field1":80}' | $T encode ForwardPort --image --hex
04000000f4ffffff901f00005000000008000c0004000800

# The layout as the decoder reads it (some of its lines), and one cut short
# where the decoder refused it.
$ $T dump PortList --hex $D/pl | sed -n '1p;3p;12p;14p;17p;$p'
SshsMsgDef_PortList, 81 bytes
     0  0e 00 00 00                 root offset: table at 14
    26  02 00 00 00                 field0: string length 2
    32  00                          not read by the decoder
    41  1c 00 00 00                 forwardPort[1]: forward offset 28, to 69
accepted

$ { echo 10000000 0C00 1300 0400 0800 00000000 0C000000 01000000 F0FFFFFF 02000000 616200 | $T dump FileTrans --hex; echo "exit $?"; } | tail -2
rejected: field1: forward offset 4294967280 at 24 wraps past 2^32
exit 1

# Records given as an array, sent --count times over in one call with a
# handle, towards a target given in hex; then a batch that outgrows the
# encoding area, refused and explained.
$ echo '[{"field1":"a"},{"field0":2}]' | $T send FileTrans --count 2 --target 0x2A --handle 7 | sed -n '5,$p'
recv 4/4: SshcMsgDef_FileTrans 0x9B687FAC handle 7 target 42, accepted, 24 bytes: {"field0":2,"field1":null,"field2":null,"field3":0}
sent: SshcMsgDef_FileTrans__sendtomsg(handle 7, 4 records, target 42) returned 0
osal: 1 send buffer, 2 record blocks allocated; 0 still live

# 4125 bytes a record: the 16th no longer fits.
$ printf '{"field1":"%s"}' $(printf %4096s | tr ' ' a) >$D/big.json; $T send FileTrans $D/big.json --count 17 >$D/o; s=$?; tail -1 $D/o; exit $s
osal: 1 send buffer, 0 record blocks allocated; 0 still live
[1]
! sshmsg: SshcMsgDef_FileTrans__sendmsg refused the send: record 16 of 17 (4125 bytes) no longer fits the 65536-byte encoding area: the 15 records before it took 61875 bytes

# A record alone too large for the area; a message left out, and one the tool
# does not know, its name escaped; a command the tool does not know; an option
# before its command.
$ printf '{"field1":"%s"}' $(printf %70000s | tr ' ' a) | $T send FileTrans --count 2 >/dev/null
[1]
! sshmsg: SshcMsgDef_FileTrans__sendmsg refused the send: record 1 of 2 (70029 bytes) does not fit the 65536-byte encoding area

$ set -f; for a in send "decode $(printf 'Port\033[2J\303\251\342')" bogus "--hex decode PortList" --hex; do
>   r=$($T $a 2>&1 </dev/null); echo "$? $r"; done
2 sshmsg: MESSAGE is required (see 'sshmsg send --help')
2 sshmsg: unknown message 'Port\x1B[2Jé\xE2' (see 'sshmsg list')
2 sshmsg: unknown command 'bogus' (see 'sshmsg --help')
2 sshmsg: --hex goes after the command: sshmsg decode ... --hex (see 'sshmsg --help')
2 sshmsg: --hex before any command (see 'sshmsg --help')

## Refusals
# The rule that refused a buffer, as the tool states it, after the library's
# own log line when it writes one; then a buffer for each rule no other case
# shows.

$ echo ff000000 0a00 1f00 | $T decode PortList --hex
[1]
! Table offset(255) is out of range(4 - 8)
! sshmsg: SshsMsgDef_PortList rejected the buffer (8 bytes): table offset 255 (from the offset at 0) is outside 4 to 4

# The last two are the 81-byte PortList of the commands above with the
# forwardPort count (the word at 33) made 0x40000000, then 0x3FFFFFFF.
$ for c in FileTrans:0102 ForwardPort:04000000F0FFFFFF16000000901F000004000C00 \
>   FileTrans:100000002000130004000800000000000c000000010000000400000002000000616200 \
>   FileTrans:100000000c001300ffff0800000000000c000000010000000400000002000000616200 \
>   PortList:0e0000000a001f000400000008000a000000080000000b0000000200000061620000000040100000001c0000000800080004000000080000000500000008000c0004000800080000000700000009000000 \
>   PortList:0e0000000a001f000400000008000a000000080000000b00000002000000616200ffffff3f100000001c0000000800080004000000080000000500000008000c0004000800080000000700000009000000 \
>   PortList:ff020304 ForwardPort:01 ForwardPort:0c00000008000c000400080008000000160000009001
> do r=$(echo ${c#*:} | $T decode ${c%:*} --hex 2>&1); echo "$? ${r##*): }"; done
1 a buffer of 2 bytes is below the 4-byte minimum
1 the vtable delta at 4 puts the vtable at 20, outside 4 to 16
1 vtable length 32 at 4 runs past the end (31 bytes left)
1 field0: 4 bytes at 65551 run past the end of the 35-byte buffer
1 forwardPort: count 1073741824 at 33 is above 0x3FFFFFFF
1 forwardPort: 4294967292 bytes at 37 run past the end of the 81-byte buffer
1 table offset 67306239 (from the offset at 0) cannot lie in a 4-byte buffer: a table lies at 4 to the length less 4
1 a buffer of 1 byte is below the 4-byte minimum
1 field1: 4 bytes at 20 run past the end of the 22-byte buffer

## FailedWrites
# A write that fails is exit 2 with one line, whether it fails when the output
# is closed or at once (more than a buffer of it), help included; a closed pipe
# ends the tool on SIGPIPE (shell status 141), or, with SIGPIPE ignored, on
# EPIPE as exit 2.

$ cd $D; printf '{"field1":"%s"}' $(printf %8192s | tr ' ' a) >big.json; $T encode FileTrans big.json >big
> for a in list --help "encode FileTrans big.json" "decode FileTrans big"; do r=$($T $a 2>&1 >/dev/full); echo "$? $r"; done
2 sshmsg: cannot write standard output: No space left on device
2 sshmsg: cannot write standard output: No space left on device
2 sshmsg: cannot write standard output: No space left on device
2 sshmsg: cannot write standard output: No space left on device

$ { (sleep 0.2; $T list; echo $? >&3) | true; } 3>&1; { (trap '' PIPE; sleep 0.2; $T list 2>&3; echo $? >&3) | true; } 3>&1
141
sshmsg: cannot write standard output: Broken pipe
2

## NumericOptions
# The numeric options share one reader: it refuses a negative, a non-numeric
# and a bare-prefix value, and each option names its own range past its top,
# each with its one line and exit status 2.

$ for a in "send PortList --count=-1" "send PortList --count=12x" "send PortList --count=0x" "send PortList --count=1000001" \
>   "send PortList --target=18446744073709551616" "send PortList --handle=4294967296" \
>   "decode PortList --offset=18446744073709551616" "identify --length=2147483648"; do r=$($T $a $E/PortList.json 2>&1); echo "$? $r"; done
2 sshmsg: --count: '-1' is not a number from 1 to 1000000 (see 'sshmsg send --help')
2 sshmsg: --count: '12x' is not a number from 1 to 1000000 (see 'sshmsg send --help')
2 sshmsg: --count: '0x' is not a number from 1 to 1000000 (see 'sshmsg send --help')
2 sshmsg: --count: '1000001' is not a number from 1 to 1000000 (see 'sshmsg send --help')
2 sshmsg: --target: '18446744073709551616' is not a number from 0 to 18446744073709551615 (see 'sshmsg send --help')
2 sshmsg: --handle: '4294967296' is not a number from 0 to 4294967295 (see 'sshmsg send --help')
2 sshmsg: --offset: '18446744073709551616' is not a number from 0 to 18446744073709551615 (see 'sshmsg decode --help')
2 sshmsg: --length: '2147483648' is not a number from 0 to 2147483647 (see 'sshmsg identify --help')

$ $T identify --length 2147483647 <$E/PortList.json
[2]
! sshmsg: standard input: --length 2147483647 runs past the end of the 174-byte input

## InputLimits
# Inputs past their limit, 64 MiB, are refused as soon as the limit is passed:
# binary, JSON or hex text, from standard input or a file; a character no form
# of hex text has is refused where it is read.

$ cd $D; truncate -s 67108865 big; for a in "decode PortList" "dump PortList big" "encode PortList" "decode PortList --hex"; do
>   r=$(timeout 20 $T $a </dev/zero 2>&1); echo "$? $r"; done; r=$(yes 0e00 | timeout 20 $T decode PortList --hex 2>&1); echo "$? $r"
2 sshmsg: standard input: more than 67108864 bytes
2 sshmsg: big: more than 67108864 bytes
2 sshmsg: standard input: more than 67108864 bytes of JSON
2 sshmsg: standard input: offset 0 (line 1, column 1): '\x00' is no character of hex text (--hex reads plain hex, 0x prefixes, a C initialiser, xxd (-g 1 or 2), hexdump -C or od -tx1 output)
2 sshmsg: standard input: more than 67108864 bytes of hex text

# Inputs of exactly 64 MiB are read, and then judged on what they hold: a
# buffer, a record padded with blanks, hex text.
$ cd $D; truncate -s 67108864 max; { printf '{'; head -c 67108862 /dev/zero | tr '\0' ' '; printf '}'; } >maxjson
> yes 0e00 | head -c 67108864 >maxhex; $T decode PortList max 2>&1 | tail -1
> $T encode FileTrans --hex maxjson; $T decode PortList --hex maxhex 2>&1 | tail -1
sshmsg: SshsMsgDef_PortList rejected the buffer (67108864 bytes): table offset 0 (from the offset at 0) is outside 4 to 67108860
100000000c00040000000000000000000c000000
sshmsg: SshsMsgDef_PortList rejected the buffer (26843546 bytes): the vtable delta at 917518 puts the vtable at 0, outside 4 to 26843542

## JsonInput
# JSON nested a million deep, the same as a member's value, a 10 MB string
# where a number goes, a 10 MB string never closed and a 10 MB number: one short
# error line each (the exit status, the lines, the lines of 4 KiB or more).

$ cd $D; head -c 1000000 /dev/zero | tr '\0' '[' >deep; head -c 1000000 /dev/zero | tr '\0' ']' >>deep
> head -c 10000000 /dev/zero | tr '\0' 1 >ten; { printf '{"field0": '; cat deep; printf '}'; } >member
> { printf '{"field0": "'; cat ten; printf '"}'; } >long; { printf '{"field0": "'; cat ten; } >open; { printf '{"field0": '; cat ten; printf '}'; } >number
> for f in deep member long open number; do $T encode FileTrans $f >/dev/null 2>e; echo "$f: $? $(wc -l <e) $(awk 'length >= 4096' e | wc -l)"; done
deep: 2 1 0
member: 2 1 0
long: 2 1 0
open: 2 1 0
number: 2 1 0

# A record's errors say where, name the member by its path and cut what they
# quote short; a member given twice is refused; a raw control byte in a string
# is a syntax error; nesting is read to 32 levels and refused past them.
$ for j in '{"field0":"a\u0000b"}' '{"field1":"a", "field1":null}' '{"forwardPortCount":1}' '[{"forwardPort":[{},{"field1":[[[{"x":1}]]]}]}]' \
>   '{"forwardPort":[{"field0":"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"}]}' "$(printf '{"field0": "a\001"}')" \
>   "{\"field0\": $(head -c 31 /dev/zero | tr '\0' [)" "{\"field0\": $(head -c 32 /dev/zero | tr '\0' [)"; do
>   r=$(printf '%s\n' "$j" | $T send PortList 2>&1); echo "$? ${r#sshmsg: standard input: }"; done
2 offset 10 (line 1, column 11): field0: a string cannot hold a NUL byte
2 offset 15 (line 1, column 16): field1: given twice
2 offset 20 (line 1, column 21): forwardPortCount: does not match the 0 elements of forwardPort
2 offset 30 (line 1, column 31): [0].forwardPort[1].field1: expected an integer 0..4294967295, got [[[{"x":1}]]]
2 offset 26 (line 1, column 27): forwardPort[0].field0: expected an integer 0..4294967295, got "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa...
2 offset 13 (line 1, column 14): syntax error: control character U+0001 in a string must be escaped
2 offset 43 (line 2, column 1): syntax error: the text ends where a value was expected
2 offset 42 (line 1, column 43): JSON nested deeper than 32 levels

## HexForms
# One buffer, the ForwardPort image, as the dump tools write it: read in each
# form --hex takes; refused in the others, not read as plain hex (their groups
# hold their bytes in the writing machine's order).

$ cd $D; echo '{"field0":8080,"field1":80}' | $T encode ForwardPort --image >fp
> for dump in xxd 'xxd -g1' 'xxd -c8' 'xxd -p' 'xxd -i' 'hexdump -C' 'od -An -tx1' hexdump 'xxd -e' 'xxd -e -g2'; do
>   r=$($dump <fp | $T decode ForwardPort --hex -c 2>&1); echo "$dump: $? ${r%% (--hex reads*}"; done
xxd: 0 {"field0":8080,"field1":80}
xxd -g1: 0 {"field0":8080,"field1":80}
xxd -c8: 0 {"field0":8080,"field1":80}
xxd -p: 0 {"field0":8080,"field1":80}
xxd -i: 0 {"field0":8080,"field1":80}
hexdump -C: 0 {"field0":8080,"field1":80}
od -An -tx1: 0 {"field0":8080,"field1":80}
hexdump: 2 sshmsg: standard input: offset 8 (line 1, column 9): a group of 4 digits: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
xxd -e: 2 sshmsg: standard input: offset 10 (line 1, column 11): a group of 8 digits
xxd -e -g2: 2 sshmsg: standard input: offset 49 (line 1, column 50): the ASCII column shows each group's bytes reversed, as xxd -e writes them

# "*" repeats the line before up to the next offset: 40 zero bytes, never read.
$ { cat $D/fp; head -c 40 /dev/zero; } | hexdump -C | $T decode ForwardPort --hex -c
{"field0":8080,"field1":80}
! sshmsg: warning: 40 bytes at 24 after the message's data are never read by the decoder

# Text as pasted: one 0x run and C initialisers (a declaration, with numbers
# of its own after a log line's prefix or as the array's size; comments, a
# single digit after 0x, the length after it) read; the rest refused, saying
# where and why.
$ for t in 0x04000000f4ffffff901f00005000000008000c0004000800 'static const uint8_t m[] = { // ForwardPort\n 0x04, 0x0, 0x00,
>   0x00, /* table */ 0xf4, 0xff, 0xff, 0xff, 0x90, 0x1f, 0x00, 0x00, 0x50, 0x00, 0x00, 0x00, 0x08, 0x00, 0x0c, 0x00, 0x04, 0x00,
>   0x08, 0x00};\nunsigned int m_len = 24;' 'Nov 09 10:00:01 host sshd[123]: rx buf = {0x04000000f4ffffff901f00005000000008000c0004000800}' \
>   'uint8_t buf[ 24 ] = {04000000 f4ffffff 901f0000 50000000 08000c00 04000800};' '0400\n00 0\001f4' '{0x04, 0x00' 'uint8_t m[] = 0x04' '0400 /* 0000' '0x04 0x 00' \
>   '00000000  04 00  |..|\n*' '00000000: 0400 0000  ....\n00000008: 0800  ..'; do
>   r=$(printf "$t\n" | $T decode ForwardPort --hex -c 2>&1); s=$?; r=${r#sshmsg: standard input: }; echo "$s ${r%% (--hex reads*}"; done
0 {"field0":8080,"field1":80}
0 {"field0":8080,"field1":80}
0 {"field0":8080,"field1":80}
0 {"field0":8080,"field1":80}
2 offset 9 (line 2, column 5): '\x01' is no character of hex text
2 offset 0 (line 1, column 1): '{' is never closed
2 offset 0 (line 1, column 1): 'u' is not a hex digit
2 offset 5 (line 1, column 6): '/*' is never closed
2 offset 5 (line 1, column 6): '0x' without digits
2 offset 24 (line 3, column 1): no offset line after '*' says where the repeated lines end
2 offset 26 (line 2, column 1): the offset column says 0x8 where 0x4 follows the lines before

## Cuts
# --offset and --length cut the ForwardPort image out of a capture, binary or
# hex, or say how the cut misses the input.

$ cd $D; { printf ab; echo '{"field0":8080,"field1":80}' | $T encode ForwardPort --image; printf cd; } >cap; xxd -p cap >hex
> for a in "decode ForwardPort -c --offset 2 --length 24 cap" "decode ForwardPort -c --hex --offset 2 --length 24 hex" \
>   "dump ForwardPort --offset 2 --length 27 cap" "dump ForwardPort --hex --offset 29 hex" "identify --hex --length 29 hex"; do
>   r=$($T $a 2>&1); echo "$? $r"; done
0 {"field0":8080,"field1":80}
0 {"field0":8080,"field1":80}
2 sshmsg: cap: --offset 2 --length 27 runs past the end of the 28-byte input
2 sshmsg: hex: --offset 29 is past the end of the 28-byte hex input
2 sshmsg: hex: --length 29 runs past the end of the 28-byte hex input

## Identify
# Every decoder that accepts a buffer, with its identifier and record, those
# without a warning first: TcpForwordMessage comes before the two registered
# before it.

$ $T encode TcpForwordMessage $E/TcpForwordMessage.json | $T identify 2>/dev/null | cut -d, -f1
SshsMsgDef_TcpForwordMessage 0x70030D61: {"field0":1
SshcMsgDef_SftpciMessage 0x21B17658: {"field0":1
SshsMsgDef_ForwardPort 0xC27650FA: {"field0":1

$ echo ffffffff | $T identify --hex
[1]
! sshmsg: no decoder accepts the buffer (4 bytes)

# Every message the tool lists has an example record, and no other: encoded,
# decoded and encoded again, it gives the same bytes.
$ n=0; for m in $($T list | awk 'NR > 1 { sub(/^[^_]*_/, "", $1); print $1 }'); do n=$((n + 1))
>   $T encode $m $E/$m.json >$D/a && $T decode $m -c $D/a | $T encode $m | cmp - $D/a || echo "$m: no round trip"; done
> [ $n -gt 0 ] && [ $n -eq $(ls $E/*.json | wc -l) ] && echo "every message, every example"
every message, every example

## Warnings
# What the record does not show: a NUL among a string's bytes and bytes never
# read, as warnings, or with --strict as errors (exit 1, no record); identify
# names the reading each is of. The buffer is FileTrans with field1 "a\x01\0d",
# then two bytes more.

$ echo 100000000c00110000000400000000000c00000004000000040000006101006400ffff | tee $D/w | $T decode FileTrans --hex -c
{"field0":0,"field1":"a\u0001","field2":null,"field3":0}
! sshmsg: warning: FileTrans.field1: the 4-byte string at 28 holds a NUL at 30; the record keeps "a\u0001"
! sshmsg: warning: 2 bytes at 33 after the message's data are never read by the decoder

$ $T decode FileTrans --hex --strict $D/w
[1]
! sshmsg: error: FileTrans.field1: the 4-byte string at 28 holds a NUL at 30; the record keeps "a\u0001"
! sshmsg: error: 2 bytes at 33 after

$ $T identify --hex $D/w >/dev/null
! sshmsg: warning: SshcMsgDef_FileTrans: FileTrans.field1: the 4-byte string at 28 holds a NUL at 30; the record keeps "a\u0001"

## UsesTheSharedLibrary
# The tool's library calls bind to the shared library: it needs
# libssh_msg_def.so.1 and defines none of the library's functions.

$ echo $(readelf -d $T | grep -c 'NEEDED.*\[libssh_msg_def\.so\.1\]') $(nm $T | grep -cE ' [TtWw] (Ssh[cs]MsgDef_|ssh[cs]_msg_def_)')
1 0

## Replay
# Captured bytes handed to the host framework as received, under the
# message's identifier: the host's delivery line with its verdict, after the
# library's log line when it refuses them (exit 1); binary or hex, cut out of
# a larger capture.

$ $T encode PortList $E/PortList.json >$D/pl; $T replay PortList $D/pl --target 9 --handle 3
recv 1/1: SshsMsgDef_PortList 0x71670B77 handle 3 target 9, accepted, 98 bytes: {"field0":"lo","field1":{"hex":"636166e9"},"forwardPortCount":2,"forwardPort":[{"field0":8080,"field1":80},{"field0":2222,"field1":22}]}

$ (printf '\360'; tail -c +2 $D/pl) | $T replay 0x71670B77
recv 1/1: SshsMsgDef_PortList 0x71670B77 handle 1 target 0, rejected, 98 bytes: {"field0":null,"field1":null,"forwardPortCount":0,"forwardPort":null}
[1]
! Table offset(240) is out of range(4 - 98)

$ { printf ab; cat $D/pl; printf cd; } | xxd | $T replay PortList --hex --offset 2 --length 98 | cut -d, -f1-3
recv 1/1: SshsMsgDef_PortList 0x71670B77 handle 1 target 0, accepted, 98 bytes: {"field0":"lo"

## AllMessages
# Messages back to back in one capture, each where the data of the one before
# ends, each with its offset; a trailing part that holds no whole message is a
# warning, or with --strict an error; a capture whose start holds none is
# rejected.

$ $T encode FileTrans $E/FileTrans.json >$D/ft; { cat $D/ft $D/ft; printf xyz; } >$D/two; $T decode FileTrans --all -c $D/two
at 0, 114 bytes: {"field0":1,"field1":"/home/dev/build/firmware-2.4.1.img","field2":"/var/tmp/upload/firmware-2.4.1.img","field3":4194304}
at 114, 114 bytes: {"field0":1,"field1":"/home/dev/build/firmware-2.4.1.img","field2":"/var/tmp/upload/firmware-2.4.1.img","field3":4194304}
! sshmsg: warning: 3 bytes at 228 hold no whole message: a buffer of 3 bytes is below the 4-byte minimum

$ $T decode FileTrans --all --strict $D/two 2>&1 >/dev/null; echo "exit $?"; $T dump FileTrans --all --strict $D/two 2>/dev/null | grep -v '^ '; echo "exit $?"
sshmsg: error: 3 bytes at 228 hold no whole message: a buffer of 3 bytes is below the 4-byte minimum
exit 1
SshcMsgDef_FileTrans at 0, 114 bytes
offset  bytes                       meaning
accepted
SshcMsgDef_FileTrans at 114, 114 bytes
offset  bytes                       meaning
accepted
exit 0

$ printf xyz | $T decode FileTrans --all
[1]
! sshmsg: SshcMsgDef_FileTrans rejected the buffer (3 bytes): a buffer of 3 bytes is below the 4-byte minimum

## Json
# list, dump and identify as one JSON document each.

$ $T list --json | python3 -c 'import json, sys; m = [m for m in json.load(sys.stdin)["messages"] if m["message"] == "PortList"][0]
> print(m["idHex"], m["recordSize"], m["fixedImage"], [(f["name"], f["kind"], f.get("message")) for f in m["members"]])'
0x71670B77 32 None [('field0', 'string', None), ('field1', 'string', None), ('forwardPort', 'list', 'ForwardPort')]

$ $T encode ForwardPort --image $E/ForwardPort.json | $T dump ForwardPort --json | python3 -c 'import json, sys; d = json.load(sys.stdin)
> print(d["message"], d["length"], d["accepted"], len(d["items"]), d["items"][1])'
SshsMsgDef_ForwardPort 24 True 8 {'offset': 4, 'size': 4, 'bytes': 'f4ffffff', 'meaning': 'ForwardPort table: vtable delta -12, vtable at 16'}

$ echo 0a000000 | $T dump ForwardPort --hex --json | python3 -c 'import json, sys; print(json.load(sys.stdin)["refusal"])'; echo ffffffff | $T identify --hex --json
table offset 10 (from the offset at 0) cannot lie in a 4-byte buffer: a table lies at 4 to the length less 4
{"length": 4, "readings": []}
[1]
! sshmsg: no decoder accepts the buffer (4 bytes)

$ $T encode TcpForwordMessage $E/TcpForwordMessage.json | $T identify --json | python3 -c 'import json, sys
> for r in json.load(sys.stdin)["readings"]: print(r["message"], r["record"]["field0"], len(r["warnings"]))'
SshsMsgDef_TcpForwordMessage 1 0
SshcMsgDef_SftpciMessage 1 2
SshsMsgDef_ForwardPort 1 1

## Pasteable
# A C initialiser that compiles as it stands and reads back; strings whole in
# a dump with --full.

$ $T encode ForwardPort --c-array $E/ForwardPort.json | tee $D/fp.c; cc -x c -c -o /dev/null $D/fp.c && $T decode ForwardPort --hex -c $D/fp.c
/* SshsMsgDef_ForwardPort, 24 bytes */
const unsigned char ForwardPort[24] = {
    0x0c, 0x00, 0x00, 0x00, 0x08, 0x00, 0x0c, 0x00, 0x04, 0x00, 0x08, 0x00,
    0x08, 0x00, 0x00, 0x00, 0xfb, 0x20, 0x00, 0x00, 0xbb, 0x01, 0x00, 0x00
};
{"field0":8443,"field1":443}

$ printf '{"field1":"%s"}' $(printf %60s | tr ' ' a) | $T encode FileTrans >$D/long; for a in "" --full; do $T dump FileTrans $a $D/long | grep -o '"a.*'; done
"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"...
"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"

## Memory
# A 4 MB PortList whose million element offsets all point at one table: each
# command's memory stays within a few hundred MB of address space, the shared
# table shown once with the times it was read.

$ python3 -c 'import struct, sys; n = 10**6; e = 26 + 4 * n + 8
> sys.stdout.buffer.write(struct.pack("<IHHHHHiII", 14, 10, 8, 0, 0, 4, 10, 4, n) +
>   b"".join(struct.pack("<I", e - 26 - 4 * i) for i in range(n)) + struct.pack("<HHHHiII", 8, 12, 4, 8, 8, 22, 2222))' >$D/shared
> (ulimit -v 300000; $T decode PortList -c $D/shared | wc -c; $T dump PortList $D/shared | tail -4
>   $T identify $D/shared 2>/dev/null | head -1 | cut -c1-40)
28000073
4000034  08 00 00 00                 ForwardPort table: vtable delta 8, vtable at 4000026 (read 1000000 times)
4000038  16 00 00 00                 field0 = 22 (read 1000000 times)
4000042  ae 08 00 00                 field1 = 2222 (read 1000000 times)
accepted
SshsMsgDef_PortList 0x71670B77: {"field0

## HexDumps
# Bytes as the dump tools write them, in each size that ends a line its own way
# (1, 15, 16, 17), 81 and 98 bytes (the PortList example, its NULs made 01, as
# a string holds none) and a 4 KB string: each form read exactly as its inverse
# reads it (xxd -r for the edited xxd dump, whose first byte is now 58), or
# refused. What was read comes back through a record: given as FileTrans's
# field1 {"hex": "..."}, it must encode as the file's plain hex does ("same").

$ cd $D; $T encode PortList $E/PortList.json | tr '\0' '\1' >b; for n in 1 15 16 17 81 98; do head -c $n b >f$n; done
> head -c 4096 /dev/zero | tr '\0' a >f4096
> logged() { printf 'Nov 09 10:00:01 host sshd[123]: rx buf = {'; xxd -i; echo '};'; }
> declared() { echo "uint8_t buf[ $n ] = {"; xxd -i; echo '};'; }
> for form in xxd 'xxd -g1 -c8' 'xxd -p' 'xxd -i $f' "xxd | sed '1s/: ../: 58/'" 'hexdump -C' 'hexdump -C | cut -c1-60' \
>   'hexdump -C -s $n' 'od -An -tx1' 'od -Ax -tx1' 'od -Ad -tx1' 'od -tx1' 'od -An -tx2' 'od -An -tx4' 'od -Ax -tx2' od \
>   logged declared; do for n in 1 15 16 17 81 98 4096; do f=f$n
>   eval "$form" <$f >d; case $form in *sed*) xxd -r d >w ;; *) cp $f w ;; esac
>   r=$(printf '{"field1":{"hex":"%s"}}' "$(sed 's/[\\"]/\\&/g' d | awk '{printf "%s\\n", $0}')" | $T encode FileTrans 2>&1 >o)
>   s=$?; printf '{"field1":{"hex":"%s"}}' $(xxd -p w | tr -d '\n') | $T encode FileTrans | cmp -s - o && r=same
>   r=${r#*field1: }; echo "$form $n: $s ${r%% (--hex reads*}"; done; done
xxd 1: 0 same
xxd 15: 0 same
xxd 16: 0 same
xxd 17: 0 same
xxd 81: 0 same
xxd 98: 0 same
xxd 4096: 0 same
xxd -g1 -c8 1: 0 same
xxd -g1 -c8 15: 0 same
xxd -g1 -c8 16: 0 same
xxd -g1 -c8 17: 0 same
xxd -g1 -c8 81: 0 same
xxd -g1 -c8 98: 0 same
xxd -g1 -c8 4096: 0 same
xxd -p 1: 0 same
xxd -p 15: 0 same
xxd -p 16: 0 same
xxd -p 17: 0 same
xxd -p 81: 0 same
xxd -p 98: 0 same
xxd -p 4096: 0 same
xxd -i $f 1: 0 same
xxd -i $f 15: 0 same
xxd -i $f 16: 0 same
xxd -i $f 17: 0 same
xxd -i $f 81: 0 same
xxd -i $f 98: 0 same
xxd -i $f 4096: 0 same
xxd | sed '1s/: ../: 58/' 1: 0 same
xxd | sed '1s/: ../: 58/' 15: 0 same
xxd | sed '1s/: ../: 58/' 16: 0 same
xxd | sed '1s/: ../: 58/' 17: 0 same
xxd | sed '1s/: ../: 58/' 81: 0 same
xxd | sed '1s/: ../: 58/' 98: 0 same
xxd | sed '1s/: ../: 58/' 4096: 0 same
hexdump -C 1: 0 same
hexdump -C 15: 0 same
hexdump -C 16: 0 same
hexdump -C 17: 0 same
hexdump -C 81: 0 same
hexdump -C 98: 0 same
hexdump -C 4096: 0 same
hexdump -C | cut -c1-60 1: 0 same
hexdump -C | cut -c1-60 15: 0 same
hexdump -C | cut -c1-60 16: 0 same
hexdump -C | cut -c1-60 17: 0 same
hexdump -C | cut -c1-60 81: 0 same
hexdump -C | cut -c1-60 98: 0 same
hexdump -C | cut -c1-60 4096: 0 same
hexdump -C -s $n 1: 2 offset 0 (line 1, column 1): '00000001' alone may be the offset line of an empty dump (bytes: write 0x00000001)
hexdump -C -s $n 15: 2 offset 0 (line 1, column 1): '0000000f' alone may be the offset line of an empty dump (bytes: write 0x0000000f)
hexdump -C -s $n 16: 2 offset 0 (line 1, column 1): '00000010' alone may be the offset line of an empty dump (bytes: write 0x00000010)
hexdump -C -s $n 17: 2 offset 0 (line 1, column 1): '00000011' alone may be the offset line of an empty dump (bytes: write 0x00000011)
hexdump -C -s $n 81: 2 offset 0 (line 1, column 1): '00000051' alone may be the offset line of an empty dump (bytes: write 0x00000051)
hexdump -C -s $n 98: 2 offset 0 (line 1, column 1): '00000062' alone may be the offset line of an empty dump (bytes: write 0x00000062)
hexdump -C -s $n 4096: 2 offset 0 (line 1, column 1): '00001000' alone may be the offset line of an empty dump (bytes: write 0x00001000)
od -An -tx1 1: 0 same
od -An -tx1 15: 0 same
od -An -tx1 16: 0 same
od -An -tx1 17: 0 same
od -An -tx1 81: 0 same
od -An -tx1 98: 0 same
od -An -tx1 4096: 2 offset 49 (line 2, column 1): '*' without an offset column to say how far it repeats (od -v writes every line)
od -Ax -tx1 1: 0 same
od -Ax -tx1 15: 0 same
od -Ax -tx1 16: 0 same
od -Ax -tx1 17: 0 same
od -Ax -tx1 81: 0 same
od -Ax -tx1 98: 0 same
od -Ax -tx1 4096: 0 same
od -Ad -tx1 1: 0 same
od -Ad -tx1 15: 0 same
od -Ad -tx1 16: 0 same
od -Ad -tx1 17: 0 same
od -Ad -tx1 81: 0 same
od -Ad -tx1 98: 0 same
od -Ad -tx1 4096: 0 same
od -tx1 1: 0 same
od -tx1 15: 0 same
od -tx1 16: 0 same
od -tx1 17: 0 same
od -tx1 81: 0 same
od -tx1 98: 0 same
od -tx1 4096: 2 offset 0 (line 1, column 1): read as decimal or as octal, the offsets give different bytes (od -Ax tells them apart)
od -An -tx2 1: 2 offset 1 (line 1, column 2): words of 4 digits, as od -An writes them: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -An -tx2 15: 2 offset 1 (line 1, column 2): words of 4 digits, as od -An writes them: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -An -tx2 16: 2 offset 1 (line 1, column 2): words of 4 digits, as od -An writes them: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -An -tx2 17: 2 offset 1 (line 1, column 2): words of 4 digits, as od -An writes them: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -An -tx2 81: 2 offset 1 (line 1, column 2): words of 4 digits, as od -An writes them: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -An -tx2 98: 2 offset 1 (line 1, column 2): words of 4 digits, as od -An writes them: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -An -tx2 4096: 2 offset 1 (line 1, column 2): words of 4 digits, as od -An writes them: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -An -tx4 1: 2 offset 1 (line 1, column 2): words of 8 digits, as od -An writes them: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -An -tx4 15: 2 offset 1 (line 1, column 2): words of 8 digits, as od -An writes them: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -An -tx4 16: 2 offset 1 (line 1, column 2): words of 8 digits, as od -An writes them: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -An -tx4 17: 2 offset 1 (line 1, column 2): words of 8 digits, as od -An writes them: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -An -tx4 81: 2 offset 1 (line 1, column 2): words of 8 digits, as od -An writes them: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -An -tx4 98: 2 offset 1 (line 1, column 2): words of 8 digits, as od -An writes them: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -An -tx4 4096: 2 offset 1 (line 1, column 2): words of 8 digits, as od -An writes them: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -Ax -tx2 1: 2 offset 7 (line 1, column 8): a group of 4 digits: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -Ax -tx2 15: 2 offset 7 (line 1, column 8): a group of 4 digits: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -Ax -tx2 16: 2 offset 7 (line 1, column 8): a group of 4 digits: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -Ax -tx2 17: 2 offset 7 (line 1, column 8): a group of 4 digits: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -Ax -tx2 81: 2 offset 7 (line 1, column 8): a group of 4 digits: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -Ax -tx2 98: 2 offset 7 (line 1, column 8): a group of 4 digits: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -Ax -tx2 4096: 2 offset 7 (line 1, column 8): a group of 4 digits: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od 1: 2 offset 8 (line 1, column 9): a group of 6 digits: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od 15: 2 offset 8 (line 1, column 9): a group of 6 digits: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od 16: 2 offset 8 (line 1, column 9): a group of 6 digits: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od 17: 2 offset 8 (line 1, column 9): a group of 6 digits: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od 81: 2 offset 8 (line 1, column 9): a group of 6 digits: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od 98: 2 offset 8 (line 1, column 9): a group of 6 digits: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od 4096: 2 offset 8 (line 1, column 9): a group of 6 digits: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
logged 1: 0 same
logged 15: 0 same
logged 16: 0 same
logged 17: 0 same
logged 81: 0 same
logged 98: 0 same
logged 4096: 0 same
declared 1: 0 same
declared 15: 0 same
declared 16: 0 same
declared 17: 0 same
declared 81: 0 same
declared 98: 0 same
declared 4096: 0 same

# The buffers of the report, as pasted into decode --hex: the PortList of 81
# bytes and the example of 98, their own NULs and all. A row read gives the
# record's first member, and "as the file" when it is the record of the file
# (of what xxd -r reads, for the edited dump).
$ cd $D; $T encode PortList $E/PortList.json >p98; echo '{"field0":"ab","forwardPortCount":2,"forwardPort":[{"field0":5,"field1":0},
>   {"field0":7,"field1":9}]}' | $T encode PortList >p81
> for c in 'od -Ax -tx1 p81' 'od -Ad -tx1 p81' 'od -An -tx2 p81' 'od -An -tx4 p81' 'hexdump -C -s 81 p81' 'hexdump -C p81 | cut -c1-60' \
>   "xxd p98 | sed '3s/0000 6c6f/0000 586f/'" '{ echo "Nov 09 10:00:01 host sshd[123]: rx buf = {"; xxd -i <p98; echo "};"; }' \
>   '{ echo "uint8_t buf[ 98 ] = {"; xxd -i <p98; echo "};"; }'; do
>   r=$(eval "$c" | $T decode PortList --hex -c 2>&1); s=$?; case $c in *sed*) eval "$c" | xxd -r >w ;; *p81*) cp p81 w ;; *) cp p98 w ;; esac
>   [ "$r" = "$($T decode PortList -c w)" ] && r="${r%%,*}, as the file"; echo "$c: $s ${r%% (--hex reads*}"; done
od -Ax -tx1 p81: 0 {"field0":"ab", as the file
od -Ad -tx1 p81: 0 {"field0":"ab", as the file
od -An -tx2 p81: 2 sshmsg: standard input: offset 1 (line 1, column 2): words of 4 digits, as od -An writes them: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
od -An -tx4 p81: 2 sshmsg: standard input: offset 1 (line 1, column 2): words of 8 digits, as od -An writes them: their bytes are in the writing machine's order (od -tx1 and hexdump -C write bytes)
hexdump -C -s 81 p81: 2 sshmsg: standard input: offset 0 (line 1, column 1): '00000051' alone may be the offset line of an empty dump (bytes: write 0x00000051)
hexdump -C p81 | cut -c1-60: 0 {"field0":"ab", as the file
xxd p98 | sed '3s/0000 6c6f/0000 586f/': 0 {"field0":"Xo", as the file
{ echo "Nov 09 10:00:01 host sshd[123]: rx buf = {"; xxd -i <p98; echo "};"; }: 0 {"field0":"lo", as the file
{ echo "uint8_t buf[ 98 ] = {"; xxd -i <p98; echo "};"; }: 0 {"field0":"lo", as the file
