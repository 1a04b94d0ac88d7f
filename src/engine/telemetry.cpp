#include "engine/telemetry.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <unordered_map>

namespace vornisel {

namespace {

uint32_t loadU32(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    const int fd;
};

// The block is copied with pread rather than read through a mapping: a host that truncates its
// object while we read would turn a load from the mapping into SIGBUS and take the panel down,
// whereas pread just returns short. It is also one system call instead of mmap plus munmap.
bool copyBlock(int fd, unsigned char (&block)[host::kStatsSize]) {
    size_t done = 0;
    while (done < sizeof block) {
        const ssize_t n = ::pread(fd, block + done, sizeof block - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The object's name is predictable and the namespace shared: only a block of our own user, and
// a plain object at that, is believed.
bool trustworthy(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return false;
    return S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
           info.st_size >= static_cast<off_t>(host::kStatsSize);
}

bool validHeader(const unsigned char* block, uint32_t id) {
    return std::memcmp(block + host::kMagicOffset, host::kMagic, sizeof host::kMagic) == 0 &&
           loadU32(block + host::kVersionOffset) == host::kLayoutVersion &&
           loadU32(block + host::kValuesOffset + 4 * host::kClientIdField) == id;
}

// The statistics that are differences and may be below zero.
bool maySignedValue(size_t index) {
    static const size_t error = host::fieldIndex("asio_queue_error_frames");
    static const size_t ratio = host::fieldIndex("asio_pll_ratio_ppm");
    return index == error || index == ratio;
}

std::vector<std::string> splitFields() {
    std::vector<std::string> names;
    std::string_view rest = host::kFieldList;
    while (!rest.empty()) {
        const size_t comma = rest.find(',');
        const auto piece = rest.substr(0, comma);
        if (!piece.empty()) names.emplace_back(piece);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    return names;
}

size_t indexOf(std::string_view name) {
    static const auto index = [] {
        std::unordered_map<std::string_view, size_t> table;
        const auto& names = Telemetry::fields();
        for (size_t i = 0; i < names.size(); ++i)
            table.emplace(names[i], i);
        return table;
    }();
    const auto found = index.find(name);
    return found == index.end() ? host::kFieldCount : found->second;
}

}  // namespace

class TelemetryReader {
public:
    static void fill(Telemetry& snapshot, const unsigned char* block) {
        for (size_t i = 0; i < host::kFieldCount; ++i) {
            const uint32_t raw = loadU32(block + host::kValuesOffset + 4 * i);
            snapshot.values_[i] = static_cast<int32_t>(raw);
            // Counts, rates, times and sizes are never negative; such a value is garbage and is
            // shown as missing, not as "Drops -2147483649".
            snapshot.present_.set(i, snapshot.values_[i] >= 0 || maySignedValue(i));
        }
    }
};

Telemetry::Telemetry() : time(Clock::now()) {}

Telemetry::Telemetry(const std::map<std::string, int64_t>& values, Clock::time_point time)
    : time(time) {
    for (const auto& [name, value] : values) {
        const size_t index = indexOf(name);
        if (index == host::kFieldCount) continue;
        values_[index] = value;
        present_.set(index);
    }
}

const std::vector<std::string>& Telemetry::fields() {
    static const std::vector<std::string> names = splitFields();
    return names;
}

std::optional<Telemetry> Telemetry::read(uint32_t id) {
    const std::string name = host::statsName(id);
    // Non-blocking: anyone can put a FIFO under the name, and opening that would wait for ever.
    // It is then refused as no regular object.
    const Descriptor object(
        ::shm_open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0));
    if (object.fd < 0 || !trustworthy(object.fd)) return std::nullopt;
    unsigned char block[host::kStatsSize];
    if (!copyBlock(object.fd, block) || !validHeader(block, id)) return std::nullopt;
    Telemetry snapshot;
    TelemetryReader::fill(snapshot, block);
    snapshot.time = Clock::now();
    return snapshot;
}

bool Telemetry::has(std::string_view name) const {
    return has(indexOf(name));
}

int64_t Telemetry::operator[](std::string_view name) const {
    return at(indexOf(name));
}

std::map<std::string, int64_t> Telemetry::values() const {
    std::map<std::string, int64_t> result;
    const auto& names = fields();
    for (size_t i = 0; i < host::kFieldCount; ++i)
        if (present_.test(i)) result.emplace(names[i], values_[i]);
    return result;
}

}  // namespace vornisel
