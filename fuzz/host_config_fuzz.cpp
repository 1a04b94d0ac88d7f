// The stand-in host's configuration reader, given any file content: it reads or refuses without
// a crash, and whatever it reads is usable (a latency of at least one block).
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "fuzz_input.h"
#include "host_options.h"

using namespace vornisel;

namespace {

// One in-memory file reused for every input, reached by a path as the host reaches its file.
int memoryFile() {
    static const int fd = ::memfd_create("host-config", MFD_CLOEXEC);
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = memoryFile();
    if (fd < 0 || ::ftruncate(fd, 0) != 0) return 0;
    if (size > 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
    enginehost::HostOptions options;
    options.configPath = "/proc/self/fd/" + std::to_string(fd);
    std::string error;
    if (!enginehost::readConfiguration(options, error)) return 0;
    fuzz::require(options.latencyBlocks >= 1, "a latency of at least one block");
    return 0;
}
