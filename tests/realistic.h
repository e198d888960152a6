// Records as a client and a server really send them: every string set, paths
// and algorithm lists of realistic length, lists of many ports, the larger
// messages holding the smaller ones. The fuzz corpora are seeded with their
// encodings and the regression runner sweeps their allocation failures; the
// benchmarks measure them.
#ifndef SSH_MSG_DEF_TESTS_REALISTIC_H
#define SSH_MSG_DEF_TESTS_REALISTIC_H

#include <stdint.h>

#include "messages.h"
#include "ssh_msg_def/ssh_msg_def.h"

namespace smd_realistic {

inline constexpr uint32_t kMaxPorts = 64;

// Element i of a list: port 10000 + i forwarded to 20000 + i.
inline SshsMsgDef_ForwardPort Port(uint32_t i) { return {10000 + i, 20000 + i}; }

// A list of n ports, n at most kMaxPorts.
inline SshsMsgDef_PortList PortList(uint32_t n) {
    static SshsMsgDef_ForwardPort ports[kMaxPorts];
    for (uint32_t i = 0; i < kMaxPorts; ++i) ports[i] = Port(i);
    return {const_cast<char *>("tunnel-eu-west-07"), const_cast<char *>("10.20.30.40"), n, ports};
}

inline const SshcMsgDef_FileTrans kFileTrans = {0x1A4, const_cast<char *>("/home/alice/projects/app/main.c"),
                                                const_cast<char *>("/srv/backup/2024/app/main.c.gz"), 8192};
inline const SshcMsgDef_FileDir kFileDir = {const_cast<char *>("/var/log/app/2024-06"), 0x1ED, 120, 1718000000,
                                            const_cast<char *>("*.log")};
inline const SshcMsgDef_ConnectPara kConnectPara = {
    const_cast<char *>("build-07.eu-west.internal.example.net"),
    22,
    const_cast<char *>("deploy"),
    30000,
    const_cast<char *>("/home/deploy/.ssh/id_ed25519"),
    const_cast<char *>("curve25519-sha256,ecdh-sha2-nistp256,diffie-hellman-group14-sha256,aes128-gcm,aes256-ctr,"
                       "hmac-sha2-256"),
    const_cast<char *>("Authorised access only. Sessions are logged."),
    3};
inline const SshcMsgDef_SftpciMessage kSftpciMessage = {7, 1, 4096, 0x20, kConnectPara, kFileDir, kFileTrans};
inline const SshsMsgDef_PortList kPortList = PortList(16);
inline const SshsMsgDef_ForwardPort kForwardPort = {2222, 22};
inline const SshsMsgDef_TcpForwordMessage kTcpForwordMessage = {3, 0x7F000001, 8080, 1, PortList(kMaxPorts)};

// The realistic record of a message, of its record type.
inline const void *Realistic(const ssh_msg_def::internal::Message &m) {
#define SMD_REALISTIC(Ns, Msg, ...) static_cast<const Ns##_##Msg *>(&k##Msg),
    static const void *const kAll[] = {SSH_MSG_DEF_MESSAGES(SMD_REALISTIC)};
#undef SMD_REALISTIC
    return kAll[&m - ssh_msg_def::internal::Messages().data()];
}

}  // namespace smd_realistic

#endif
