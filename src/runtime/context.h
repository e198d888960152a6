// Module runtime contexts: one per message module (client receive, client send,
// server receive, server send). Each holds the module descriptor handed to the
// log writer, the log and memory hooks bound from the OS abstraction layer at
// first use, the locks and flags of that one-time binding, and the module's
// byte-order flag. The four contexts share nothing.
#ifndef SSH_MSG_DEF_RUNTIME_CONTEXT_H
#define SSH_MSG_DEF_RUNTIME_CONTEXT_H

#include <pthread.h>
#include <stdint.h>

#include <atomic>
#include <bit>

#include "ssh_msg_def/platform.h"

namespace ssh_msg_def::internal {

inline constexpr uint16_t kModuleId = 0x6200;
inline constexpr uint32_t kCacheArg = 12;  // second argument of every cache allocator call
inline constexpr uint32_t kCodeInvalid = 22;
inline constexpr uint32_t kCodeNoMemory = 12;
inline constexpr uint32_t kLogLevel = 2;

// A flag set once, when a binding is done: read with acquire ordering, set
// with release ordering. A word underneath, not a bool: a byte-sized flag
// costs more code on 64-bit Arm (docs/performance.md).
struct OnceFlag {
    std::atomic<uint32_t> word;
    bool IsSet() const { return word.load(std::memory_order_acquire) != 0; }
    bool IsSetRelaxed() const { return word.load(std::memory_order_relaxed) != 0; }
    void Set() { word.store(true, std::memory_order_release); }
};

struct Context {
    SshMsgDef_ModuleDesc desc;         // {"ZIRKO", "ZIRKO_VANTOME_SERIAL", 0x6200}
    pthread_mutex_t hookLock;          // guards the binding of the next three
    SshMsgDef_LogWriteFn logWrite;     // ZVD_OsalLogWrite, or null: logging off
    SshMsgDef_AllocFn memAlloc;        // send buffers
    SshMsgDef_FreeHookFn memFree;      // pairs with memAlloc
    OnceFlag hooksResolved;            // set once the three above are bound
    pthread_mutex_t cacheLock;         // guards the binding of the cache pair
    OnceFlag cacheResolved;            // set once the cache pair is bound
    SshMsgDef_AllocFn cacheAlloc;      // record memory (strings, arrays)
    SshMsgDef_FreeHookFn cacheFree;    // pairs with cacheAlloc
    SshMsgDef_AllocFn defaultAlloc;    // this module's malloc wrapper
    SshMsgDef_FreeHookFn defaultFree;  // this module's free wrapper
    uint32_t byteOrder;                // 1: buffer integers are byte-reversed (big-endian host)
};

// A module context as it starts, with `alloc` and `free` as its fallbacks:
// bound at first use, or, when `bound`, bound already, to that pair and no
// log writer, and in the host's byte order (the tools' silent context).
#define SSH_MSG_DEF_CONTEXT(alloc, free, bound)                                                                \
    {                                                                                                          \
        .desc = {"ZIRKO", "ZIRKO_VANTOME_SERIAL", kModuleId}, .hookLock = PTHREAD_MUTEX_INITIALIZER,           \
        .logWrite = nullptr, .memAlloc = (bound) ? SshMsgDef_AllocFn{alloc} : nullptr,                         \
        .memFree = (bound) ? SshMsgDef_FreeHookFn{free} : nullptr, .hooksResolved = {(bound)},                 \
        .cacheLock = PTHREAD_MUTEX_INITIALIZER, .cacheResolved = {(bound)}, .cacheAlloc = (alloc),             \
        .cacheFree = (free), .defaultAlloc = (alloc), .defaultFree = (free), .byteOrder = (bound) && kHostSwap \
    }

extern Context gClientRecv;
extern Context gClientSend;
extern Context gServerRecv;
extern Context gServerSend;

// The binding steps behind resolve_platform_hooks and resolve_cache_hooks: take
// the module's lock and bind unless another thread has finished first.
[[gnu::cold]] void BindPlatformHooks(Context &ctx);
[[gnu::cold]] void BindCacheHooks(Context &ctx);

// Binds logWrite, memAlloc and memFree once (ZVD_OsalLogWrite, ZVD_OsalMemAlloc,
// ZVD_OsalMemFree; the memory pair falls back to malloc/free as a pair).
// Lock-free after the first call: one acquire load, inline.
inline void resolve_platform_hooks(Context &ctx) {
    if (!ctx.hooksResolved.IsSet()) [[unlikely]]
        BindPlatformHooks(ctx);
}

// Binds cacheAlloc and cacheFree once: the platform cache pair when
// ZVD_OsalMemUseFlagGet(12) returns exactly 1 and both functions exist, else
// malloc/free. Lock-free after the first call: one acquire load, inline.
inline void resolve_cache_hooks(Context &ctx) {
    if (!ctx.cacheResolved.IsSet()) [[unlikely]]
        BindCacheHooks(ctx);
}

// Byte-order flag of the host: 1 when big-endian.
uint32_t HostByteOrderFlag();

// Whether buffer integers are byte-reversed on this host. Each module's flag is
// set to the host's order at load, and only there, so on a given host it only
// ever holds this value, which the compiler knows: the readers and writers
// take it from here and a build carries one copy of each.
inline constexpr bool kHostSwap = std::endian::native == std::endian::big;

// The logging step. Resolves the platform hooks and, when a log writer is
// bound, calls it with (descriptor, 2, code, "", line, tag, format, args...).
// No lock is held while the writer runs. Cold: only failure paths log.
template <class... Args>
[[gnu::cold, gnu::noinline]] void LogLine(Context &ctx, uint32_t code, uint32_t line, const char *tag,
                                          const char *format, Args... args) {
    resolve_platform_hooks(ctx);
    if (SshMsgDef_LogWriteFn write = ctx.logWrite) {
        write(&ctx.desc, kLogLevel, code, "", line, tag, format, args...);
    }
}

}  // namespace ssh_msg_def::internal

// Logs through the module's logging step with the source line of this call.
#define SSH_MSG_DEF_LOG(ctx, code, tag, ...) \
    ::ssh_msg_def::internal::LogLine((ctx), (code), __LINE__, (tag), __VA_ARGS__)

#endif
