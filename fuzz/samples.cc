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
#define SMD_ENCODE(Ns, Msg, ...) Encode<&smd::k##Msg>("realistic-" #Msg, &smd_realistic::k##Msg),
    return {SSH_MSG_DEF_MESSAGES(SMD_ENCODE)};
#undef SMD_ENCODE
}

}  // namespace smd_fuzz
