// The cost of the engine protocol against the bare system calls it rests on: one "GET_STATE"
// exchange against a plain connect/send/receive/close with the same host, and one statistics
// read against a plain open/map/unmap. Also the memory of a full minute of history for eight
// devices.
#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cstdlib>

#include <cstdio>
#include <cstring>
#include <deque>

#include "engine/engine_command.h"
#include "engine/telemetry.h"
#include "engine_bench_support.h"

using namespace vornisel;
using namespace vornisel::bench;

namespace {

constexpr int kRounds = 3000;

size_t bareExchange(uint32_t id) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = host::socketPath(id);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    size_t total = 0;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        ::send(fd, "GET_STATE\n", 10, MSG_NOSIGNAL);
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
            total += static_cast<size_t>(n);
    }
    ::close(fd);
    return total;
}

uint32_t bareMap(uint32_t id) {
    const int fd = ::shm_open(host::statsName(id).c_str(), O_RDONLY | O_CLOEXEC, 0);
    void* block = ::mmap(nullptr, host::kStatsSize, PROT_READ, MAP_SHARED, fd, 0);
    uint32_t first = 0;
    if (block != MAP_FAILED) {
        std::memcpy(&first, block, sizeof first);
        ::munmap(block, host::kStatsSize);
    }
    ::close(fd);
    return first;
}

template <class F>
double timeOnce(F&& f) {
    const auto start = Clock::now();
    f();
    return micros(Clock::now() - start);
}

void protocol(uint32_t id) {
    std::vector<double> bare, command, map, read;
    size_t sink = 0;
    for (int i = 0; i < 50; ++i)
        sink += bareExchange(id) + engineCommand(id, "GET_STATE").has_value();
    // Interleaved, so that load from elsewhere hits both sides alike.
    for (int i = 0; i < kRounds; ++i) {
        bare.push_back(timeOnce([&] { sink += bareExchange(id); }));
        command.push_back(timeOnce([&] { sink += engineCommand(id, "GET_STATE").has_value(); }));
        map.push_back(timeOnce([&] { sink += bareMap(id); }));
        read.push_back(timeOnce([&] { sink += Telemetry::read(id).has_value(); }));
    }
    std::printf(
        "GET_STATE exchange: bare %.1f us, engineCommand %.1f us (median of %d), ratio %.2fx\n",
        median(bare), median(command), kRounds, median(command) / median(bare));
    std::printf(
        "statistics read:    bare open/map/unmap %.1f us, Telemetry::read %.1f us, "
        "ratio %.2fx\n",
        median(map), median(read), median(read) / median(map));
    if (sink == 0) std::printf("(nothing was read)\n");
}

void history(uint32_t id) {
    const auto snapshot = Telemetry::read(id);
    if (!snapshot) return;
    const size_t before = mallinfo2().uordblks;
    {
        std::vector<std::deque<Telemetry>> devices(8);
        for (auto& samples : devices)
            for (int i = 0; i < 60; ++i)
                samples.push_back(*snapshot);
        const size_t used = mallinfo2().uordblks - before;
        std::printf(
            "history of 8 devices x 60 s: %zu bytes on the heap (%.1f KiB; %zu bytes per "
            "snapshot, limit 512 KiB)\n",
            used, used / 1024.0, sizeof(Telemetry));
    }
}

}  // namespace

int main() {
    // The panel is measured with pretend engines, which need no sound card or server.
    ::setenv("VORNISEL_HOST_SIMULATE", "1", 1);
    const auto dir = std::filesystem::temp_directory_path() / "vornisel-protocol-bench";
    std::filesystem::create_directories(dir);
    ::setenv("VORNISEL_HOST_STARTING_MS", "0", 1);
    ::setenv("VORNISEL_HOST_WAITING_MS", "0", 1);
    {
        BenchHost host(4000000000u + static_cast<uint32_t>(::getpid() % 1000000), dir);
        protocol(host.id());
        history(host.id());
    }
    std::filesystem::remove_all(dir);
}
