// The schemas of every message, expanded from the message lists: k<Msg> for
// each (kFileTrans, ...), kSchemaOf<record type>, and kSchemas, all of them.
#ifndef SSH_MSG_DEF_RUNTIME_SCHEMAS_H
#define SSH_MSG_DEF_RUNTIME_SCHEMAS_H

#include <iterator>
#include <utility>

#include "messages.h"
#include "schema.h"
#include "ssh_msg_def/ssh_msg_def.h"

namespace ssh_msg_def::internal {

#define SSH_MSG_DEF_CLIENT_SCHEMA(...) SSH_MSG_DEF_DEFINE_SCHEMA(gClientRecv, gClientSend, __VA_ARGS__)
#define SSH_MSG_DEF_SERVER_SCHEMA(...) SSH_MSG_DEF_DEFINE_SCHEMA(gServerRecv, gServerSend, __VA_ARGS__)

SSH_MSG_DEF_MESSAGES(SSH_MSG_DEF_DECLARE_SCHEMA)
SSH_MSG_DEF_CLIENT_MESSAGES(SSH_MSG_DEF_CLIENT_SCHEMA)
SSH_MSG_DEF_SERVER_MESSAGES(SSH_MSG_DEF_SERVER_SCHEMA)
SSH_MSG_DEF_MESSAGES(SSH_MSG_DEF_CHECK_SCHEMA)

#undef SSH_MSG_DEF_CLIENT_SCHEMA
#undef SSH_MSG_DEF_SERVER_SCHEMA

// Every message, in the order the receive modules register them.
#define SSH_MSG_DEF_SCHEMA_ADDRESS(Ns, Msg, ...) &k##Msg,
inline constexpr const Schema *kSchemas[] = {SSH_MSG_DEF_MESSAGES(SSH_MSG_DEF_SCHEMA_ADDRESS)};
#undef SSH_MSG_DEF_SCHEMA_ADDRESS

// Calls f.template operator()<schema>() for every message, in that order.
template <class F>
void ForEachMessage(F &&f) {
    [&]<size_t... I>(std::index_sequence<I...>) { (f.template operator()<kSchemas[I]>(), ...); }
    (std::make_index_sequence<std::size(kSchemas)>{});
}

}  // namespace ssh_msg_def::internal

#endif
