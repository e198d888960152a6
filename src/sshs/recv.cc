// Server receive module: the decoders and release functions of the server
// messages and their registration with the framework.
#include "decode.h"
#include "register.h"
#include "schemas.h"

SSH_MSG_DEF_RECV_MODULE(sshs, SSH_MSG_DEF_SERVER_MESSAGES)
