#!/bin/sh
# Runs a test program as it is, or under the checker that SSH_MSG_DEF_TEST_UNDER
# names when ctest runs (a command and its options, split at blanks): the
# valgrind test preset names memcheck, so that one build serves both.
exec ${SSH_MSG_DEF_TEST_UNDER:-} "$@"
