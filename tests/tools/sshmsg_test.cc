// The sshmsg tool on byte vectors: encode and decode round trips, a rejected
// buffer's exit status and log line, the layout, sends through the host
// framework (a refused batch explained), usage errors, failed writes, input
// limits, hex as pasted, cuts, identify on every example, warnings, escaped
// bytes in messages, and a tool bound to the shared library. Each case is a
// shell line run with $T set to the tool, $D to a scratch directory and $E to
// the examples.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

#define PORT_LIST_HEX                                                                                               \
    "0e0000000a001f000400000008000a000000080000000b0000000200000061620002000000100000001c0000000800080004000000080" \
    "000000500000008000c0004000800080000000700000009000000"
#define PORT_LIST_JSON \
    R"({"field0":"ab","field1":null,"forwardPortCount":2,"forwardPort":[{"field0":5,"field1":0},{"field0":7,"field1":9}]})"
#define FORWARD_PORT_JSON            \
    R"({"field0":8080,"field1":80})" \
    "\n"

struct Case {
    std::string command;
    int status;
    std::string out;  // the whole of standard output
    std::string err;  // a part of standard error
};

std::string Slurp(const std::string &path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Check(const std::vector<Case> &cases) {
    const std::string dir =
        testing::TempDir() + "sshmsg_" + testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_EQ(system(("mkdir -p " + dir).c_str()), 0);
    for (const Case &c : cases) {
        const std::string cmd =
            "T=" SSHMSG " D=" + dir + " E=" EXAMPLES "; (" + c.command + ") >" + dir + "/out 2>" + dir + "/err";
        const int raw = system(cmd.c_str());
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, c.status) << c.command;
        EXPECT_EQ(Slurp(dir + "/out"), c.out) << c.command;
        EXPECT_NE(Slurp(dir + "/err").find(c.err), std::string::npos) << c.command << "\n" << Slurp(dir + "/err");
    }
}

