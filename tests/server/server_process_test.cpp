#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <random>
#include <vector>

#include "network/wire.h"
#include "server_process.h"

namespace vornisel {
namespace {

int socketTo(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
    return fd;
}

uid_t uidOf(pid_t pid) {
    const std::string status = test::readFile("/proc/" + std::to_string(pid) + "/status");
    return static_cast<uid_t>(std::stoul(status.substr(status.find("Uid:") + 4)));
}

TEST(ServerProcessTest, AnswersAsAnOrdinaryUserThroughFloodsOfGarbage) {
    test::ServerProcess server;
    ASSERT_NE(server.port(), 0) << server.errors();
    EXPECT_NE(uidOf(server.pid()), 0u) << "a server started as root gives root up";
    const int fd = socketTo(server.port());
    std::vector<uint8_t> probe(wire::kMaxDatagram);
    probe.resize(wire::encodeProbe(probe, {42, 1, 5}, {123456, 0}));
    std::mt19937 random(27);
    for (int i = 0; i < 5000; ++i) {
        // Oversized, random, damaged and cut-short datagrams.
        std::vector<uint8_t> bytes = probe;
        if (i % 3 == 0) bytes.assign(random() % 2000 + 1, static_cast<uint8_t>(random()));
        if (i % 3 == 1) bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1 + random() % 255);
        if (i % 3 == 2) bytes.resize(random() % bytes.size());
        send(fd, bytes.data(), bytes.size(), 0);
    }
    // The answer may have to wait for the flood, and a probe may be lost: send until answered.
    std::vector<uint8_t> answer(2048);
    ssize_t size = -1;
    ASSERT_TRUE(test::waitFor(
        [&] {
            send(fd, probe.data(), probe.size(), 0);
            pollfd p{fd, POLLIN, 0};
            return poll(&p, 1, 100) == 1 && (size = recv(fd, answer.data(), answer.size(), 0)) > 0;
        },
        std::chrono::seconds(20)))
        << server.errors();
    close(fd);
    const auto reply = wire::parse(std::span(answer).first(static_cast<size_t>(size)));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->kind, wire::Kind::probeReply);
    EXPECT_EQ(reply->probe.clientSendUs, 123456u);
    EXPECT_EQ(server.stop(), 0) << server.errors();
}

}  // namespace
}  // namespace vornisel
