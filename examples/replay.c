/* Replays a captured buffer through the messaging framework as the platform
 * would deliver it: registers the library's decoders with the host framework,
 * hands the bytes to VORN_SendMsg under their message identifier, and prints
 * the decoded record and the host's verdict on the buffer.
 *
 *   replay                a built-in capture of a TcpForwordMessage
 *   replay MSGID FILE     the bytes of FILE (- for stdin) under MSGID, e.g. 0x71670B77
 *
 * Exit status: 0 accepted, 1 rejected or not delivered, 2 usage or input error.
 * Linked with libzvd_host.so, the library's log line for a rejected buffer
 * goes to stderr and its memory is counted. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ssh_msg_def/ssh_msg_def.h"
#include "ssh_msg_def/vorn_host.h"
#include "ssh_msg_def/zvd_host.h"

/* examples/TcpForwordMessage.json as it was sent. */
static const uint8_t capture[] = {
    0x12, 0x00, 0x00, 0x00, 0x0e, 0x00, 0x14, 0x00, 0x04, 0x00, 0x08, 0x00, 0x00, 0x00, 0x0c, 0x00, 0x10, 0x00, 0x0e,
    0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x3c, 0x00, 0x00, 0x00, 0x0e, 0x00, 0x00, 0x00,
    0x0a, 0x00, 0x25, 0x00, 0x04, 0x00, 0x00, 0x00, 0x08, 0x00, 0x0a, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x0d,
    0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x65, 0x74, 0x68, 0x30, 0x00, 0x03, 0x00, 0x00, 0x00, 0x14, 0x00, 0x00,
    0x00, 0x24, 0x00, 0x00, 0x00, 0x34, 0x00, 0x00, 0x00, 0x08, 0x00, 0x0c, 0x00, 0x04, 0x00, 0x08, 0x00, 0x08, 0x00,
    0x00, 0x00, 0x38, 0x15, 0x00, 0x00, 0x38, 0x15, 0x00, 0x00, 0x08, 0x00, 0x0c, 0x00, 0x04, 0x00, 0x08, 0x00, 0x08,
    0x00, 0x00, 0x00, 0xeb, 0x18, 0x00, 0x00, 0xeb, 0x18, 0x00, 0x00, 0x08, 0x00, 0x0c, 0x00, 0x04, 0x00, 0x08, 0x00,
    0x08, 0x00, 0x00, 0x00, 0x82, 0x23, 0x00, 0x00, 0x5a, 0x00, 0x00, 0x00,
};

/* The record, one member a line, nested records indented. */
static void num(int depth, const char *name, uint32_t v) { printf("%*s%s = %u\n", 2 * depth, "", name, v); }
static void str(int depth, const char *name, const char *s) {
    if (s != NULL) {
        printf("%*s%s = \"%s\"\n", 2 * depth, "", name, s);
    } else {
        printf("%*s%s = NULL\n", 2 * depth, "", name);
    }
}
static void nested(int depth, const char *name) { printf("%*s%s:\n", 2 * depth, "", name); }

static void file_trans(int depth, const SshcMsgDef_FileTrans *r) {
    num(depth, "field0", r->field0);
    str(depth, "field1", r->field1);
    str(depth, "field2", r->field2);
    num(depth, "field3", r->field3);
}

static void file_dir(int depth, const SshcMsgDef_FileDir *r) {
    str(depth, "field0", r->field0);
    num(depth, "field1", r->field1);
    num(depth, "field2", r->field2);
    num(depth, "field3", r->field3);
    str(depth, "field4", r->field4);
}

static void connect_para(int depth, const SshcMsgDef_ConnectPara *r) {
    str(depth, "field0", r->field0);
    num(depth, "field1", r->field1);
    str(depth, "field2", r->field2);
    num(depth, "field3", r->field3);
    str(depth, "field4", r->field4);
    str(depth, "field5", r->field5);
    str(depth, "field6", r->field6);
    num(depth, "field7", r->field7);
}

static void sftpci_message(int depth, const SshcMsgDef_SftpciMessage *r) {
    num(depth, "field0", r->field0);
    num(depth, "field1", r->field1);
    num(depth, "field2", r->field2);
    num(depth, "field3", r->field3);
    nested(depth, "connectPara");
    connect_para(depth + 1, &r->connectPara);
    nested(depth, "fileDir");
    file_dir(depth + 1, &r->fileDir);
    nested(depth, "fileTrans");
    file_trans(depth + 1, &r->fileTrans);
}

