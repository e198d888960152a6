/* What the library expects of the platform. It is not needed to use the
 * library; it is the contract for whoever provides the platform side.
 *
 * Messaging framework (resolved by the dynamic linker when the library loads):
 * the four VORN_ functions below. OS abstraction layer (looked up by name with
 * dlsym at first use, never linked; any of them may be absent, the library then
 * falls back to malloc/free and to no logging): the five ZVD_Osal functions. */
#ifndef SSH_MSG_DEF_PLATFORM_H
#define SSH_MSG_DEF_PLATFORM_H

#include "ssh_msg_def/msg_common.h"

SSH_MSG_DEF_BEGIN_DECLS

/* Passed by address as the first argument of every log call. */
typedef struct SshMsgDef_ModuleDesc {
    const char *name;    /* "ZIRKO" */
    const char *subName; /* "ZIRKO_VANTOME_SERIAL" */
    uint16_t moduleId;   /* 0x6200 */
} SshMsgDef_ModuleDesc;

/* Hands `count` descriptors to the framework; the library passes the result
 * back unchanged and releases the buffers as soon as the call returns. */
uint32_t VORN_SendMsg(uint32_t handle, const SshMsgDef_MsgDesc *descs, uint32_t count);
/* The same towards `target` (never 0). */
uint32_t VORN_SendToMsg(uint32_t handle, const SshMsgDef_MsgDesc *descs, uint32_t count, uint64_t target);
/* Registers the decode/release pair of an identifier; 0 means success. */
uint32_t VORN_RegIDLFuncHook(uint32_t msgId, SshMsgDef_UnpackFn unpack, SshMsgDef_ReleaseFn release);
/* Registers a send module's resource release function. */
uint32_t VORN_RegIDLResorceCleanFuncHook(SshMsgDef_ResourceCleanFn clean);

/* Log writer: (module, level 2, code 22 or 12, file "", line, function tag,
 * printf format, arguments). The result is ignored. */
typedef uint32_t (*SshMsgDef_LogWriteFn)(const SshMsgDef_ModuleDesc *module, uint32_t level, uint32_t code,
                                         const char *file, uint32_t line, const char *tag, const char *format, ...);
/* Allocator: (size, moduleId 0x6200 or the constant 12, function tag). */
typedef void *(*SshMsgDef_AllocFn)(uint32_t size, uint32_t arg, const char *tag);
/* Release: (pointer or null, the same second argument and tag as its allocation). */
typedef void (*SshMsgDef_FreeHookFn)(void *ptr, uint32_t arg, const char *tag);

uint32_t ZVD_OsalLogWrite(const SshMsgDef_ModuleDesc *module, uint32_t level, uint32_t code, const char *file,
                          uint32_t line, const char *tag, const char *format, ...);
void *ZVD_OsalMemAlloc(uint32_t size, uint32_t moduleId, const char *tag);
void ZVD_OsalMemFree(void *ptr, uint32_t arg, const char *tag);
/* Exactly 1 selects ZVD_OsalMemCacheAlloc for record memory. Called with 12. */
uint32_t ZVD_OsalMemUseFlagGet(uint32_t arg);
void *ZVD_OsalMemCacheAlloc(uint32_t size, uint32_t arg, const char *tag);

SSH_MSG_DEF_END_DECLS

#endif
