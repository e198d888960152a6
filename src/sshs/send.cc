// Server send module: pack and the four send operations of each server message
// (ForwardPort through its fixed image), and the module's send-side registration.
#include "send.h"
#include "schemas.h"

using namespace ssh_msg_def::internal;

SSH_MSG_DEF_SEND_OPS(SshsMsgDef_PortList, kPortList)
SSH_MSG_DEF_SEND_OPS(SshsMsgDef_ForwardPort, kForwardPort)
SSH_MSG_DEF_SEND_OPS(SshsMsgDef_TcpForwordMessage, kTcpForwordMessage)

extern "C" void sshs_msg_def__send_resource_clean(void) {}

extern "C" uint32_t sshs_msg_def_send_init(void) {
    return VORN_RegIDLResorceCleanFuncHook(&sshs_msg_def__send_resource_clean);
}
