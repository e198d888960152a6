# The sshmsg tool as its user meets it: encode and decode round trips, a
# rejected buffer's exit status and log line, the layout, sends through the
# host framework (a refused batch explained), usage errors, failed writes,
# input limits, JSON that is too deep or too long, hex as pasted and as the
# dump tools write it, cuts, identify on every example, warnings, escaped bytes
# in messages, and a tool bound to the shared library.
#
# The case runner (tests/cases.cc) runs each section as one test. A case is a
# command for sh, run with $T set to the tool, $D to the section's scratch
# directory and $E to the examples, and what it must give:
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

$ echo '{"field0":"ab","field1":null,"forwardPortCount":2,"forwardPort":[{"field0":5,"field1":0},{"field0":7,"field1":9}]}' | $T encode PortList --hex
0e0000000a001f000400000008000a000000080000000b0000000200000061620002000000100000001c0000000800080004000000080000000500000008000c0004000800080000000700000009000000

$ echo 0e0000000a001f000400000008000a000000080000000b0000000200000061620002000000100000001c0000000800080004000000080000000500000008000c0004000800080000000700000009000000 | $T decode 0x71670B77 --hex -c
{"field0":"ab","field1":null,"forwardPortCount":2,"forwardPort":[{"field0":5,"field1":0},{"field0":7,"field1":9}]}

$ echo 0e0000000a001f000400000008000a000000080000000b0000000200000061620002000000100000001c0000000800080004000000080000000500000008000c0004000800080000000700000009000000 | $T decode PortList --hex | $T encode SshsMsgDef.PortList --hex
0e0000000a001f000400000008000a000000080000000b0000000200000061620002000000100000001c0000000800080004000000080000000500000008000c0004000800080000000700000009000000

$ echo '{"field1":{"hex":"ff41"},"field2":"","field3":7}' | $T encode FileTrans | $T decode FileTrans -c
{"field0":0,"field1":{"hex":"ff41"},"field2":"","field3":7}

$ echo '{"field0":8080,"field1":80}' | $T encode ForwardPort --image --hex
04000000f4ffffff901f00005000000008000c0004000800

$ $T list --wire | grep ' list '
slot SshsMsgDef.PortList 2 forwardPort list SshsMsgDef.ForwardPort

$ echo ff000000 0a00 1f00 | $T decode PortList --hex
[1]
! Table offset(255) is out of range(4 - 8)
! sshmsg: SshsMsgDef_PortList rejected the buffer (8 bytes): table offset 255 (from the offset at 0) is outside 4 to 4
!

$ echo 0102 | $T decode FileTrans --hex
[1]
! (2 bytes): a buffer of 2 bytes is below the 4-byte minimum

$ echo 04000000 F0FFFFFF 16000000 901F0000 0400 0C00 | $T decode ForwardPort --hex
[1]
! (20 bytes): the vtable delta at 4 puts the vtable at 20, outside 4 to 16
!

$ echo 10000000 0C00 1300 0400 0800 00000000 0C000000 01000000 04000000 04000000 616200 | $T dump FileTrans --hex | tail -2
    28  04 00 00 00                 field1: string length 4
rejected: field1: 4 bytes at 32 run past the end of the 35-byte buffer

# Now the offset word of field1 is the one cut short.
$ echo 10000000 0C00 1300 0400 1000 00000000 0C000000 01000000 04000000 02000000 616200 | $T dump FileTrans --hex | tail -1
rejected: field1: 4 bytes at 32 run past the end of the 35-byte buffer

$ echo 10000000 0C00 1300 0400 0800 00000000 0C000000 01000000 F0FFFFFF 02000000 616200 | $T dump FileTrans --hex | tail -1
rejected: field1: forward offset 4294967280 at 24 wraps past 2^32

$ echo 0e0000000a001f000400000008000a000000080000000b0000000200000061620002000000100000001c0000000800080004000000080000000500000008000c0004000800080000000700000009000000 | $T dump PortList --hex | sed -n '1,3p;14p;17p;$p'
SshsMsgDef_PortList, 81 bytes
offset  bytes                       meaning
     0  0e 00 00 00                 root offset: table at 14
    32  00                          not read by the decoder
    41  1c 00 00 00                 forwardPort[1]: forward offset 28, to 69
accepted

