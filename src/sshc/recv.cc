// Client receive module: the decoders and release functions of the four client
// messages and their registration with the framework.
#include "decode.h"
#include "register.h"
#include "schemas.h"

using namespace ssh_msg_def::internal;

SSH_MSG_DEF_RECV_OPS(SshcMsgDef_FileTrans, kFileTrans)
SSH_MSG_DEF_RECV_OPS(SshcMsgDef_FileDir, kFileDir)
SSH_MSG_DEF_RECV_OPS(SshcMsgDef_ConnectPara, kConnectPara)
SSH_MSG_DEF_RECV_OPS(SshcMsgDef_SftpciMessage, kSftpciMessage)

extern "C" uint32_t sshc_msg_def_recv_init(void) {
    const Registration pairs[] = {
        SSH_MSG_DEF_REGISTRATION(SshcMsgDef_FileTrans, kFileTrans.msgId),
        SSH_MSG_DEF_REGISTRATION(SshcMsgDef_FileDir, kFileDir.msgId),
        SSH_MSG_DEF_REGISTRATION(SshcMsgDef_ConnectPara, kConnectPara.msgId),
        SSH_MSG_DEF_REGISTRATION(SshcMsgDef_SftpciMessage, kSftpciMessage.msgId),
    };
    return RegisterDecoders(pairs, sizeof pairs / sizeof pairs[0]);
}
