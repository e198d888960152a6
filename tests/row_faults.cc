// FileDir's row with a member of its record left out, or with two members in
// another order (SMD_ROW_MEMBERS): neither compiles, and the compiler's error
// names the member. tests/CMakeLists.txt compiles each and reads the error.
#include "../src/runtime/schema.h"
#include "ssh_msg_def/ssh_msg_def.h"

namespace ssh_msg_def::internal {

#define SMD_ROW(X) \
    X(SshcMsgDef, FileDir, SSHC_MSG_DEF_FILE_DIR_ID, kSelfContained, kReleasesItself, kEncoded, SMD_ROW_MEMBERS)
#define SMD_SCHEMA(...) SSH_MSG_DEF_DEFINE_SCHEMA(gClientRecv, gClientSend, __VA_ARGS__)
SMD_ROW(SSH_MSG_DEF_DECLARE_SCHEMA)
SMD_ROW(SMD_SCHEMA)
SMD_ROW(SSH_MSG_DEF_CHECK_SCHEMA)

}  // namespace ssh_msg_def::internal
