// The sshmsg tool on byte vectors: encode and decode round trips (the 81-byte
// PortList, bytes that are not UTF-8, null versus empty strings, the fixed
// image), a rejected buffer's exit status and log line, a batch sent through
// the host framework with every record block released, and usage errors. Each
// case is a shell line run with $T set to the tool.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

#define PORT_LIST_HEX                                                                                               \
    "0e0000000a001f000400000008000a000000080000000b0000000200000061620002000000100000001c0000000800080004000000080" \
    "000000500000008000c0004000800080000000700000009000000"
#define PORT_LIST_JSON \
    R"({"field0":"ab","field1":null,"forwardPortCount":2,"forwardPort":[{"field0":5,"field1":0},{"field0":7,"field1":9}]})"

struct Case {
    const char *command;
    int status;
    const char *out;  // the whole of standard output
    const char *err;  // a part of standard error
};

std::string Slurp(const std::string &path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Sshmsg, Commands) {
    const Case cases[] = {
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
        {"echo 04000000f4ffffff901f00005000000008000c0004000800 | $T decode ForwardPort --hex -c", 0,
         R"({"field0":8080,"field1":80})"
         "\n",
         ""},
        {"echo ff000000 0a00 1f00 | $T decode PortList --hex", 1, "",
         "Table offset(255) is out of range(4 - 8)\nsshmsg: SshsMsgDef_PortList rejected the buffer (8 bytes): "
         "table offset 255 (from the offset at 0) is outside 4 to 4\n"},
        {"echo 0102 | $T decode FileTrans --hex", 1, "", "(2 bytes): a buffer of 2 bytes is below the 4-byte minimum"},
        {"echo 10000000 0C00 1300 0400 0800 00000000 0C000000 01000000 04000000 04000000 616200 | $T dump FileTrans "
         "--hex | tail -2",
         0,
         "    28  04 00 00 00                 field1: string length 4\n"
         "rejected: field1: 4 bytes at 32 run past the end of the 35-byte buffer\n",
         ""},
        {"echo " PORT_LIST_HEX " | $T dump PortList --hex", 0, R"(SshsMsgDef_PortList, 81 bytes
offset  bytes                       meaning
     0  0e 00 00 00                 root offset: table at 14
     4  0a 00                       PortList vtable: length 10
     6  1f 00                       PortList vtable: table length 31
     8  04 00                       field slot field0: table + 4
    10  00 00                       field slot field1: absent
    12  08 00                       field slot forwardPort: table + 8
    14  0a 00 00 00                 PortList table: vtable delta 10, vtable at 4
    18  08 00 00 00                 field0: forward offset 8, to 26
    22  0b 00 00 00                 forwardPort: forward offset 11, to 33
    26  02 00 00 00                 field0: string length 2
    30  61 62                       field0: "ab"
    32  00                          not read by the decoder
    33  02 00 00 00                 forwardPort: count 2
    37  10 00 00 00                 forwardPort[0]: forward offset 16, to 53
    41  1c 00 00 00                 forwardPort[1]: forward offset 28, to 69
    45  08 00                       ForwardPort vtable: length 8
    47  08 00                       ForwardPort vtable: table length 8
    49  04 00                       field slot field0: table + 4
    51  00 00                       field slot field1: absent
    53  08 00 00 00                 ForwardPort table: vtable delta 8, vtable at 45
    57  05 00 00 00                 field0 = 5
    61  08 00                       ForwardPort vtable: length 8
    63  0c 00                       ForwardPort vtable: table length 12
    65  04 00                       field slot field0: table + 4
    67  08 00                       field slot field1: table + 8
    69  08 00 00 00                 ForwardPort table: vtable delta 8, vtable at 61
    73  07 00 00 00                 field0 = 7
    77  09 00 00 00                 field1 = 9
accepted
)",
         ""},
        {R"(echo '[{"field1":"a"},{"field0":2}]' | $T send FileTrans --count 2 --target 5 | grep -v '^host:')", 0,
         R"(recv 1/4: SshcMsgDef_FileTrans 0x9B687FAC handle 1 target 5, 30 bytes: {"field0":0,"field1":"a","field2":null,"field3":0}
recv 2/4: SshcMsgDef_FileTrans 0x9B687FAC handle 1 target 5, 24 bytes: {"field0":2,"field1":null,"field2":null,"field3":0}
recv 3/4: SshcMsgDef_FileTrans 0x9B687FAC handle 1 target 5, 30 bytes: {"field0":0,"field1":"a","field2":null,"field3":0}
recv 4/4: SshcMsgDef_FileTrans 0x9B687FAC handle 1 target 5, 24 bytes: {"field0":2,"field1":null,"field2":null,"field3":0}
sent: SshcMsgDef_FileTrans__sendtomsg(handle 1, 4 records, target 5) returned 0
osal: 1 send buffer, 2 record blocks allocated; 0 still live
)",
         ""},
        {R"(echo '{"field1":"a\u0000b"}' | $T encode FileTrans --hex)", 2, "", "field1: a string cannot hold a NUL"},
        {R"(echo '{"forwardPortCount":1}' | $T encode PortList --hex)", 2, "", "forwardPortCount: does not match"},
        {"$T decode NoSuchMessage", 2, "", "unknown message 'NoSuchMessage'"},
        {"$T send", 2, "", "MESSAGE is required (see 'sshmsg send --help')"},
    };
    const std::string dir = testing::TempDir();
    for (const Case &c : cases) {
        const std::string cmd = std::string("T=" SSHMSG "; (") + c.command + ") >" + dir + "out 2>" + dir + "err";
        const int raw = system(cmd.c_str());
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, c.status) << c.command;
        EXPECT_EQ(Slurp(dir + "out"), c.out) << c.command;
        EXPECT_NE(Slurp(dir + "err").find(c.err), std::string::npos) << c.command << "\n" << Slurp(dir + "err");
    }
}

}  // namespace