$ echo '[{"field1":"a"},{"field0":2}]' | $T send FileTrans --count 2 --target 5 | grep -v '^host:'
recv 1/4: SshcMsgDef_FileTrans 0x9B687FAC handle 1 target 5, accepted, 30 bytes: {"field0":0,"field1":"a","field2":null,"field3":0}
recv 2/4: SshcMsgDef_FileTrans 0x9B687FAC handle 1 target 5, accepted, 24 bytes: {"field0":2,"field1":null,"field2":null,"field3":0}
recv 3/4: SshcMsgDef_FileTrans 0x9B687FAC handle 1 target 5, accepted, 30 bytes: {"field0":0,"field1":"a","field2":null,"field3":0}
recv 4/4: SshcMsgDef_FileTrans 0x9B687FAC handle 1 target 5, accepted, 24 bytes: {"field0":2,"field1":null,"field2":null,"field3":0}
sent: SshcMsgDef_FileTrans__sendtomsg(handle 1, 4 records, target 5) returned 0
osal: 1 send buffer, 2 record blocks allocated; 0 still live

# 4125 bytes a record: the 16th no longer fits.
$ printf '{"field1":"%s"}' $(printf %4096s | tr ' ' a) >$D/big.json; $T send FileTrans $D/big.json --count 17 >$D/o; s=$?; tail -1 $D/o; exit $s
osal: 1 send buffer, 0 record blocks allocated; 0 still live
[1]
! SshcMsgDef_FileTrans__sendmsg refused the send: record 16 of 17 (4125 bytes) no longer fit the 65536-byte encoding area: the 15 records before it took 61875 bytes
!

$ echo '{"field1":"a\u0000b"}' | $T encode FileTrans --hex
[2]
! field1: a string cannot hold a NUL

$ echo '{"forwardPortCount":1}' | $T encode PortList --hex
[2]
! forwardPortCount: does not match

$ $T decode NoSuchMessage
[2]
! unknown message 'NoSuchMessage'

$ $T send
[2]
! MESSAGE is required (see 'sshmsg send --help')

## Refusals
# The rule that refused a buffer, as the tool states it: one case per rule the
# sections above leave out.

$ echo 100000002000130004000800000000000c000000010000000400000002000000616200 | $T decode FileTrans --hex
[1]
!  bytes): vtable length 32 at 4 runs past the end (31 bytes left)

$ echo 100000000c001300ffff0800000000000c000000010000000400000002000000616200 | $T decode FileTrans --hex
[1]
!  bytes): field0: 4 bytes at 65551 run past the end of the 35-byte buffer

# The 81-byte PortList of the commands above with the forwardPort count (the
# word at 33) made 0x40000000, then 0x3FFFFFFF, then 12 with three bytes more at
# the end; and last with the first element's offset (the word at 37) made
# 0xFFFFFFF0.
$ echo 0e0000000a001f000400000008000a000000080000000b0000000200000061620000000040100000001c0000000800080004000000080000000500000008000c0004000800080000000700000009000000 | $T decode PortList --hex
[1]
!  bytes): forwardPort: count 1073741824 at 33 is above 0x3FFFFFFF

$ echo 0e0000000a001f000400000008000a000000080000000b00000002000000616200ffffff3f100000001c0000000800080004000000080000000500000008000c0004000800080000000700000009000000 | $T decode PortList --hex
[1]
!  bytes): forwardPort: 4294967292 bytes at 37 run past the end of the 81-byte buffer

$ echo 0e0000000a001f000400000008000a000000080000000b000000020000006162000c000000100000001c0000000800080004000000080000000500000008000c0004000800080000000700000009000000000000 | $T decode PortList --hex
[1]
!  bytes): forwardPort: 48 bytes at 37 run past the end of the 84-byte buffer

$ echo 0e0000000a001f000400000008000a000000080000000b0000000200000061620002000000f0ffffff1c0000000800080004000000080000000500000008000c0004000800080000000700000009000000 | $T decode PortList --hex
[1]
!  bytes): forwardPort: forward offset 4294967280 at 37 wraps past 2^32

## FailedWrites
# A write that fails is exit 2 with one line; a closed pipe ends the tool on
# SIGPIPE (shell status 141), or, with SIGPIPE ignored, on EPIPE as exit 2.

$ $T list >/dev/full
[2]
! sshmsg: cannot write standard output: No space left on device
!

