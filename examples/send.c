/* Sends PortList records through the messaging framework and prints what the
 * subscriber receives. On a workstation the framework is the host one
 * (libvorn_host.so), which delivers every message back to the decoders
 * registered in the same process before the send returns. */
#include <stdint.h>
#include <stdio.h>

#include "ssh_msg_def/ssh_msg_def.h"
#include "ssh_msg_def/vorn_host.h"

static void on_message(const VornHost_Delivery *d, void *user) {
    (void)user;
    if (d->msgId != SSHS_MSG_DEF_PORT_LIST_ID) return;
    const SshsMsgDef_PortList *p = d->record; /* valid during this call only */
    printf("received %u/%u: handle %u, target %llu, %u bytes, ", d->index + 1, d->count, d->handle,
           (unsigned long long)d->target, d->length);
    if (!d->accepted) {
        printf("rejected\n");
        return;
    }
    printf("field0 %s, %u ports", p->field0 ? p->field0 : "(null)", p->forwardPortCount);
    /* The elements only through an array: a record may keep its count without one. */
    if (p->forwardPortCount > 0 && p->forwardPort != NULL) {
        printf(", first %u -> %u", p->forwardPort[0].field0, p->forwardPort[0].field1);
    }
    printf("\n");
}

int main(void) {
    /* Once, at start-up: the decoders, and the send modules' clean functions. */
    if (sshc_msg_def_recv_init() != 0 || sshs_msg_def_recv_init() != 0) return 1;
    if (sshc_msg_def_send_init() != 0 || sshs_msg_def_send_init() != 0) return 1;
    VornHost_Subscribe(on_message, NULL);

    SshsMsgDef_ForwardPort ports[] = {{8080, 80}, {2222, 22}};
    SshsMsgDef_PortList list = {"lo", "uplink", 2, ports};
    /* The framework's result, or SSH_MSG_DEF_ERROR when the library refused
     * before calling it. */
    uint32_t r = SshsMsgDef_PortList__sendmsg(1, &list, 1); /* VORN_SendMsg */
    printf("sendmsg returned 0x%X\n", r);
    if (r != 0) return 1;

    SshsMsgDef_PortList batch[3] = {list, list, list};
    r = SshsMsgDef_PortList__sendtomsg(1, batch, 3, 42); /* one VORN_SendToMsg call, to target 42 */
    printf("sendtomsg returned 0x%X\n", r);
    return r == 0 ? 0 : 1;
}
