/* Decodes a received PortList buffer into a record, prints the record and
 * releases what it owns.
 *   decode          a built-in PortList
 *   decode FILE     the bytes of FILE (- for stdin, at most 4096) as received */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "ssh_msg_def/ssh_msg_def.h"

/* A PortList as it arrives: field0 "lo", field1 "uplink", ports 8080 -> 80 and 2222 -> 22. */
static const uint8_t received[] = {
    0x0e, 0x00, 0x00, 0x00, 0x0a, 0x00, 0x2e, 0x00, 0x04, 0x00, 0x08, 0x00, 0x0c, 0x00, 0x0a, 0x00, 0x00,
    0x00, 0x0c, 0x00, 0x00, 0x00, 0x0f, 0x00, 0x00, 0x00, 0x16, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,
    0x6c, 0x6f, 0x00, 0x06, 0x00, 0x00, 0x00, 0x75, 0x70, 0x6c, 0x69, 0x6e, 0x6b, 0x00, 0x02, 0x00, 0x00,
    0x00, 0x10, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x08, 0x00, 0x0c, 0x00, 0x04, 0x00, 0x08, 0x00,
    0x08, 0x00, 0x00, 0x00, 0x90, 0x1f, 0x00, 0x00, 0x50, 0x00, 0x00, 0x00, 0x08, 0x00, 0x0c, 0x00, 0x04,
    0x00, 0x08, 0x00, 0x08, 0x00, 0x00, 0x00, 0xae, 0x08, 0x00, 0x00, 0x16, 0x00, 0x00, 0x00,
};

int main(int argc, char **argv) {
    const uint8_t *buf = received;
    uint32_t len = sizeof received;
    static uint8_t file[4096];
    if (argc > 1) {
        FILE *f = strcmp(argv[1], "-") == 0 ? stdin : fopen(argv[1], "rb");
        if (f == NULL) {
            perror(argv[1]);
            return 2;
        }
        len = (uint32_t)fread(file, 1, sizeof file, f);
        buf = file;
    }

    /* Zeroed first: a rejected buffer may leave the record as it was (a buffer
     * under 4 bytes, say), all zero, or released (pointers null; a count may
     * stay with a null array). Zeroed, every one of these reads and releases
     * safely. */
    SshsMsgDef_PortList list = {0};
    /* Returns sizeof list whatever the bytes are; the library says why it
     * rejected a buffer through the OS layer's log writer. */
    SshsMsgDef_PortList__unpack(buf, len, &list);
    printf("field0 %s, field1 %s, %u ports\n", list.field0 ? list.field0 : "(null)",
           list.field1 ? list.field1 : "(null)", list.forwardPortCount);
    for (uint32_t i = 0; list.forwardPort != NULL && i < list.forwardPortCount; ++i) {
        printf("  %u -> %u\n", list.forwardPort[i].field0, list.forwardPort[i].field1);
    }
    SshsMsgDef_PortList_free__unpacked(&list); /* the strings and the array; not the record itself */
    return 0;
}