$ $T --help >/dev/full
[2]
! sshmsg: cannot write standard output: No space left on device
!

$ echo 0e0000000a001f000400000008000a000000080000000b0000000200000061620002000000100000001c0000000800080004000000080000000500000008000c0004000800080000000700000009000000 | $T decode PortList --hex >/dev/full
[2]
! sshmsg: cannot write standard output: No space left on device
!

$ echo '{"field0":"ab","field1":null,"forwardPortCount":2,"forwardPort":[{"field0":5,"field1":0},{"field0":7,"field1":9}]}' | $T encode PortList >/dev/full
[2]
! sshmsg: cannot write standard output: No space left on device
!

$ printf '{"field1":"%s"}' $(printf %8192s | tr ' ' a) | $T encode FileTrans >/dev/full
[2]
! sshmsg: cannot write standard output: No space left on device
!

$ { (sleep 0.2; $T list; echo $? >&3) | true; } 3>&1
141

$ { (trap '' PIPE; sleep 0.2; $T list; echo $? >&3) | true; } 3>&1
2
! sshmsg: cannot write standard output: Broken pipe
!

## NumericOptions
# The numeric options share one reader: it refuses a negative, a non-numeric
# and a bare-prefix value, and each option names its own range past its top,
# each with its one line and exit status 2.

$ for v in -1 12x 0x; do $T send PortList $E/PortList.json --count="$v" 2>&1; echo "exit $?"; done
sshmsg: --count: '-1' is not a number from 1 to 1000000 (see 'sshmsg send --help')
exit 2
sshmsg: --count: '12x' is not a number from 1 to 1000000 (see 'sshmsg send --help')
exit 2
sshmsg: --count: '0x' is not a number from 1 to 1000000 (see 'sshmsg send --help')
exit 2

$ P=$E/PortList.json; for a in "send PortList $P --count=1000001" "send PortList $P --target=18446744073709551616" \
>     "send PortList $P --handle=4294967296" "decode PortList $P --offset=18446744073709551616" \
>     "identify $P --length=2147483648"; do $T $a 2>&1 | sed 's/ (see .*//'; done
sshmsg: --count: '1000001' is not a number from 1 to 1000000
sshmsg: --target: '18446744073709551616' is not a number from 0 to 18446744073709551615
sshmsg: --handle: '4294967296' is not a number from 0 to 4294967295
sshmsg: --offset: '18446744073709551616' is not a number from 0 to 18446744073709551615
sshmsg: --length: '2147483648' is not a number from 0 to 2147483647

$ $T send ForwardPort $E/ForwardPort.json --target 0x2A --handle 7 | grep -o 'handle 7 target 42'
handle 7 target 42

## InputLimits
# Inputs past their limit, 64 MiB, are refused as soon as the limit is passed.

$ timeout 20 $T decode PortList </dev/zero
[2]
! sshmsg: standard input: more than 67108864 bytes
!

$ truncate -s 67108865 $D/big && timeout 20 $T dump PortList $D/big; s=$?; rm $D/big; exit $s
[2]
! big: more than 67108864 bytes
!

$ head -c 67108865 /dev/zero | $T encode PortList
[2]
! standard input: more than 67108864 bytes of JSON
!

# Hex text: a character no form of it has is refused where it is read, and
# more text than an input may hold as soon as it is read.
$ timeout 10 $T decode PortList --hex </dev/zero
[2]
! sshmsg: standard input: offset 0 (line 1, column 1): '\x00' is no character of hex text

$ yes 0e00 | timeout 10 $T decode PortList --hex
[2]
! sshmsg: standard input: more than 67108864 bytes of hex text
!

## JsonInput
# JSON nested a million deep, the same as a member's value, a 10 MB string
# where a number goes, a 10 MB string never closed and a 10 MB number: one short
# error line each, for encode and for send.