TEST(Sshmsg, Commands) {
    Check({
        {"echo '" PORT_LIST_JSON "' | $T encode PortList --hex", 0, PORT_LIST_HEX "\n", ""},
        {"echo " PORT_LIST_HEX " | $T decode 0x71670B77 --hex -c", 0, PORT_LIST_JSON "\n", ""},
        {"echo " PORT_LIST_HEX " | $T decode PortList --hex | $T encode SshsMsgDef.PortList --hex", 0,
         PORT_LIST_HEX "\n", ""},
        {R"(echo '{"field1":{"hex":"ff41"},"field2":"","field3":7}' | $T encode FileTrans | $T decode FileTrans -c)", 0,
         R"({"field0":0,"field1":{"hex":"ff41"},"field2":"","field3":7})"
         "\n",
         ""},
        {R"(echo '{"field0":8080,"field1":80}' | $T encode ForwardPort --image --hex)", 0,
         "04000000f4ffffff901f00005000000008000c0004000800\n", ""},
        {"echo ff000000 0a00 1f00 | $T decode PortList --hex", 1, "",
         "Table offset(255) is out of range(4 - 8)\nsshmsg: SshsMsgDef_PortList rejected the buffer (8 bytes): "
         "table offset 255 (from the offset at 0) is outside 4 to 4\n"},
        {"echo 0102 | $T decode FileTrans --hex", 1, "", "(2 bytes): a buffer of 2 bytes is below the 4-byte minimum"},
        {"echo 04000000 F0FFFFFF 16000000 901F0000 0400 0C00 | $T decode ForwardPort --hex", 1, "",
         "(20 bytes): the vtable delta at 4 puts the vtable at 20, outside 4 to 16\n"},
        {"echo 10000000 0C00 1300 0400 0800 00000000 0C000000 01000000 04000000 04000000 616200 | $T dump FileTrans "
         "--hex | tail -2",
         0,
         "    28  04 00 00 00                 field1: string length 4\n"
         "rejected: field1: 4 bytes at 32 run past the end of the 35-byte buffer\n",
         ""},
        // Now the offset word of field1 is the one cut short.
        {"echo 10000000 0C00 1300 0400 1000 00000000 0C000000 01000000 04000000 02000000 616200 | $T dump FileTrans "
         "--hex | tail -1",
         0, "rejected: field1: 4 bytes at 32 run past the end of the 35-byte buffer\n", ""},
        {"echo 10000000 0C00 1300 0400 0800 00000000 0C000000 01000000 F0FFFFFF 02000000 616200 | $T dump FileTrans "
         "--hex | tail -1",
         0, "rejected: field1: forward offset 4294967280 at 24 wraps past 2^32\n", ""},
        {"echo " PORT_LIST_HEX " | $T dump PortList --hex | sed -n '1,3p;14p;17p;$p'", 0,
         "SshsMsgDef_PortList, 81 bytes\n"
         "offset  bytes                       meaning\n"
         "     0  0e 00 00 00                 root offset: table at 14\n"
         "    32  00                          not read by the decoder\n"
         "    41  1c 00 00 00                 forwardPort[1]: forward offset 28, to 69\n"
         "accepted\n",
         ""},
        {R"(echo '[{"field1":"a"},{"field0":2}]' | $T send FileTrans --count 2 --target 5 | grep -v '^host:')", 0,
         R"(recv 1/4: SshcMsgDef_FileTrans 0x9B687FAC handle 1 target 5, accepted, 30 bytes: {"field0":0,"field1":"a","field2":null,"field3":0}
recv 2/4: SshcMsgDef_FileTrans 0x9B687FAC handle 1 target 5, accepted, 24 bytes: {"field0":2,"field1":null,"field2":null,"field3":0}
recv 3/4: SshcMsgDef_FileTrans 0x9B687FAC handle 1 target 5, accepted, 30 bytes: {"field0":0,"field1":"a","field2":null,"field3":0}
recv 4/4: SshcMsgDef_FileTrans 0x9B687FAC handle 1 target 5, accepted, 24 bytes: {"field0":2,"field1":null,"field2":null,"field3":0}
sent: SshcMsgDef_FileTrans__sendtomsg(handle 1, 4 records, target 5) returned 0
osal: 1 send buffer, 2 record blocks allocated; 0 still live
)",
         ""},
        // 4125 bytes a record: the 16th no longer fits.
        {R"(printf '{"field1":"%s"}' $(printf %4096s | tr ' ' a) >$D/big.json; )"
         "$T send FileTrans $D/big.json --count 17 >$D/o; s=$?; tail -1 $D/o; exit $s",
         1, "osal: 1 send buffer, 0 record blocks allocated; 0 still live\n",
         "SshcMsgDef_FileTrans__sendmsg refused the send: record 16 of 17 (4125 bytes) no longer fit the 65536-byte "
         "encoding area: the 15 records before it took 61875 bytes\n"},
        {R"(echo '{"field1":"a\u0000b"}' | $T encode FileTrans --hex)", 2, "", "field1: a string cannot hold a NUL"},
        {R"(echo '{"forwardPortCount":1}' | $T encode PortList --hex)", 2, "", "forwardPortCount: does not match"},
        {"$T decode NoSuchMessage", 2, "", "unknown message 'NoSuchMessage'"},
        {"$T send", 2, "", "MESSAGE is required (see 'sshmsg send --help')"},
    });
}

// The rule that refused a buffer, as the tool states it: one row per rule the
// tests above leave out.
TEST(Sshmsg, Refusals) {
    // The 81-byte PortList with `bytes` (hex) written at byte `at`, then `tail`.
    auto list = [](size_t at, const char *bytes, const char *tail = "") {
        return "PortList " + std::string(PORT_LIST_HEX).replace(2 * at, strlen(bytes), bytes) + tail;
    };
    const std::pair<std::string, const char *> rows[] = {
        {"FileTrans 100000002000130004000800000000000c000000010000000400000002000000616200",
         "vtable length 32 at 4 runs past the end (31 bytes left)"},
        {"FileTrans 100000000c001300ffff0800000000000c000000010000000400000002000000616200",
         "field0: 4 bytes at 65551 run past the end of the 35-byte buffer"},
        {list(33, "00000040"), "forwardPort: count 1073741824 at 33 is above 0x3FFFFFFF"},
        {list(33, "ffffff3f"), "forwardPort: 4294967292 bytes at 37 run past the end of the 81-byte buffer"},
        {list(33, "0c000000", "000000"), "forwardPort: 48 bytes at 37 run past the end of the 84-byte buffer"},
        {list(37, "f0ffffff"), "forwardPort: forward offset 4294967280 at 37 wraps past 2^32"},
    };
    std::vector<Case> cases;
    for (const auto &[input, reason] : rows) {
        const std::string message = input.substr(0, input.find(' '));
        cases.push_back({"echo " + input.substr(message.size()) + " | $T decode " + message + " --hex", 1, "",
                         std::string(" bytes): ") + reason});
    }
    Check(cases);
}

