#include "statistics/stats_block.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vornisel::enginehost {

namespace {

void storeU32(unsigned char* at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

void writeAll(int fd, const unsigned char* bytes, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, bytes + done, size - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

int create(const std::string& name) {
    const mode_t old = ::umask(077);
    const int fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    ::umask(old);
    return fd;
}

}  // namespace

StatsBlock::StatsBlock(uint32_t id, int fd, const Faults& faults)
    : id_(id), fd_(fd), faults_(&faults) {
    if (faults.shrinkStats) shrinker_ = std::thread(&StatsBlock::shrinkLoop, this);
}

StatsBlock::~StatsBlock() {
    remove();
}

std::unique_ptr<StatsBlock> StatsBlock::open(uint32_t id, const Faults& faults,
                                             std::string& error) {
    const std::string name = host::statsName(id);
    int fd = create(name);
    if (fd < 0 && errno == EEXIST) {
        // A leftover of a host of this id that died without cleaning up; never someone else's.
        // Non-blocking: a FIFO under the name would otherwise hold the host for ever.
        const int existing =
            ::shm_open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0);
        struct stat info {};
        const bool ours =
            existing >= 0 && ::fstat(existing, &info) == 0 && info.st_uid == ::geteuid();
        if (existing >= 0) ::close(existing);
        if (!ours) {
            error = "the statistics object " + name + " belongs to another user";
            return nullptr;
        }
        ::shm_unlink(name.c_str());
        fd = create(name);
    }
    if (fd < 0) {
        error = "cannot create the statistics object " + name + ": " + std::strerror(errno);
        return nullptr;
    }
    const off_t size = faults.shortStats ? host::kStatsSize - 1 : host::kStatsSize;
    if (::ftruncate(fd, size) != 0) {
        error = std::string("cannot size the statistics object: ") + std::strerror(errno);
        ::close(fd);
        ::shm_unlink(name.c_str());
        return nullptr;
    }
    return std::unique_ptr<StatsBlock>(new StatsBlock(id, fd, faults));
}

void StatsBlock::publish(const std::array<int32_t, host::kFieldCount>& values) {
    if (fd_ < 0) return;
    std::array<unsigned char, host::kStatsSize> block{};
    std::memcpy(block.data(), host::kMagic, sizeof host::kMagic);
    if (faults_->badMagic) block[3] = 'X';
    storeU32(block.data() + host::kVersionOffset,
             faults_->badVersion ? host::kLayoutVersion - 1 : host::kLayoutVersion);
    for (size_t i = 0; i < values.size(); ++i) {
        const bool garbage = faults_->negativeStats && i != host::kClientIdField;
        storeU32(block.data() + host::kValuesOffset + 4 * i,
                 garbage ? 0x80000000u : static_cast<uint32_t>(values[i]));
    }
    if (faults_->badIdentity)
        storeU32(block.data() + host::kValuesOffset + 4 * host::kClientIdField, id_ + 1);
    {
        std::lock_guard lock(lastMutex_);
        last_ = block;
    }
    const size_t size = faults_->shortStats ? block.size() - 1 : block.size();
    writeAll(fd_, block.data(), size);
}

// Truncates the object and grows it back as fast as it can, so a reader sees it shrink at any
// moment of its read.
void StatsBlock::shrinkLoop() {
    while (!stopping_) {
        if (::ftruncate(fd_, 0) != 0) return;
        if (::ftruncate(fd_, host::kStatsSize) != 0) return;
        std::array<unsigned char, host::kStatsSize> block;
        {
            std::lock_guard lock(lastMutex_);
            block = last_;
        }
        writeAll(fd_, block.data(), block.size());
    }
}

void StatsBlock::remove() {
    if (shrinker_.joinable()) {
        stopping_ = true;
        shrinker_.join();
    }
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
    ::shm_unlink(host::statsName(id_).c_str());
}

}  // namespace vornisel::enginehost
