#include "samples.h"

#include "realistic.h"

namespace smd_fuzz {
namespace {

template <const smd::Schema *S>
Sample Encode(const char *name, const void *rec) {
    Bytes out(EncodedSize<S>(rec));
    uint32_t len = static_cast<uint32_t>(out.size());
    if (smd::Pack<S>(rec, out.data(), &len) != 0) Fail("a sample packs", name);
    return {S, name, out};
}

}  // namespace

std::vector<Sample> RealisticSamples() {
    namespace real = smd_realistic;
    return {Encode<&smd::kFileTrans>("file-trans", &real::kFileTrans),
            Encode<&smd::kFileDir>("file-dir", &real::kFileDir),
            Encode<&smd::kConnectPara>("connect-para", &real::kConnectPara),
            Encode<&smd::kSftpciMessage>("sftpci-message", &real::kSftpciMessage),
            Encode<&smd::kPortList>("port-list", &real::kPortList),
            Encode<&smd::kForwardPort>("forward-port", &real::kForwardPort),
            Encode<&smd::kTcpForwordMessage>("tcp-forword-message", &real::kTcpForwordMessage)};
}

}  // namespace smd_fuzz
