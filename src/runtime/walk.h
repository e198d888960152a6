// Compile-time iteration over the slots of a schema. The engines are templates
// over a constexpr schema, so every slot's kind and member is a constant and
// each message gets straight-line code with no per-field dispatch.
#ifndef SSH_MSG_DEF_RUNTIME_WALK_H
#define SSH_MSG_DEF_RUNTIME_WALK_H

#include <stddef.h>

#include <type_traits>
#include <utility>

// Forced inlining makes each message's decode and encode one straight run of
// code. Coverage builds leave inlining to the compiler, so that every check is
// counted once per message instead of once for each place it is inlined into.
#ifdef SSH_MSG_DEF_COVERAGE
#define SSH_MSG_DEF_INLINE
#define SSH_MSG_DEF_INLINE_LAMBDA
#else
#define SSH_MSG_DEF_INLINE gnu::always_inline
#define SSH_MSG_DEF_INLINE_LAMBDA __attribute__((always_inline))
#endif

namespace ssh_msg_def::internal {

template <size_t I>
using Slot = std::integral_constant<size_t, I>;

// Calls f(Slot<0>{}), f(Slot<1>{}), ... in slot order. Always inlined, like
// the per-slot functions the engines pass, so that a message's walk is one
// straight run of code.
template <size_t N, class F>
[[SSH_MSG_DEF_INLINE]] inline void ForEachSlot(F &&f) {
    [&]<size_t... I>(std::index_sequence<I...>) SSH_MSG_DEF_INLINE_LAMBDA { (f(Slot<I>{}), ...); }
    (std::make_index_sequence<N>{});
}

// Like ForEachSlot, stopping at the first slot for which f returns false.
template <size_t N, class F>
[[nodiscard, SSH_MSG_DEF_INLINE]] inline bool AllSlots(F &&f) {
    return [&]<size_t... I>(std::index_sequence<I...>) SSH_MSG_DEF_INLINE_LAMBDA { return (f(Slot<I>{}) && ...); }
    (std::make_index_sequence<N>{});
}

template <class T>
inline T &Member(void *record, size_t offset) {
    return *reinterpret_cast<T *>(static_cast<unsigned char *>(record) + offset);
}

template <class T>
inline const T &Member(const void *record, size_t offset) {
    return *reinterpret_cast<const T *>(static_cast<const unsigned char *>(record) + offset);
}

}  // namespace ssh_msg_def::internal

#endif
