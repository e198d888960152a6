/* Umbrella header: every record type and exported function of the library. */
#ifndef SSH_MSG_DEF_SSH_MSG_DEF_H
#define SSH_MSG_DEF_SSH_MSG_DEF_H

#include "ssh_msg_def/msg_common.h"
#include "ssh_msg_def/sshc_msg_def.h"
#include "ssh_msg_def/sshs_msg_def.h"

#endif
