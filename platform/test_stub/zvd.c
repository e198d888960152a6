/* Stand-in OS abstraction layer: each ZVD_Osal function forwards to the
 * recorder. Built whole for in-process tests, and with some functions left out
 * (ZVD_WITHOUT_LOG, _MEM_ALLOC, _MEM_FREE, _USE_FLAG, _CACHE_ALLOC) as separate
 * shared libraries, one per platform combination under test. */
#include "recorder.h"

#ifndef ZVD_WITHOUT_LOG
uint32_t ZVD_OsalLogWrite(const SshMsgDef_ModuleDesc *module, uint32_t level, uint32_t code, const char *file,
                          uint32_t line, const char *tag, const char *format, ...) {
    va_list args;
    va_start(args, format);
    const uint32_t r = rec_log_write(module, level, code, file, line, tag, format, args);
    va_end(args);
    return r;
}
#endif

#ifndef ZVD_WITHOUT_MEM_ALLOC
void *ZVD_OsalMemAlloc(uint32_t size, uint32_t moduleId, const char *tag) {
    return rec_alloc(REC_MEM_ALLOC, size, moduleId, tag);
}
#endif

#ifndef ZVD_WITHOUT_MEM_FREE
void ZVD_OsalMemFree(void *ptr, uint32_t arg, const char *tag) { rec_free(ptr, arg, tag); }
#endif

#ifndef ZVD_WITHOUT_USE_FLAG
uint32_t ZVD_OsalMemUseFlagGet(uint32_t arg) { return rec_use_flag(arg); }
#endif

#ifndef ZVD_WITHOUT_CACHE_ALLOC
void *ZVD_OsalMemCacheAlloc(uint32_t size, uint32_t arg, const char *tag) {
    return rec_alloc(REC_CACHE_ALLOC, size, arg, tag);
}
#endif
