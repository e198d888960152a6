// The client messages, one row each, in the order the receive module registers
// them: namespace, message, identifier, root decoder, nested decoder, send form,
// then the record's members in slot order (schema.h says what each form
// decides). FileTrans and FileDir check their own root table and, nested in
// SftpciMessage, release their record themselves; ConnectPara and
// SftpciMessage hand their root table to their nested decoder, whose holder
// releases the record.
// Only macros: the version script is generated from this file too.
#ifndef SSH_MSG_DEF_SSHC_MESSAGES_H
#define SSH_MSG_DEF_SSHC_MESSAGES_H

// clang-format off
#define SSH_MSG_DEF_CLIENT_MESSAGES(X)                                                                           \
    X(SshcMsgDef, FileTrans, SSHC_MSG_DEF_FILE_TRANS_ID, kSelfContained, kReleasesItself, kEncoded,              \
      field0, field1, field2, field3)                                                                            \
    X(SshcMsgDef, FileDir, SSHC_MSG_DEF_FILE_DIR_ID, kSelfContained, kReleasesItself, kEncoded,                  \
      field0, field1, field2, field3, field4)                                                                    \
    X(SshcMsgDef, ConnectPara, SSHC_MSG_DEF_CONNECT_PARA_ID, kDelegating, kHolderReleases, kEncoded,             \
      field0, field1, field2, field3, field4, field5, field6, field7)                                            \
    X(SshcMsgDef, SftpciMessage, SSHC_MSG_DEF_SFTPCI_MESSAGE_ID, kDelegating, kHolderReleases, kEncoded,         \
      field0, field1, field2, field3, connectPara, fileDir, fileTrans)
// clang-format on

#endif
