// The framework call and the send module's memory hooks, shared by every send.
#include "send.h"

namespace ssh_msg_def::internal {

uint32_t CallFramework(uint32_t handle, const SshMsgDef_MsgDesc *descs, uint32_t count, uint64_t target) {
    return target != 0 ? VORN_SendToMsg(handle, descs, count, target) : VORN_SendMsg(handle, descs, count);
}

void *SendAlloc(Context &ctx, uint32_t size, const char *tag) {
    resolve_platform_hooks(ctx);
    return ctx.memAlloc(size, kModuleId, tag);
}

void SendFree(Context &ctx, void *block, const char *tag) {
    resolve_platform_hooks(ctx);
    ctx.memFree(block, kModuleId, tag);
}

}  // namespace ssh_msg_def::internal
