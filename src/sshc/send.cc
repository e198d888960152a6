// Client send module: pack and the four send operations of each client message,
// and the module's send-side registration.
#include "../transport/send.h"
#include "schemas.h"

SSH_MSG_DEF_SEND_MODULE(sshc, SSH_MSG_DEF_CLIENT_MESSAGES)
