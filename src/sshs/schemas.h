// The three server messages as schemas. ForwardPort is the element of
// PortList's vector and is sent as the fixed image; PortList delegates its root
// table to its plain nested decoder, which TcpForwordMessage also uses for the
// PortList it holds by value.
#ifndef SSH_MSG_DEF_SSHS_SCHEMAS_H
#define SSH_MSG_DEF_SSHS_SCHEMAS_H

#include "schema_def.h"
#include "ssh_msg_def/sshs_msg_def.h"

namespace ssh_msg_def::internal {

// One field per line, in slot order.
// clang-format off
SSH_MSG_DEF_SCHEMA(kForwardPort, SshsMsgDef, ForwardPort, SSHS_MSG_DEF_FORWARD_PORT_ID, kSelfContained, kGuarded,
                   true, gServerRecv, gServerSend,
                   SSH_MSG_DEF_SCALAR(SshsMsgDef_ForwardPort, field0),
                   SSH_MSG_DEF_SCALAR(SshsMsgDef_ForwardPort, field1));

SSH_MSG_DEF_SCHEMA(kPortList, SshsMsgDef, PortList, SSHS_MSG_DEF_PORT_LIST_ID, kDelegating, kPlain, false,
                   gServerRecv, gServerSend,
                   SSH_MSG_DEF_STRING(SshsMsgDef_PortList, field0),
                   SSH_MSG_DEF_STRING(SshsMsgDef_PortList, field1),
                   SSH_MSG_DEF_VECTOR(SshsMsgDef_PortList, forwardPort, kForwardPort));

SSH_MSG_DEF_SCHEMA(kTcpForwordMessage, SshsMsgDef, TcpForwordMessage, SSHS_MSG_DEF_TCP_FORWORD_MESSAGE_ID,
                   kSelfContained, kNone, false, gServerRecv, gServerSend,
                   SSH_MSG_DEF_SCALAR(SshsMsgDef_TcpForwordMessage, field0),
                   SSH_MSG_DEF_SCALAR(SshsMsgDef_TcpForwordMessage, field1),
                   SSH_MSG_DEF_SCALAR(SshsMsgDef_TcpForwordMessage, field2),
                   SSH_MSG_DEF_SCALAR(SshsMsgDef_TcpForwordMessage, field3),
                   SSH_MSG_DEF_TABLE(SshsMsgDef_TcpForwordMessage, portList, kPortList));
// clang-format on

}  // namespace ssh_msg_def::internal

#endif
