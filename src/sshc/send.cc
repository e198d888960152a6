// Client send module: pack and the four send operations of each client message,
// and the module's send-side registration.
#include "send.h"
#include "schemas.h"

using namespace ssh_msg_def::internal;

SSH_MSG_DEF_SEND_OPS(SshcMsgDef_FileTrans, kFileTrans)
SSH_MSG_DEF_SEND_OPS(SshcMsgDef_FileDir, kFileDir)
SSH_MSG_DEF_SEND_OPS(SshcMsgDef_ConnectPara, kConnectPara)
SSH_MSG_DEF_SEND_OPS(SshcMsgDef_SftpciMessage, kSftpciMessage)

extern "C" void sshc_msg_def__send_resource_clean(void) {}

extern "C" uint32_t sshc_msg_def_send_init(void) {
    return VORN_RegIDLResorceCleanFuncHook(&sshc_msg_def__send_resource_clean);
}
