// Client receive module: the decoders and release functions of the client
// messages and their registration with the framework.
#include "../runtime/decode.h"
#include "../transport/register.h"
#include "schemas.h"

SSH_MSG_DEF_RECV_MODULE(sshc, SSH_MSG_DEF_CLIENT_MESSAGES)
