// libFuzzer entry, one build target per message (SMD_FUZZ_SCHEMA names its
// schema): the input goes to that message's decoder, through the checks of
// invariants.h.
#include "invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    for (const smd_fuzz::Codec &c : smd_fuzz::kCodecs)
        if (&c.s == &ssh_msg_def::internal::SMD_FUZZ_SCHEMA) (void)smd_fuzz::CheckDecode(c, data, size);
    return 0;
}
