// The four client messages as schemas. FileTrans and FileDir decode their own
// root table and, nested in SftpciMessage, repeat the parameter check (guarded);
// ConnectPara and SftpciMessage hand their root table to their nested decoder
// (delegating) and decode nested tables without a parameter check (plain).
#ifndef SSH_MSG_DEF_SSHC_SCHEMAS_H
#define SSH_MSG_DEF_SSHC_SCHEMAS_H

#include "schema_def.h"
#include "ssh_msg_def/sshc_msg_def.h"

namespace ssh_msg_def::internal {

// One field per line, in slot order.
// clang-format off
SSH_MSG_DEF_SCHEMA(kFileTrans, SshcMsgDef, FileTrans, SSHC_MSG_DEF_FILE_TRANS_ID, kSelfContained, kGuarded, false,
                   gClientRecv, gClientSend,
                   SSH_MSG_DEF_SCALAR(SshcMsgDef_FileTrans, field0),
                   SSH_MSG_DEF_STRING(SshcMsgDef_FileTrans, field1),
                   SSH_MSG_DEF_STRING(SshcMsgDef_FileTrans, field2),
                   SSH_MSG_DEF_SCALAR(SshcMsgDef_FileTrans, field3));

SSH_MSG_DEF_SCHEMA(kFileDir, SshcMsgDef, FileDir, SSHC_MSG_DEF_FILE_DIR_ID, kSelfContained, kGuarded, false,
                   gClientRecv, gClientSend,
                   SSH_MSG_DEF_STRING(SshcMsgDef_FileDir, field0),
                   SSH_MSG_DEF_SCALAR(SshcMsgDef_FileDir, field1),
                   SSH_MSG_DEF_SCALAR(SshcMsgDef_FileDir, field2),
                   SSH_MSG_DEF_SCALAR(SshcMsgDef_FileDir, field3),
                   SSH_MSG_DEF_STRING(SshcMsgDef_FileDir, field4));

SSH_MSG_DEF_SCHEMA(kConnectPara, SshcMsgDef, ConnectPara, SSHC_MSG_DEF_CONNECT_PARA_ID, kDelegating, kPlain, false,
                   gClientRecv, gClientSend,
                   SSH_MSG_DEF_STRING(SshcMsgDef_ConnectPara, field0),
                   SSH_MSG_DEF_SCALAR(SshcMsgDef_ConnectPara, field1),
                   SSH_MSG_DEF_STRING(SshcMsgDef_ConnectPara, field2),
                   SSH_MSG_DEF_SCALAR(SshcMsgDef_ConnectPara, field3),
                   SSH_MSG_DEF_STRING(SshcMsgDef_ConnectPara, field4),
                   SSH_MSG_DEF_STRING(SshcMsgDef_ConnectPara, field5),
                   SSH_MSG_DEF_STRING(SshcMsgDef_ConnectPara, field6),
                   SSH_MSG_DEF_SCALAR(SshcMsgDef_ConnectPara, field7));

SSH_MSG_DEF_SCHEMA(kSftpciMessage, SshcMsgDef, SftpciMessage, SSHC_MSG_DEF_SFTPCI_MESSAGE_ID, kDelegating, kPlain,
                   false, gClientRecv, gClientSend,
                   SSH_MSG_DEF_SCALAR(SshcMsgDef_SftpciMessage, field0),
                   SSH_MSG_DEF_SCALAR(SshcMsgDef_SftpciMessage, field1),
                   SSH_MSG_DEF_SCALAR(SshcMsgDef_SftpciMessage, field2),
                   SSH_MSG_DEF_SCALAR(SshcMsgDef_SftpciMessage, field3),
                   SSH_MSG_DEF_TABLE(SshcMsgDef_SftpciMessage, connectPara, kConnectPara),
                   SSH_MSG_DEF_TABLE(SshcMsgDef_SftpciMessage, fileDir, kFileDir),
                   SSH_MSG_DEF_TABLE(SshcMsgDef_SftpciMessage, fileTrans, kFileTrans));
// clang-format on

}  // namespace ssh_msg_def::internal

#endif
