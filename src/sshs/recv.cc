// Server receive module: the decoders and release functions of the three server
// messages and their registration with the framework.
#include "decode.h"
#include "register.h"
#include "schemas.h"

using namespace ssh_msg_def::internal;

SSH_MSG_DEF_RECV_OPS(SshsMsgDef_PortList, kPortList)
SSH_MSG_DEF_RECV_OPS(SshsMsgDef_ForwardPort, kForwardPort)
SSH_MSG_DEF_RECV_OPS(SshsMsgDef_TcpForwordMessage, kTcpForwordMessage)

extern "C" uint32_t sshs_msg_def_recv_init(void) {
    const Registration pairs[] = {
        SSH_MSG_DEF_REGISTRATION(SshsMsgDef_PortList, kPortList.msgId),
        SSH_MSG_DEF_REGISTRATION(SshsMsgDef_ForwardPort, kForwardPort.msgId),
        SSH_MSG_DEF_REGISTRATION(SshsMsgDef_TcpForwordMessage, kTcpForwordMessage.msgId),
    };
    return RegisterDecoders(pairs, sizeof pairs / sizeof pairs[0]);
}