static void forward_port(int depth, const SshsMsgDef_ForwardPort *r) {
    num(depth, "field0", r->field0);
    num(depth, "field1", r->field1);
}

static void port_list(int depth, const SshsMsgDef_PortList *r) {
    str(depth, "field0", r->field0);
    str(depth, "field1", r->field1);
    num(depth, "forwardPortCount", r->forwardPortCount);
    /* A rejected record may keep its count without the array. */
    if (r->forwardPortCount > 0 && r->forwardPort == NULL) printf("%*sforwardPort = NULL\n", 2 * depth, "");
    for (uint32_t i = 0; r->forwardPort != NULL && i < r->forwardPortCount; ++i) {
        const SshsMsgDef_ForwardPort *p = &r->forwardPort[i];
        printf("%*sforwardPort[%u] = {%u, %u}\n", 2 * depth, "", i, p->field0, p->field1);
    }
}

static void tcp_forword_message(int depth, const SshsMsgDef_TcpForwordMessage *r) {
    num(depth, "field0", r->field0);
    num(depth, "field1", r->field1);
    num(depth, "field2", r->field2);
    num(depth, "field3", r->field3);
    nested(depth, "portList");
    port_list(depth + 1, &r->portList);
}

static int g_accepted;

static void on_delivery(const VornHost_Delivery *d, void *user) {
    (void)user;
    const void *r = d->record; /* valid during this call only */
    printf("message 0x%08X, %u bytes\n", (unsigned)d->msgId, d->length);
    switch (d->msgId) {
        case SSHC_MSG_DEF_FILE_TRANS_ID: file_trans(1, r); break;
        case SSHC_MSG_DEF_FILE_DIR_ID: file_dir(1, r); break;
        case SSHC_MSG_DEF_CONNECT_PARA_ID: connect_para(1, r); break;
        case SSHC_MSG_DEF_SFTPCI_MESSAGE_ID: sftpci_message(1, r); break;
        case SSHS_MSG_DEF_PORT_LIST_ID: port_list(1, r); break;
        case SSHS_MSG_DEF_FORWARD_PORT_ID: forward_port(1, r); break;
        case SSHS_MSG_DEF_TCP_FORWORD_MESSAGE_ID: tcp_forword_message(1, r); break;
    }
    g_accepted = d->accepted != 0;
    printf("%s\n", g_accepted ? "accepted" : "rejected");
}

static uint8_t g_file[1 << 20];

int main(int argc, char **argv) {
    SshMsgDef_MsgDesc desc = {capture, SSHS_MSG_DEF_TCP_FORWORD_MESSAGE_ID, sizeof capture};
    if (argc == 3) {
        char *end;
        const unsigned long id = strtoul(argv[1], &end, 0);
        if (*argv[1] == '\0' || *end != '\0' || id > UINT32_MAX) {
            fprintf(stderr, "replay: %s is not a message identifier\n", argv[1]);
            return 2;
        }
        FILE *f = strcmp(argv[2], "-") == 0 ? stdin : fopen(argv[2], "rb");
        const size_t n = f != NULL ? fread(g_file, 1, sizeof g_file, f) : 0;
        if (f == NULL || ferror(f) || !feof(f)) {
            fprintf(stderr, "replay: cannot read %s (or it is larger than %zu bytes)\n", argv[2], sizeof g_file);
            return 2;
        }
        if (f != stdin) fclose(f);
        desc = (SshMsgDef_MsgDesc){g_file, (uint32_t)id, (uint32_t)n};
    } else if (argc != 1) {
        fprintf(stderr, "usage: replay [MSGID FILE]\n");
        return 2;
    }

    if (sshc_msg_def_recv_init() != 0 || sshs_msg_def_recv_init() != 0) return 1;
    VornHost_Subscribe(on_delivery, NULL);
    const uint32_t r = VORN_SendMsg(1, &desc, 1); /* decoded, shown and released before it returns */
    if (r != VORN_HOST_OK) {
        printf("not delivered: VORN_SendMsg returned %u (no decoder for 0x%08X)\n", r, (unsigned)desc.msgId);
        return 1;
    }

    ZvdHost_Counters c;
    ZvdHost_GetCounters(&c);
    printf("memory: %llu record blocks allocated, %llu still live\n", (unsigned long long)c.cacheAllocs,
           (unsigned long long)c.liveBlocks);
    return g_accepted ? 0 : 1;
}
