#include "app/command_line.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "hardware/device.h"
#include "support/alsa_home.h"
#include "support/child_process.h"

namespace vornisel {
namespace {

namespace fs = std::filesystem;
using test::AlsaHome;
using test::ChildResult;
using test::programPath;
using test::runChild;
using test::ScopedAlsaHome;
using test::TempDir;

struct ParseCase {
    std::vector<std::string> arguments;
    bool listDevices, testMode, dataDirGiven;
    std::optional<fs::path> dataDir;
};

TEST(CommandLineTest, ReadsOnlyExactOptionsAndTheFirstDataDir) {
    const std::vector<ParseCase> cases = {
        {{}, false, false, false, std::nullopt},
        {{"--list-devices"}, true, false, false, std::nullopt},
        {{"--list-devices=1", "-list-devices", "--LIST-DEVICES"},
         false,
         false,
         false,
         std::nullopt},
        {{"--ui-smoke"}, false, true, false, std::nullopt},
        {{"x", "--render-preview", "y"}, false, true, false, std::nullopt},
        {{"--data-dir", "a", "--data-dir", "b"}, false, false, true, fs::path("a")},
        {{"--data-dir"}, false, false, true, std::nullopt},
        {{"--ui-smoke", "--data-dir"}, false, true, true, std::nullopt},
        {{"--data-dir", "--ui-smoke"}, false, true, true, fs::path("--ui-smoke")},
        {{"--data-dir=a"}, false, false, false, std::nullopt},
    };
    for (const auto& c : cases) {
        const CommandLine options = parseCommandLine(c.arguments);
        const std::string what = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(options.listDevices, c.listDevices) << what;
        EXPECT_EQ(options.testMode(), c.testMode) << what;
        EXPECT_EQ(options.dataDirGiven, c.dataDirGiven) << what;
        EXPECT_EQ(options.dataDir, c.dataDir) << what;
    }
    const char* argv[] = {"vornisel-control", "--ui-smoke", "--data-dir", "d"};
    EXPECT_EQ(argumentList(4, argv), (std::vector<std::string>{"--ui-smoke", "--data-dir", "d"}));
    EXPECT_TRUE(argumentList(0, nullptr).empty());
}

TEST(CommandLineTest, ChoosesTheDataDirectory) {
    const fs::path home = "/home/u", cwd = "/work/here";
    const fs::path fallback = "/home/u/Library/Application Support/Vornisel/Clients";
    const std::vector<std::pair<std::vector<std::string>, fs::path>> cases = {
        {{}, fallback},
        {{"--data-dir"}, fallback},
        {{"--ui-smoke", "--data-dir"}, fallback},
        {{"--data-dir", "/abs/dir"}, "/abs/dir"},
        {{"--data-dir", "rel/dir"}, "/work/here/rel/dir"},
        {{"--data-dir", "../up"}, "/work/here/../up"},
        {{"--data-dir", "first", "--data-dir", "second"}, "/work/here/first"},
    };
    for (const auto& [arguments, expected] : cases) {
        EXPECT_EQ(dataDirectory(parseCommandLine(arguments), home, cwd), expected)
            << ::testing::PrintToString(arguments);
    }
    EXPECT_EQ(launchRefusal(parseCommandLine({"--render-preview"})), kTestModeNeedsDataDir);
    EXPECT_EQ(launchRefusal(parseCommandLine({"--render-preview", "--data-dir"})), std::nullopt);
    EXPECT_EQ(launchRefusal(parseCommandLine({})), std::nullopt);
}

// The program in a fresh home that holds `config` as its ALSA configuration, with no display: a
// run that touched the GUI layer would fail.
ChildResult runProgram(const AlsaHome& home, const std::vector<std::string>& arguments,
                       const fs::path& workingDirectory = {}) {
    auto environment = home.environment();
    environment["DISPLAY"] = std::nullopt;
    environment["WAYLAND_DISPLAY"] = std::nullopt;
    environment["QT_QPA_PLATFORM"] = "offscreen";
    return runChild(programPath(), arguments, environment,
                    workingDirectory.empty() ? home.home() : workingDirectory);
}

std::vector<nlohmann::json> configuredEntries(const std::string& listing) {
    std::vector<nlohmann::json> result;
    for (const auto& entry : nlohmann::json::parse(listing)) {
        if (!entry.at("uid").get<std::string>().starts_with("hw:CARD=")) result.push_back(entry);
    }
    return result;
}

// The listing is the library's, whatever else is asked, and nothing else is done.
TEST(CommandLineTest, ListsTheDevicesAsJsonWithoutTheGuiWhateverElseIsAsked) {
    AlsaHome home(test::demoAlsaConfig());
    std::string listed;
    {
        ScopedAlsaHome scoped(home);
        listed = deviceListJSON(devices());
    }
    const std::string untouched = (home.home() / "untouched").string();
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--list-devices"},
          {"--data-dir", untouched, "--ui-smoke", "--list-devices", "--render-preview"}}) {
        const ChildResult run = runProgram(home, arguments);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(run.out, listed);
        EXPECT_EQ(run.err, "");  // ALSA's complaints about probing stay out of the terminal
    }
    EXPECT_FALSE(fs::exists(untouched));
    EXPECT_FALSE(fs::exists(home.home() / "Library"));
}

