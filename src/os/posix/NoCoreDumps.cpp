#include "NoCoreDumps.h"

#include <sys/prctl.h>
#include <sys/resource.h>

#include <cerrno>

namespace orvelle::os::posix {

int DisableCoreDumps() noexcept {
    const rlimit none{0, 0};
    if (::setrlimit(RLIMIT_CORE, &none) != 0) {
        return errno;
    }
    // Also covers a core pattern that pipes to a helper, which ignores the limit.
    if (::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0) {
        return errno;
    }
    return 0;
}

}  // namespace orvelle::os::posix
