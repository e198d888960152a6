// Server receive module: the decoders and release functions of the server
// messages and their registration with the framework.
#include "../runtime/decode.h"
#include "../transport/register.h"
#include "schemas.h"

SSH_MSG_DEF_RECV_MODULE(sshs, SSH_MSG_DEF_SERVER_MESSAGES)
