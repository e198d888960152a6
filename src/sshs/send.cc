// Server send module: pack and the four send operations of each server message
// (ForwardPort through its fixed image), and the module's send-side registration.
#include "../transport/send.h"
#include "schemas.h"

SSH_MSG_DEF_SEND_MODULE(sshs, SSH_MSG_DEF_SERVER_MESSAGES)
