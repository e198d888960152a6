// Every message of the library: the client list, then the server list. The
// library's schemas, exported functions, registration arrays and version
// script, and every table of the messages that the tests, the fuzz targets,
// the tool and the benchmarks keep, are expanded from these rows.
#ifndef SSH_MSG_DEF_MESSAGES_H
#define SSH_MSG_DEF_MESSAGES_H

#include "sshc/messages.h"
#include "sshs/messages.h"

#define SSH_MSG_DEF_MESSAGES(X) SSH_MSG_DEF_CLIENT_MESSAGES(X) SSH_MSG_DEF_SERVER_MESSAGES(X)

#endif
