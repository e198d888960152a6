// The four module runtime contexts and the one-time binding of their hooks.
// Binding follows the double-checked pattern: the resolved flag is read with
// acquire ordering, then again under the module's mutex, and published with
// release ordering after every hook is stored, so a thread that sees the flag
// also sees the hooks. Look-ups happen under the lock; no hook is ever called
// while a lock is held except the use-flag query, which is part of the look-up.
#include "context.h"

#include <dlfcn.h>
#include <stdlib.h>

namespace ssh_msg_def::internal {
namespace {

// One malloc/free pair per module, so each module's fallback is its own: the
// pair is named by the context that holds it.
template <const Context *kModule>
void *default_alloc(uint32_t size, uint32_t, const char *) {
    return malloc(size);
}
template <const Context *kModule>
void default_free(void *ptr, uint32_t, const char *) {
    free(ptr);
}

template <class Fn>
Fn Lookup(const char *name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_DEFAULT, name));
}

}  // namespace

#define SSH_MSG_DEF_MODULE_CONTEXT(kModule) SSH_MSG_DEF_CONTEXT(default_alloc<&kModule>, default_free<&kModule>, 0)

constinit Context gClientRecv = SSH_MSG_DEF_MODULE_CONTEXT(gClientRecv);
constinit Context gClientSend = SSH_MSG_DEF_MODULE_CONTEXT(gClientSend);
constinit Context gServerRecv = SSH_MSG_DEF_MODULE_CONTEXT(gServerRecv);
constinit Context gServerSend = SSH_MSG_DEF_MODULE_CONTEXT(gServerSend);

// The compiler knows the byte order of the machine it compiles for.
uint32_t HostByteOrderFlag() { return __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__; }

// Load-time initialisers, one per module: the only code that runs at load. The
// flag is written here only, before any thread can read it.
__attribute__((constructor)) static void InitClientRecvByteOrder() { gClientRecv.byteOrder = HostByteOrderFlag(); }
__attribute__((constructor)) static void InitClientSendByteOrder() { gClientSend.byteOrder = HostByteOrderFlag(); }
__attribute__((constructor)) static void InitServerRecvByteOrder() { gServerRecv.byteOrder = HostByteOrderFlag(); }
__attribute__((constructor)) static void InitServerSendByteOrder() { gServerSend.byteOrder = HostByteOrderFlag(); }

// Under `lock`, unless another thread has finished first: `bind` stores the
// hooks, then `resolved` is published.
template <class Bind>
void BindOnce(pthread_mutex_t &lock, OnceFlag &resolved, Bind bind) {
    pthread_mutex_lock(&lock);
    if (!resolved.IsSetRelaxed()) {
        bind();
        resolved.Set();
    }
    pthread_mutex_unlock(&lock);
}

void BindPlatformHooks(Context &ctx) {
    BindOnce(ctx.hookLock, ctx.hooksResolved, [&] {
        if (ctx.logWrite == nullptr) ctx.logWrite = Lookup<SshMsgDef_LogWriteFn>("ZVD_OsalLogWrite");
        ctx.memAlloc = Lookup<SshMsgDef_AllocFn>("ZVD_OsalMemAlloc");
        ctx.memFree = Lookup<SshMsgDef_FreeHookFn>("ZVD_OsalMemFree");
        // An allocator is only usable with its own release function.
        if (ctx.memAlloc == nullptr || ctx.memFree == nullptr) {
            ctx.memAlloc = ctx.defaultAlloc;
            ctx.memFree = ctx.defaultFree;
        }
    });
}

void BindCacheHooks(Context &ctx) {
    BindOnce(ctx.cacheLock, ctx.cacheResolved, [&] {
        auto useFlag = Lookup<uint32_t (*)(uint32_t)>("ZVD_OsalMemUseFlagGet");
        if (useFlag != nullptr && useFlag(kCacheArg) == 1) {
            ctx.cacheAlloc = Lookup<SshMsgDef_AllocFn>("ZVD_OsalMemCacheAlloc");
            ctx.cacheFree = Lookup<SshMsgDef_FreeHookFn>("ZVD_OsalMemFree");
        }
        if (ctx.cacheAlloc == nullptr || ctx.cacheFree == nullptr) {
            ctx.cacheAlloc = ctx.defaultAlloc;
            ctx.cacheFree = ctx.defaultFree;
        }
    });
}

}  // namespace ssh_msg_def::internal
