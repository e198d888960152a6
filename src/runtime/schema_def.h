// Declaring a message schema: one macro per message in src/sshc and src/sshs.
#ifndef SSH_MSG_DEF_RUNTIME_SCHEMA_DEF_H
#define SSH_MSG_DEF_RUNTIME_SCHEMA_DEF_H

#include "schema.h"

namespace ssh_msg_def::internal {
template <size_t N>
constexpr uint16_t CountOf(const Field (&)[N]) {
    return static_cast<uint16_t>(N);
}
}  // namespace ssh_msg_def::internal

// Defines `name` (a Schema) and `name##Fields` for record type Ns_Msg. The
// fields are the slot descriptors in slot order.
#define SSH_MSG_DEF_SCHEMA(name, Ns, Msg, id, rootForm, nestedForm, fixed, recvCtx, sendCtx, ...)             \
    inline constexpr ::ssh_msg_def::internal::Field name##Fields[] = {__VA_ARGS__};                           \
    inline constexpr ::ssh_msg_def::internal::Schema name = {#Ns "_" #Msg,                                    \
                                                             (id),                                            \
                                                             sizeof(Ns##_##Msg),                              \
                                                             name##Fields,                                    \
                                                             ::ssh_msg_def::internal::CountOf(name##Fields),  \
                                                             ::ssh_msg_def::internal::RootForm::rootForm,     \
                                                             ::ssh_msg_def::internal::NestedForm::nestedForm, \
                                                             (fixed),                                         \
                                                             &(recvCtx),                                      \
                                                             &(sendCtx),                                      \
                                                             SSH_MSG_DEF_TAGS(Ns, Msg)};                      \
    static_assert(::ssh_msg_def::internal::WellFormed(name), #Ns "_" #Msg ": schema does not match its record")

#endif