$ head -c 1000000 /dev/zero | tr '\0' '[' >$D/deep.json; head -c 1000000 /dev/zero | tr '\0' ']' >>$D/deep.json
> { printf '{"field0": '; cat $D/deep.json; printf '}'; } >$D/member.json
> head -c 10000000 /dev/zero | tr '\0' 1 >$D/ten
> { printf '{"field0": "'; cat $D/ten; printf '"}'; } >$D/long.json
> { printf '{"field0": "'; cat $D/ten; } >$D/open.json
> { printf '{"field0": '; cat $D/ten; printf '}'; } >$D/number.json
> for f in deep member long open number; do for c in encode send; do
>   $T $c FileTrans $D/$f.json >/dev/null 2>$D/err; echo "$c $f: exit $?, $(wc -l <$D/err) line, $(awk 'length >= 4096' $D/err | wc -l) longer"
> done; done
encode deep: exit 2, 1 line, 0 longer
send deep: exit 2, 1 line, 0 longer
encode member: exit 2, 1 line, 0 longer
send member: exit 2, 1 line, 0 longer
encode long: exit 2, 1 line, 0 longer
send long: exit 2, 1 line, 0 longer
encode open: exit 2, 1 line, 0 longer
send open: exit 2, 1 line, 0 longer
encode number: exit 2, 1 line, 0 longer
send number: exit 2, 1 line, 0 longer

$ head -c 100 /dev/zero | tr '\0' '[' | $T encode PortList
[2]
! sshmsg: standard input: offset 32 (line 1, column 33): JSON nested deeper than 32 levels
!

$ { printf '{"field0": "'; head -c 10000000 /dev/zero | tr '\0' a; printf '"}'; } | $T encode FileTrans
[2]
! sshmsg: field0: expected an integer 0..4294967295, got "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa...
!

$ echo '[{"forwardPort": [{"field0": 1}, {"field1": [[[{"x": 1}]]]}]}]' | $T send PortList
[2]
! sshmsg: [0].forwardPort[1].field1: expected an integer 0..4294967295, got [[[{"x":1}]]]
!

## HexForms
# One buffer as each form of hex text gives it: the ForwardPort image.

$ echo '04000000 f4ffffff 901f0000
> 5000 0000 08000c0004000800' | $T decode ForwardPort --hex -c
{"field0":8080,"field1":80}

$ echo '0x04000000f4ffffff901f00005000000008000c0004000800' | $T decode ForwardPort --hex -c
{"field0":8080,"field1":80}

$ echo 'static const uint8_t m[] = { // ForwardPort
>  0x04, 0x0, 0x00, 0x00, /* table */ 0xf4, 0xff, 0xff, 0xff,
>  0x90, 0x1f, 0x00, 0x00, 0x50, 0x00, 0x00, 0x00, 0x08, 0x00, 0x0c, 0x00, 0x04, 0x00, 0x08, 0x00};
> unsigned int m_len = 24;' | $T decode ForwardPort --hex -c
{"field0":8080,"field1":80}

$ echo '00000000: 0400 0000 f4ff ffff 901f 0000 5000 0000  ............P...
> 00000010: 0800 0c00 0400 0800                      ........' | $T decode ForwardPort --hex -c
{"field0":8080,"field1":80}

$ echo '00000000  04 00 00 00 f4 ff ff ff  90 1f 00 00 50 00 00 00  |............P...|
> 00000010  08 00 0c 00 04 00 08 00                           |........|
> 00000018' | $T decode ForwardPort --hex -c
{"field0":8080,"field1":80}

# The forms as the tools write them, from the image in a file.
$ echo '{"field0":8080,"field1":80}' | $T encode ForwardPort --image >$D/fp
> for dump in xxd 'xxd -g1' 'xxd -c8' 'xxd -p' 'xxd -i' 'hexdump -C' 'od -An -tx1'; do
>   echo "$dump: $($dump <$D/fp | $T decode ForwardPort --hex -c)"
> done
xxd: {"field0":8080,"field1":80}
xxd -g1: {"field0":8080,"field1":80}
xxd -c8: {"field0":8080,"field1":80}
xxd -p: {"field0":8080,"field1":80}
xxd -i: {"field0":8080,"field1":80}
hexdump -C: {"field0":8080,"field1":80}
od -An -tx1: {"field0":8080,"field1":80}

