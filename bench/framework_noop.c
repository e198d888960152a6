/* The messaging framework as the benchmarks see it: every call succeeds and
 * does nothing, so a send measures the library alone. Exported from the
 * benchmark programs, where the library's undefined VORN_ functions land. */
#include "ssh_msg_def/platform.h"

uint32_t VORN_SendMsg(uint32_t handle, const SshMsgDef_MsgDesc *descs, uint32_t count) {
    (void)handle, (void)descs, (void)count;
    return 0;
}

uint32_t VORN_SendToMsg(uint32_t handle, const SshMsgDef_MsgDesc *descs, uint32_t count, uint64_t target) {
    (void)handle, (void)descs, (void)count, (void)target;
    return 0;
}

uint32_t VORN_RegIDLFuncHook(uint32_t msgId, SshMsgDef_UnpackFn unpack, SshMsgDef_ReleaseFn release) {
    (void)msgId, (void)unpack, (void)release;
    return 0;
}

uint32_t VORN_RegIDLResorceCleanFuncHook(SshMsgDef_ResourceCleanFn clean) {
    (void)clean;
    return 0;
}
