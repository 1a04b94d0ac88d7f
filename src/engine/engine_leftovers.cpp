#include "engine/engine_leftovers.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/host_contract.h"

namespace vornisel {

void removeEngineLeftovers(uint32_t id) {
    const std::string socket = host::socketPath(id);
    struct stat info {};
    if (::lstat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode) && info.st_uid == ::geteuid())
        ::unlink(socket.c_str());
    // Non-blocking: a FIFO under the name must not hold the caller.
    const std::string stats = host::statsName(id);
    const int fd = ::shm_open(stats.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0);
    if (fd < 0) return;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid())
        ::shm_unlink(stats.c_str());
    ::close(fd);
}

bool engineSocketTaken(uint32_t id) {
    struct stat info {};
    return ::lstat(host::socketPath(id).c_str(), &info) == 0 && info.st_uid != ::geteuid();
}

}  // namespace vornisel
