/* A C program built against the installed package: sends a PortList through
 * the host framework and checks what the subscriber received. */
#include <stdio.h>
#include <string.h>

#include "ssh_msg_def/ssh_msg_def.h"
#include "ssh_msg_def/vorn_host.h"

static int g_ok;

static void on_delivery(const VornHost_Delivery *d, void *user) {
    const SshsMsgDef_PortList *r = d->record;
    (void)user;
    g_ok = d->msgId == SSHS_MSG_DEF_PORT_LIST_ID && d->length == 81 && strcmp(r->field0, "ab") == 0 &&
           r->field1 == NULL && r->forwardPortCount == 2 && r->forwardPort[1].field1 == 9;
}

int main(void) {
    SshsMsgDef_ForwardPort ports[2] = {{5, 0}, {7, 9}};
    SshsMsgDef_PortList list = {"ab", NULL, 2, ports};
    if (sshs_msg_def_recv_init() != 0) return 1;
    VornHost_Subscribe(on_delivery, NULL);
    if (SshsMsgDef_PortList__sendmsg(1, &list, 1) != 0 || !g_ok) return 2;
    puts("installed package OK");
    return 0;
}
