#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>
#include <random>
#include <vector>

#include "network/wire.h"
#include "support/server_process.h"

namespace vornisel {
namespace {

// A UDP socket of a client on 127.0.0.1, talking to the server at `port`.
class Client {
public:
    explicit Client(uint16_t port) : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    ~Client() { close(fd_); }
    void send(const std::vector<uint8_t>& bytes) { ::send(fd_, bytes.data(), bytes.size(), 0); }
    // The next datagram within 100 ms.
    std::optional<std::vector<uint8_t>> receive() {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 100) != 1) return std::nullopt;
        std::vector<uint8_t> bytes(2048);
        const ssize_t n = recv(fd_, bytes.data(), bytes.size(), 0);
        if (n < 0) return std::nullopt;
        bytes.resize(static_cast<size_t>(n));
        return bytes;
    }
    // Probes until the server answers (resending, as a lost datagram may need), within a deadline.
    std::optional<wire::Datagram> probe(uint64_t sendUs, std::vector<uint8_t>& answer) {
        std::vector<uint8_t> bytes(wire::kMaxDatagram);
        bytes.resize(wire::encodeProbe(bytes, {42, 1, sendUs}, {sendUs, 0}));
        return test::waitFor(
                   [&] {
                       send(bytes);
                       auto got = receive();
                       if (got) answer = *got;
                       return got.has_value();
                   },
                   std::chrono::seconds(20))
                   ? wire::parse(answer)
                   : std::nullopt;
    }

private:
    int fd_;
};

uid_t uidOf(pid_t pid) {
    const std::string status = test::readFile("/proc/" + std::to_string(pid) + "/status");
    return static_cast<uid_t>(std::stoul(status.substr(status.find("Uid:") + 4)));
}

TEST(ServerProcessTest, AnswersAsAnOrdinaryUserThroughFloodsOfGarbage) {
    test::ServerProcess server;
    ASSERT_NE(server.port(), 0) << server.errors();
    if (getuid() == 0)
        EXPECT_NE(uidOf(server.pid()), 0u) << "a server started as root gives root up";
    else
        EXPECT_EQ(uidOf(server.pid()), getuid());

    Client flooder(server.port());
    std::mt19937 random(27);
    std::vector<uint8_t> valid(wire::kMaxDatagram);
    valid.resize(wire::encodeProbe(valid, {1, 1, 1}, {1, 0}));
    for (int i = 0; i < 5000; ++i) {
        // Oversized, random and nearly valid datagrams.
        std::vector<uint8_t> bytes = valid;
        if (i % 3 == 0) bytes.assign(random() % 2000 + 1, static_cast<uint8_t>(random()));
        if (i % 3 == 1) bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1 + random() % 255);
        if (i % 3 == 2) bytes.resize(random() % bytes.size());
        flooder.send(bytes);
    }
    Client client(server.port());
    std::vector<uint8_t> answer;
    const auto reply = client.probe(123456, answer);
    ASSERT_TRUE(reply) << server.errors();
    EXPECT_EQ(reply->kind, wire::Kind::probeReply);
    EXPECT_EQ(reply->probe.clientSendUs, 123456u);
    EXPECT_EQ(server.stop(), 0) << server.errors();
}

}  // namespace
}  // namespace vornisel
