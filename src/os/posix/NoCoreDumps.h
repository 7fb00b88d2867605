#pragma once

namespace orvelle::os::posix {

// Keeps passphrases and keys in this process's memory out of core files and away
// from other processes of the same user (no ptrace attach, /proc/PID/mem closed):
// PR_SET_DUMPABLE off and a core size limit of 0. Returns 0 or the errno of the
// first step that failed; the caller goes on either way.
int DisableCoreDumps() noexcept;

}  // namespace orvelle::os::posix