# Dumps in other forms are refused, not read as plain hex: their offsets are
# no whole bytes, their groups hold their bytes in another order.
$ echo '{"field0":8080,"field1":80}' | $T encode ForwardPort --image >$D/fp
> for dump in 'od -tx1' 'od -tx2' hexdump 'xxd -e' 'xxd -e -g2'; do
>   echo "$dump: $($dump <$D/fp | $T decode ForwardPort --hex -c 2>&1; echo "exit $?")"
> done | sed 's/ (--hex reads plain hex, 0x prefixes, a C initialiser, xxd (-g 1 or 2) or hexdump -C output)$/ (the forms)/'
od -tx1: sshmsg: standard input: offset 0 (line 1, column 1): 7 hex digits in a row are no whole bytes (the forms)
exit 2
od -tx2: sshmsg: standard input: offset 0 (line 1, column 1): 7 hex digits in a row are no whole bytes (the forms)
exit 2
hexdump: sshmsg: standard input: offset 0 (line 1, column 1): 7 hex digits in a row are no whole bytes (the forms)
exit 2
xxd -e: sshmsg: standard input: offset 10 (line 1, column 11): a group of 8 hex digits (the forms)
exit 2
xxd -e -g2: sshmsg: standard input: offset 49 (line 1, column 50): the ASCII column does not show the line's bytes (the forms)
exit 2

# "*" repeats the line before up to the next offset: 40 zero bytes.
$ echo '00000000  04 00 00 00 f4 ff ff ff  90 1f 00 00 50 00 00 00  |............P...|
> 00000010  08 00 0c 00 04 00 08 00  00 00 00 00 00 00 00 00  |................|
> 00000020  00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 00  |................|
> *
> 00000040' | $T decode ForwardPort --hex -c
{"field0":8080,"field1":80}
! 40 bytes at 24 after the message's data are never read by the decoder

