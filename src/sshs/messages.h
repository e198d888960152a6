// The server messages, one row each, in the order the receive module registers
// them (columns as in sshc/messages.h). ForwardPort, the element of PortList's
// list, is sent as its fixed image; PortList hands its root table to its nested
// decoder, whose holder releases the record, which TcpForwordMessage also uses
// for the PortList it holds.
// Only macros: the version script is generated from this file too.
#ifndef SSH_MSG_DEF_SSHS_MESSAGES_H
#define SSH_MSG_DEF_SSHS_MESSAGES_H

// clang-format off
#define SSH_MSG_DEF_SERVER_MESSAGES(X)                                                                           \
    X(SshsMsgDef, PortList, SSHS_MSG_DEF_PORT_LIST_ID, kDelegating, kHolderReleases, kEncoded,                   \
      field0, field1, forwardPort)                                                                               \
    X(SshsMsgDef, ForwardPort, SSHS_MSG_DEF_FORWARD_PORT_ID, kSelfContained, kReleasesItself, kFixedImage,       \
      field0, field1)                                                                                            \
    X(SshsMsgDef, TcpForwordMessage, SSHS_MSG_DEF_TCP_FORWORD_MESSAGE_ID, kSelfContained, kNone, kEncoded,       \
      field0, field1, field2, field3, portList)
// clang-format on

#endif
