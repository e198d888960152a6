/* SSH server messages (namespace SshsMsgDef). A PortList owns its two strings
 * and one array of ForwardPort records; the seven operations of each message
 * are described in msg_common.h. ForwardPort is sent as a fixed 24-byte image; its single send
 * allocates nothing and its batch has no 65536-byte limit. */
#ifndef SSH_MSG_DEF_SSHS_MSG_DEF_H
#define SSH_MSG_DEF_SSHS_MSG_DEF_H

#include "ssh_msg_def/msg_common.h"

SSH_MSG_DEF_BEGIN_DECLS

#define SSHS_MSG_DEF_PORT_LIST_ID 0x71670B77u
#define SSHS_MSG_DEF_FORWARD_PORT_ID 0xC27650FAu
#define SSHS_MSG_DEF_TCP_FORWORD_MESSAGE_ID 0x70030D61u

typedef struct SshsMsgDef_ForwardPort {
    uint32_t field0; /* slot 0, scalar */
    uint32_t field1; /* slot 1, scalar */
} SshsMsgDef_ForwardPort;

typedef struct SshsMsgDef_PortList {
    char *field0;                        /* slot 0, string or null */
    char *field1;                        /* slot 1, string or null */
    uint32_t forwardPortCount;           /* slot 2, element count */
    SshsMsgDef_ForwardPort *forwardPort; /* slot 2, owned array of forwardPortCount records, or null */
} SshsMsgDef_PortList;

typedef struct SshsMsgDef_TcpForwordMessage {
    uint32_t field0;              /* slot 0, scalar */
    uint32_t field1;              /* slot 1, scalar */
    uint32_t field2;              /* slot 2, scalar */
    uint32_t field3;              /* slot 3, scalar */
    SshsMsgDef_PortList portList; /* slot 4, nested table, by value */
} SshsMsgDef_TcpForwordMessage;

#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
SSH_MSG_DEF_STATIC_ASSERT(sizeof(SshsMsgDef_ForwardPort) == 8, "ForwardPort record is 8 bytes");
SSH_MSG_DEF_STATIC_ASSERT(sizeof(SshsMsgDef_PortList) == 32, "PortList record is 32 bytes");
SSH_MSG_DEF_STATIC_ASSERT(sizeof(SshsMsgDef_TcpForwordMessage) == 48, "TcpForwordMessage record is 48 bytes");
#endif

SSH_MSG_DEF_DECLARE_OPS(SshsMsgDef_PortList);
SSH_MSG_DEF_DECLARE_OPS(SshsMsgDef_ForwardPort);
SSH_MSG_DEF_DECLARE_OPS(SshsMsgDef_TcpForwordMessage);

/* Registers the decode/release pair of each server message; result as
 * sshc_msg_def_recv_init. */
SSH_MSG_DEF_API uint32_t sshs_msg_def_recv_init(void);
/* Registers sshs_msg_def__send_resource_clean; returns the framework's result. */
SSH_MSG_DEF_API uint32_t sshs_msg_def_send_init(void);
/* Does nothing: every send buffer is released by the send that took it. */
SSH_MSG_DEF_API void sshs_msg_def__send_resource_clean(void);

SSH_MSG_DEF_END_DECLS

#endif
