#include "samples.h"

namespace smd_fuzz {
namespace {

char *S(const char *s) { return const_cast<char *>(s); }

SshsMsgDef_ForwardPort gPorts[] = {{22, 2222}, {80, 8080}, {443, 8443}, {5432, 15432}, {0, 9000}, {6379, 0}};

const SshcMsgDef_FileTrans kTrans = {0x1A4, S("/home/operator/projects/release/archive-2024-06.tar.gz"),
                                     S("/srv/backup/incoming/"), 1};
const SshcMsgDef_FileDir kDir = {S("/var/log/remote/build-07"), 1, 0x1ED, 4096, S("*.log")};
const SshcMsgDef_ConnectPara kPara = {S("build-07.internal.example.org"),
                                      22,
                                      S("operator"),
                                      3,
                                      S("/home/operator/.ssh/id_ed25519"),
                                      S("aes128-ctr,aes192-ctr,aes256-ctr,aes128-gcm,aes256-gcm"),
                                      S("Authorised use only. Sessions are logged."),
                                      30000};

template <const smd::Schema *S>
Sample Encode(const char *name, const void *rec) {
    Bytes out(smd::RootSize<S>(rec));
    uint32_t len = static_cast<uint32_t>(out.size());
    if (smd::Pack<S>(rec, out.data(), &len) != 0) Fail("a sample packs", name);
    return {S, name, out};
}

}  // namespace

std::vector<Sample> RealisticSamples() {
    const SshcMsgDef_SftpciMessage sftpci = {2, 1, 0x8000, 7, kPara, kDir, kTrans};
    const SshsMsgDef_ForwardPort port = {22, 8080};
    const SshsMsgDef_PortList list = {S("lo"), S("eth0"), 6, gPorts};
    const SshsMsgDef_TcpForwordMessage tcp = {1, 2, 3, 4, {S("0.0.0.0"), S(""), 6, gPorts}};
    return {Encode<&smd::kFileTrans>("file-trans", &kTrans),
            Encode<&smd::kFileDir>("file-dir", &kDir),
            Encode<&smd::kConnectPara>("connect-para", &kPara),
            Encode<&smd::kSftpciMessage>("sftpci-message", &sftpci),
            Encode<&smd::kPortList>("port-list", &list),
            Encode<&smd::kForwardPort>("forward-port", &port),
            Encode<&smd::kTcpForwordMessage>("tcp-forword-message", &tcp)};
}

}  // namespace smd_fuzz
