// libFuzzer entry, one build target per message (SMD_FUZZ_SCHEMA names its
// schema): the input goes to that message's decoder, through the checks of
// invariants.h.
#include "invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const smd_fuzz::Message &m = ssh_msg_def::internal::MessageOf(ssh_msg_def::internal::SMD_FUZZ_SCHEMA);
    (void)smd_fuzz::CheckDecode(m, data, size);
    return 0;
}
