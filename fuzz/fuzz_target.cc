// libFuzzer entry: with SMD_FUZZ_SCHEMA set (one build target per message) the
// input goes to that message's decoder, otherwise it steers the building of
// records of all seven messages. Either way through the checks of invariants.h.
#include "invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
#ifdef SMD_FUZZ_SCHEMA
    (void)smd_fuzz::CheckDecode<&ssh_msg_def::internal::SMD_FUZZ_SCHEMA>(data, size);
#else
    smd_fuzz::CheckRecords(data, size);
#endif
    return 0;
}
