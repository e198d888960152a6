/* SSH client messages (namespace SshcMsgDef). Records are plain structures;
 * decoded strings are owned NUL-terminated copies released by the matching
 * `_free__unpacked`. The seven operations of each message are described in
 * msg_common.h. */
#ifndef SSH_MSG_DEF_SSHC_MSG_DEF_H
#define SSH_MSG_DEF_SSHC_MSG_DEF_H

#include "ssh_msg_def/msg_common.h"

SSH_MSG_DEF_BEGIN_DECLS

#define SSHC_MSG_DEF_FILE_TRANS_ID 0x9B687FACu
#define SSHC_MSG_DEF_FILE_DIR_ID 0xD2FEFB89u
#define SSHC_MSG_DEF_CONNECT_PARA_ID 0x767BF3F4u
#define SSHC_MSG_DEF_SFTPCI_MESSAGE_ID 0x21B17658u

typedef struct SshcMsgDef_FileTrans {
    uint32_t field0; /* slot 0, scalar */
    char *field1;    /* slot 1, string or null */
    char *field2;    /* slot 2, string or null */
    uint32_t field3; /* slot 3, scalar */
} SshcMsgDef_FileTrans;

typedef struct SshcMsgDef_FileDir {
    char *field0;    /* slot 0, string or null */
    uint32_t field1; /* slot 1, scalar */
    uint32_t field2; /* slot 2, scalar */
    uint32_t field3; /* slot 3, scalar */
    char *field4;    /* slot 4, string or null */
} SshcMsgDef_FileDir;

typedef struct SshcMsgDef_ConnectPara {
    char *field0;    /* slot 0, string or null */
    uint32_t field1; /* slot 1, scalar */
    char *field2;    /* slot 2, string or null */
    uint32_t field3; /* slot 3, scalar */
    char *field4;    /* slot 4, string or null */
    char *field5;    /* slot 5, string or null */
    char *field6;    /* slot 6, string or null */
    uint32_t field7; /* slot 7, scalar */
} SshcMsgDef_ConnectPara;

typedef struct SshcMsgDef_SftpciMessage {
    uint32_t field0;                    /* slot 0, scalar */
    uint32_t field1;                    /* slot 1, scalar */
    uint32_t field2;                    /* slot 2, scalar */
    uint32_t field3;                    /* slot 3, scalar */
    SshcMsgDef_ConnectPara connectPara; /* slot 4, nested table, by value */
    SshcMsgDef_FileDir fileDir;         /* slot 5, nested table, by value */
    SshcMsgDef_FileTrans fileTrans;     /* slot 6, nested table, by value */
} SshcMsgDef_SftpciMessage;

#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
SSH_MSG_DEF_STATIC_ASSERT(sizeof(SshcMsgDef_FileTrans) == 32, "FileTrans record is 32 bytes");
SSH_MSG_DEF_STATIC_ASSERT(sizeof(SshcMsgDef_FileDir) == 32, "FileDir record is 32 bytes");
SSH_MSG_DEF_STATIC_ASSERT(sizeof(SshcMsgDef_ConnectPara) == 64, "ConnectPara record is 64 bytes");
SSH_MSG_DEF_STATIC_ASSERT(sizeof(SshcMsgDef_SftpciMessage) == 144, "SftpciMessage record is 144 bytes");
#endif

SSH_MSG_DEF_DECLARE_OPS(SshcMsgDef_FileTrans);
SSH_MSG_DEF_DECLARE_OPS(SshcMsgDef_FileDir);
SSH_MSG_DEF_DECLARE_OPS(SshcMsgDef_ConnectPara);
SSH_MSG_DEF_DECLARE_OPS(SshcMsgDef_SftpciMessage);

/* Registers the decode/release pair of each client message with
 * VORN_RegIDLFuncHook, one message after another. Returns 0, or the first
 * non-zero framework result (later pairs are then not offered; earlier ones
 * stay registered). */
SSH_MSG_DEF_API uint32_t sshc_msg_def_recv_init(void);
/* Registers sshc_msg_def__send_resource_clean with
 * VORN_RegIDLResorceCleanFuncHook and returns the framework's result. */
SSH_MSG_DEF_API uint32_t sshc_msg_def_send_init(void);
/* Does nothing: every send buffer is released by the send that took it. */
SSH_MSG_DEF_API void sshc_msg_def__send_resource_clean(void);

SSH_MSG_DEF_END_DECLS

#endif
