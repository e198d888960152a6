/* The public headers compile as C, and a C program can pack, decode and release. */
#ifdef __cplusplus
#error "this file must be compiled as C"
#endif
#include <stdio.h>
#include <string.h>

#include "ssh_msg_def/platform.h"
#include "ssh_msg_def/ssh_msg_def.h"

int main(void) {
    SshsMsgDef_ForwardPort ports[2] = {{5, 0}, {7, 9}};
    SshsMsgDef_PortList list = {"ab", NULL, 2, ports};
    uint8_t buf[128];
    uint32_t len = sizeof buf;
    if (SshsMsgDef_PortList__pack(&list, buf, &len) != 0 || len != 81) return 1;
    SshsMsgDef_PortList out;
    if (SshsMsgDef_PortList__unpack(buf, len, &out) != sizeof out) return 2;
    const int same = strcmp(out.field0, "ab") == 0 && out.field1 == NULL && out.forwardPortCount == 2 &&
                     out.forwardPort[1].field0 == 7 && out.forwardPort[1].field1 == 9;
    SshsMsgDef_PortList_free__unpacked(&out);
    SshsMsgDef_PortList_free__unpacked(NULL); /* nothing to release */
    if (!same || out.field0 != NULL || out.forwardPort != NULL) return 3;
    puts("C client OK");
    return 0;
}
