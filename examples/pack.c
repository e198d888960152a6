/* Packs a PortList record into a buffer of the caller's (the library allocates
 * nothing) and prints the encoding in hex; with a FILE argument it also writes
 * the bytes there, for instance to replay them later. */
#include <stdint.h>
#include <stdio.h>

#include "ssh_msg_def/ssh_msg_def.h"

int main(int argc, char **argv) {
    SshsMsgDef_ForwardPort ports[] = {{8080, 80}, {2222, 22}};
    SshsMsgDef_PortList list = {"lo", "uplink", 2, ports};

    uint8_t out[256];
    uint32_t len = sizeof out; /* the room on entry, the bytes written on success */
    if (SshsMsgDef_PortList__pack(&list, out, &len) != 0) {
        fprintf(stderr, "pack: the encoding does not fit in %zu bytes\n", sizeof out);
        return 1;
    }
    printf("%u bytes:", len);
    for (uint32_t i = 0; i < len; ++i) printf("%s%02x", i % 16 != 0 ? " " : "\n  ", out[i]);
    printf("\n");

    if (argc > 1) {
        FILE *f = fopen(argv[1], "wb");
        if (f == NULL || fwrite(out, 1, len, f) != len || fclose(f) != 0) {
            perror(argv[1]);
            return 1;
        }
    }
    return 0;
}