// A write that fails is exit 2 with one line; a closed pipe ends the tool on
// SIGPIPE (shell status 141), or, with SIGPIPE ignored, on EPIPE as exit 2.
TEST(Sshmsg, FailedWrites) {
    const std::string kFull = "sshmsg: cannot write standard output: No space left on device\n";
    Check({
        {"$T list >/dev/full", 2, "", kFull},
        {"$T --help >/dev/full", 2, "", kFull},
        {"echo " PORT_LIST_HEX " | $T decode PortList --hex >/dev/full", 2, "", kFull},
        {"echo '" PORT_LIST_JSON "' | $T encode PortList >/dev/full", 2, "", kFull},
        {R"(printf '{"field1":"%s"}' $(printf %8192s | tr ' ' a) | $T encode FileTrans >/dev/full)", 2, "", kFull},
        {"{ (sleep 0.2; $T list; echo $? >&3) | true; } 3>&1", 0, "141\n", ""},
        {"{ (trap '' PIPE; sleep 0.2; $T list; echo $? >&3) | true; } 3>&1", 0, "2\n",
         "sshmsg: cannot write standard output: Broken pipe\n"},
    });
}

// Each numeric option refuses a negative, an overflowing and a non-numeric value.
TEST(Sshmsg, NumericOptions) {
    struct Option {
        const char *name, *command, *tooLarge;
    };
    const Option options[] = {
        {"--count", "send PortList $E/PortList.json", "1000001"},
        {"--target", "send PortList $E/PortList.json", "18446744073709551616"},
        {"--handle", "send PortList $E/PortList.json", "4294967296"},
        {"--offset", "decode PortList $E/PortList.json", "18446744073709551616"},
        {"--length", "identify $E/PortList.json", "2147483648"},
    };
    std::vector<Case> cases;
    for (const Option &o : options) {
        for (const std::string value : {"-1", o.tooLarge, "12x", "0x"}) {
            cases.push_back({"$T " + std::string(o.command) + " " + o.name + "='" + value + "'", 2, "",
                             std::string(o.name) + ": '" + value + "' is not a number from "});
        }
    }
    cases.push_back({"$T send ForwardPort $E/ForwardPort.json --target 0x2A --handle 7 | grep -o 'handle 7 target 42'",
                     0, "handle 7 target 42\n", ""});
    Check(cases);
}

// Inputs past their limit are refused as soon as the limit is passed.
TEST(Sshmsg, InputLimits) {
    Check({
        {"timeout 20 $T decode PortList </dev/zero", 2, "",
         "sshmsg: standard input: more than 2147483647 bytes, the most a decoder accepts\n"},
        {"truncate -s 2147483648 $D/big && timeout 20 $T dump PortList $D/big; s=$?; rm $D/big; exit $s", 2, "",
         "big: more than 2147483647 bytes, the most a decoder accepts\n"},
        {"head -c 67108865 /dev/zero | $T encode PortList", 2, "",
         "standard input: more than 67108864 bytes of JSON\n"},
    });
}