$ printf '0400\n00 0\001f4' | $T decode ForwardPort --hex -c
[2]
! standard input: offset 9 (line 2, column 5): '\x01' is no character of hex text (--hex reads

$ echo '0400 04000 0x0000' | $T decode ForwardPort --hex -c
[2]
! offset 5 (line 1, column 6): 5 hex digits in a row are no whole bytes

$ echo '{0x04, 0x00' | $T decode ForwardPort --hex -c
[2]
! offset 0 (line 1, column 1): '{' is never closed

$ echo 'uint8_t m[] = 0x04' | $T decode ForwardPort --hex -c
[2]
! offset 0 (line 1, column 1): 'u' is not a hex digit

$ echo '0400 /* 0000' | $T decode ForwardPort --hex -c
[2]
! offset 5 (line 1, column 6): '/*' is never closed

$ echo '0x04 0x 00' | $T decode ForwardPort --hex -c
[2]
! offset 5 (line 1, column 6): '0x' without digits

$ echo '00000000  04 00  |..|
> *' | $T decode ForwardPort --hex -c
[2]
! no offset line after '*'

$ echo '00000000: 0400 0000  ....
> 00000008: 0800  ..' | $T decode ForwardPort --hex -c
[2]
! offset 26 (line 2, column 1): the offset column says 0x8 where 0x4 follows the lines before

## Cuts
# --offset and --length cut the ForwardPort image out of a capture, binary or hex.

$ { printf ab; echo '{"field0":8080,"field1":80}' | $T encode ForwardPort --image; printf cd; } >$D/cap; $T decode ForwardPort --offset 2 --length 24 -c $D/cap
{"field0":8080,"field1":80}

$ { printf ab; echo '{"field0":8080,"field1":80}' | $T encode ForwardPort --image; printf cd; } >$D/cap; cat $D/cap | $T decode ForwardPort --offset 2 --length 24 -c
{"field0":8080,"field1":80}

$ { printf ab; echo '{"field0":8080,"field1":80}' | $T encode ForwardPort --image; printf cd; } >$D/cap; $T dump ForwardPort $D/cap --offset 2 --length 27
[2]
! cap: --offset 2 --length 27 runs past the end of the 28-byte input
!

$ echo 'ffff 04000000f4ffffff901f00005000000008000c0004000800 eeee' | $T decode ForwardPort --hex --offset 2 --length 24 -c
{"field0":8080,"field1":80}

$ echo 'ffff 04000000f4ffffff901f00005000000008000c0004000800 eeee' | $T decode ForwardPort --hex --offset 0x1a --length 2
[1]
! (2 bytes): a buffer of 2 bytes

$ echo 'ffff 04000000f4ffffff901f00005000000008000c0004000800 eeee' | $T dump ForwardPort --hex --offset 29
[2]
! standard input: --offset 29 is past the end of the 28-byte hex input
!

$ echo 'ffff 04000000f4ffffff901f00005000000008000c0004000800 eeee' | $T identify --hex --length 29
[2]
! standard input: --length 29 runs past the end of the 28-byte hex input
!

## Identify
# Every example, encoded, is accepted by its own decoder, and by others too:
# the list comes with the cleanest readings first. For each message, the names
# of the decoders that accept its example, among these seven messages (a
# message added later may accept some of the buffers too); then whether the
# record its own decoder yields, compact, encodes to the same bytes.

$ seven='FileTrans FileDir ConnectPara SftpciMessage PortList ForwardPort TcpForwordMessage'
> for m in $seven; do
>   $T encode $m $E/$m.json >$D/buf
>   echo "$m: $($T identify $D/buf | sed -n 's/^Ssh.MsgDef_\([^ ]*\) .*/\1/p' | grep -xE "$(echo $seven | tr ' ' '|')" | paste -sd' ')"
>   $T identify <$D/buf | sed -n "s/^SshsMsgDef_$m [^ ]* //p; s/^SshcMsgDef_$m [^ ]* //p" | $T encode $m | cmp - $D/buf && echo "$m: same"
> done
FileTrans: FileTrans ConnectPara FileDir SftpciMessage ForwardPort TcpForwordMessage
FileTrans: same
FileDir: FileDir ConnectPara ForwardPort
FileDir: same
ConnectPara: ConnectPara FileDir SftpciMessage ForwardPort TcpForwordMessage
ConnectPara: same
SftpciMessage: SftpciMessage ForwardPort
SftpciMessage: same
PortList: PortList FileTrans FileDir ConnectPara SftpciMessage ForwardPort TcpForwordMessage
PortList: same
ForwardPort: SftpciMessage ForwardPort TcpForwordMessage
ForwardPort: same
TcpForwordMessage: TcpForwordMessage SftpciMessage ForwardPort
TcpForwordMessage: same

$ echo ffffffff | $T identify --hex
[1]
! sshmsg: no decoder accepts the buffer (4 bytes)
!

# Every message the tool lists has an example record that encodes.
$ for m in $($T list | awk 'NR > 1 { sub(/^[^_]*_/, "", $1); print $1 }'); do $T encode $m $E/$m.json >/dev/null || echo "no example for $m"; done

## Warnings
# What the record does not show: a NUL among a string's bytes and bytes never
# read, as warnings, or with --strict as errors; control bytes escaped. The
# buffer is FileTrans with field1 "a\x01\0d", then two bytes more.

$ echo 100000000c00110000000400000000000c00000004000000040000006101006400ffff | $T decode FileTrans --hex -c
{"field0":0,"field1":"a\u0001","field2":null,"field3":0}
! sshmsg: warning: FileTrans.field1: the 4-byte string at 28 holds a NUL at 30; the record keeps "a\x01"
! sshmsg: warning: 2 bytes at 33 after the message's data are never read by the decoder
!

$ echo 100000000c00110000000400000000000c00000004000000040000006101006400ffff | $T decode FileTrans --hex --strict
[1]
! sshmsg: error: FileTrans.field1: the 4-byte string at 28 holds a NUL at 30; the record keeps "a\x01"
! sshmsg: error: 2 bytes at 33 after the message's data are never read by the decoder
!

# identify's warnings go to standard error too, each after the reading it is of.
$ echo 100000000c00110000000400000000000c00000004000000040000006101006400ffff | $T identify --hex | grep -v '^Ssh[cs]MsgDef_[A-Za-z]* 0x[0-9A-F]*: {'
[1]
! sshmsg: warning: SshcMsgDef_FileTrans: FileTrans.field1: the 4-byte string at 28 holds a NUL at 30; the record keeps "a\x01"
! sshmsg: warning: SshcMsgDef_FileTrans: 2 bytes at 33 after the message's data are never read by the decoder

$ $T decode "$(printf 'Port\033[2JList')"
[2]
! unknown message 'Port\x1B[2JList'

$ printf '{"field0": "a\001"}' | $T encode PortList
[2]
! standard input: offset 13 (line 1, column 14): syntax error

## UsesTheSharedLibrary
# The tool's library calls bind to the shared library: it needs
# libssh_msg_def.so.1 and defines none of the library's functions.

$ readelf -d $T | grep -c 'NEEDED.*\[libssh_msg_def\.so\.1\]'; nm $T | grep -E ' [TtWw] (Ssh[cs]MsgDef_|ssh[cs]_msg_def_)' | wc -l
1
0
