// The schemas of the server messages, expanded from their list: k<Msg> and the
// record type's kSchemaOf entry for each, every one checked against its record
// at compile time. They decode and encode through the server modules' contexts.
#ifndef SSH_MSG_DEF_SSHS_SCHEMAS_H
#define SSH_MSG_DEF_SSHS_SCHEMAS_H

#include "../runtime/schema.h"
#include "messages.h"
#include "ssh_msg_def/ssh_msg_def.h"

namespace ssh_msg_def::internal {

#define SSH_MSG_DEF_SERVER_SCHEMA(...) SSH_MSG_DEF_DEFINE_SCHEMA(gServerRecv, gServerSend, __VA_ARGS__)
SSH_MSG_DEF_SERVER_MESSAGES(SSH_MSG_DEF_DECLARE_SCHEMA)
SSH_MSG_DEF_SERVER_MESSAGES(SSH_MSG_DEF_SERVER_SCHEMA)
SSH_MSG_DEF_SERVER_MESSAGES(SSH_MSG_DEF_CHECK_SCHEMA)
#undef SSH_MSG_DEF_SERVER_SCHEMA

}  // namespace ssh_msg_def::internal

#endif