// One buffer as each form of hex text gives it: the ForwardPort image.
TEST(Sshmsg, HexForms) {
    const std::string decode = " | $T decode ForwardPort --hex -c";
    Check({
        {"echo '04000000 f4ffffff 901f0000\n5000 0000 08000c0004000800'" + decode, 0, FORWARD_PORT_JSON, ""},
        {"echo '0x04000000f4ffffff901f00005000000008000c0004000800'" + decode, 0, FORWARD_PORT_JSON, ""},
        {"echo 'static const uint8_t m[] = { // ForwardPort\n 0x04, 0x0, 0x00, 0x00, /* table */ 0xf4, 0xff, 0xff, "
         "0xff,\n 0x90, 0x1f, 0x00, 0x00, 0x50, 0x00, 0x00, 0x00, 0x08, 0x00, 0x0c, 0x00, 0x04, 0x00, 0x08, 0x00};\n"
         "unsigned int m_len = 24;'" +
             decode,
         0, FORWARD_PORT_JSON, ""},
        {"echo '00000000: 0400 0000 f4ff ffff 901f 0000 5000 0000  ............P...\n"
         "00000010: 0800 0c00 0400 0800                      ........'" +
             decode,
         0, FORWARD_PORT_JSON, ""},
        {"echo '00000000  04 00 00 00 f4 ff ff ff  90 1f 00 00 50 00 00 00  |............P...|\n"
         "00000010  08 00 0c 00 04 00 08 00                           |........|\n00000018'" +
             decode,
         0, FORWARD_PORT_JSON, ""},
        // "*" repeats the line before up to the next offset: 40 zero bytes.
        {"echo '00000000  04 00 00 00 f4 ff ff ff  90 1f 00 00 50 00 00 00  |............P...|\n"
         "00000010  08 00 0c 00 04 00 08 00  00 00 00 00 00 00 00 00  |................|\n"
         "00000020  00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 00  |................|\n*\n00000040'" +
             decode,
         0, FORWARD_PORT_JSON, "40 bytes at 24 after the message's data are never read by the decoder"},
        {"printf '0400\\n00 0\\001f4'" + decode, 2, "",
         "standard input: offset 9 (line 2, column 5): '\\x01' is not a hex digit\n"},
        {"echo '04000 0x0000'" + decode, 2, "", "offset 4 (line 1, column 5): an odd number of hex digits ends here"},
        {"echo '{0x04, 0x00'" + decode, 2, "", "offset 0 (line 1, column 1): '{' is never closed"},
        {"echo 'uint8_t m[] = 0x04'" + decode, 2, "", "offset 0 (line 1, column 1): 'u' is not a hex digit"},
        {"echo '0400 /* 0000'" + decode, 2, "", "offset 5 (line 1, column 6): '/*' is never closed"},
        {"echo '0x04 0x 00'" + decode, 2, "", "offset 5 (line 1, column 6): '0x' without digits"},
        {"echo '00000000  04 00  |..|\n*'" + decode, 2, "", "no offset line after '*'"},
        {"echo '00000000: 0400 0000\n00000008: 0800'" + decode, 2, "",
         "offset 20 (line 2, column 1): the offset column says 0x8 where 0x4 follows the lines before"},
    });
}

// --offset and --length cut the ForwardPort image out of a capture, binary or hex.
TEST(Sshmsg, Cuts) {
    const std::string capture =
        R"({ printf ab; echo '{"field0":8080,"field1":80}' | $T encode ForwardPort --image; printf cd; } >$D/cap; )";
    const std::string hex = "echo 'ffff 04000000f4ffffff901f00005000000008000c0004000800 eeee' | ";
    Check({
        {capture + "$T decode ForwardPort --offset 2 --length 24 -c $D/cap", 0, FORWARD_PORT_JSON, ""},
        {capture + "cat $D/cap | $T decode ForwardPort --offset 2 --length 24 -c", 0, FORWARD_PORT_JSON, ""},
        {capture + "$T dump ForwardPort $D/cap --offset 2 --length 27", 2, "",
         "cap: --offset 2 --length 27 runs past the end of the 28-byte input\n"},
        {hex + "$T decode ForwardPort --hex --offset 2 --length 24 -c", 0, FORWARD_PORT_JSON, ""},
        {hex + "$T decode ForwardPort --hex --offset 0x1a --length 2", 1, "", "(2 bytes): a buffer of 2 bytes"},
        {hex + "$T dump ForwardPort --hex --offset 29", 2, "",
         "standard input: --offset 29 is past the end of the 28-byte hex input\n"},
        {hex + "$T identify --hex --length 29", 2, "",
         "standard input: --length 29 runs past the end of the 28-byte hex input\n"},
    });
}

