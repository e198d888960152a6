// Client receive module: the decoders and release functions of the client
// messages and their registration with the framework.
#include "decode.h"
#include "register.h"
#include "schemas.h"

SSH_MSG_DEF_RECV_MODULE(sshc, SSH_MSG_DEF_CLIENT_MESSAGES)