// A system configuration in which a described PCM stands in for the desktop's sound server (and
// one with arguments for a server's other outputs), beside what is never offered: "null", a card's
// alias, the product's own PCM, a user's PCM already listed, and a server that never answers (its
// open waits on a pipe without a writer).
TEST(CommandLineTest, ListsTheSystemsDescribedPcmsOnceAfterTheUsersOwn) {
    TempDir fifoDir;
    const fs::path fifo = fifoDir / "never_written";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    AlsaHome home("pcm.mine { type null hint { show on description \"Mine\" } }\n",
                  R"(
@hooks [ { func load files [ "~/.asoundrc" ] errors false } ]
pcm.null { type null hint { show on description "Discard all samples" } }
pcm.server { type null hint { show on description "Fake Sound Server" } }
pcm.stuck { type file slave.pcm "null" file "/dev/null" infile ")" +
                      fifo.string() + R"(" hint.description "Stuck Server" }
pcm.VorniselSystem { type null hint.description "Own" }
namehint.pcm.front "front:CARD=Demo,DEV=0|Demo front speakers"
pcm.roomed { @args [ ROOM ] @args.ROOM { type string default "hall" } type null }
namehint.pcm.kitchen "roomed:ROOM=kitchen|Kitchen speakers"
)");
    const ChildResult run = runProgram(home, {"--list-devices"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const auto expected = nlohmann::json::parse(R"([
        {"uid": "mine", "name": "Mine", "inputs": 32, "outputs": 32},
        {"uid": "server", "name": "Fake Sound Server", "inputs": 32, "outputs": 32},
        {"uid": "roomed:ROOM=kitchen", "name": "Kitchen speakers", "inputs": 32, "outputs": 32}])");
    EXPECT_EQ(nlohmann::json(configuredEntries(run.out)), expected);
}

TEST(CommandLineTest, TestModeWithoutDataDirIsRefused) {
    AlsaHome home("");
    const ChildResult run = runProgram(home, {"--render-preview", "--data-dir=elsewhere"});
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_EQ(run.err, "UI tests require an isolated --data-dir.\n");
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(fs::exists(home.home() / "Library"));
}

// The program opens its store, creating the data directory, as it launches; the test ends it
// then, as the panel would otherwise wait for its user.
ChildResult runUntilDirectoryExists(const AlsaHome& home, const std::vector<std::string>& arguments,
                                    const fs::path& directory, const fs::path& workingDirectory) {
    auto environment = home.environment();
    environment["QT_QPA_PLATFORM"] = "offscreen";
    return runChild(programPath(), arguments, environment, workingDirectory,
                    std::chrono::seconds(30), [&] { return fs::is_directory(directory); });
}

TEST(CommandLineTest, FirstDataDirWinsAndCountsFromTheWorkingDirectory) {
    AlsaHome home("");
    TempDir work;
    const ChildResult run = runUntilDirectoryExists(
        home, {"--render-preview", "--data-dir", "first/data", "--data-dir", "second"},
        work / "first/data", work.path());
    EXPECT_TRUE(fs::is_directory(work / "first/data")) << run.err;
    EXPECT_FALSE(fs::exists(work / "second"));
    EXPECT_FALSE(fs::exists(home.home() / "first"));
    EXPECT_FALSE(fs::exists(home.home() / "Library"));
}

}  // namespace
}  // namespace vornisel