// Every example, encoded, is accepted by its own decoder, and by others too:
// the list comes with the cleanest readings first.
TEST(Sshmsg, Identify) {
    const std::pair<const char *, const char *> examples[] = {
        {"FileTrans", "FileTrans ConnectPara FileDir SftpciMessage ForwardPort TcpForwordMessage"},
        {"FileDir", "FileDir ConnectPara ForwardPort"},
        {"ConnectPara", "ConnectPara FileDir SftpciMessage ForwardPort TcpForwordMessage"},
        {"SftpciMessage", "SftpciMessage ForwardPort"},
        {"PortList", "PortList FileTrans FileDir ConnectPara SftpciMessage ForwardPort TcpForwordMessage"},
        {"ForwardPort", "SftpciMessage ForwardPort TcpForwordMessage"},
        {"TcpForwordMessage", "TcpForwordMessage SftpciMessage ForwardPort"},
    };
    // Among these messages: a message added later may accept some of the buffers too.
    std::string seven;
    for (const auto &example : examples) seven += (seven.empty() ? "" : "|") + std::string(example.first);
    std::vector<Case> cases;
    for (const auto &[message, accepted] : examples) {
        const std::string m = message;
        // The names of the accepting decoders, then the record its own decoder yields, compact.
        cases.push_back({"$T encode " + m + " $E/" + m + ".json >$D/buf; $T identify $D/buf | sed -n " +
                             "'s/^Ssh.MsgDef_\\([^ ]*\\) .*/\\1/p' | grep -xE '" + seven +
                             "' | paste -sd' '; $T identify <$D/buf | " + "sed -n 's/^SshsMsgDef_" + m +
                             " [^ ]* //p; s/^SshcMsgDef_" + m + " [^ ]* //p' | " + "$T encode " + m +
                             " | cmp - $D/buf && echo same",
                         0, std::string(accepted) + "\nsame\n", ""});
    }
    cases.push_back({"echo ffffffff | $T identify --hex", 1, "", "sshmsg: no decoder accepts the buffer (4 bytes)\n"});
    // Every message the tool lists has an example record that encodes.
    cases.push_back(
        {"for m in $($T list | awk 'NR > 1 { sub(/^[^_]*_/, \"\", $1); print $1 }'); do "
         "$T encode $m $E/$m.json >/dev/null || echo \"no example for $m\"; done",
         0, "", ""});
    Check(cases);
}

// What the record does not show: a NUL among a string's bytes and bytes never
// read, as warnings, or with --strict as errors; control bytes escaped.
TEST(Sshmsg, Warnings) {
    // FileTrans with field1 "a\x01\0d", then two bytes more.
    const std::string buffer = "echo 100000000c00110000000400000000000c00000004000000040000006101006400ffff | ";
    const std::string nul = R"(FileTrans.field1: the 4-byte string at 28 holds a NUL at 30; the record keeps "a\x01")";
    const std::string unread = "2 bytes at 33 after the message's data are never read by the decoder";
    Check({
        {buffer + "$T decode FileTrans --hex -c", 0,
         R"({"field0":0,"field1":"a\u0001","field2":null,"field3":0})"
         "\n",
         "sshmsg: warning: " + nul + "\nsshmsg: warning: " + unread + "\n"},
        {buffer + "$T decode FileTrans --hex --strict", 1, "",
         "sshmsg: error: " + nul + "\nsshmsg: error: " + unread + "\n"},
        {buffer + "$T identify --hex | grep -A2 ^SshcMsgDef_FileTrans", 0,
         "SshcMsgDef_FileTrans 0x9B687FAC: {\"field0\":0,\"field1\":\"a\\u0001\",\"field2\":null,\"field3\":0}\n"
         "    warning: " +
             nul + "\n    warning: " + unread + "\n",
         ""},
        {"$T decode \"$(printf 'Port\\033[2JList')\"", 2, "", "unknown message 'Port\\x1B[2JList'"},
        {"printf '{\"field0\": \"a\\001\"}' | $T encode PortList", 2, "",
         "standard input: offset 13 (line 1, column 14): syntax error"},
    });
}

// The tool's library calls bind to the shared library: it needs
// libssh_msg_def.so.1 and defines none of the library's functions.
TEST(Sshmsg, UsesTheSharedLibrary) {
    Check({
        {"readelf -d $T | grep -c 'NEEDED.*\\[libssh_msg_def\\.so\\.1\\]'; "
         "nm $T | grep -E ' [TtWw] (Ssh[cs]MsgDef_|ssh[cs]_msg_def_)' | wc -l",
         0, "1\n0\n", ""},
    });
}

}  // namespace
