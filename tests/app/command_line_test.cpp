#include "app/command_line.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>
#include <regex>

#include "hardware/device.h"
#include "support/alsa_home.h"
#include "support/child_process.h"

namespace vornisel {
namespace {

namespace fs = std::filesystem;
using test::AlsaHome;
using test::ChildResult;
using test::programPath;
using test::readFile;
using test::runChild;
using test::TempDir;

struct ParseCase {
    std::vector<std::string> arguments;
    bool listDevices, testMode, dataDirGiven;
    fs::path directory;
};

// Only exact options count; the first --data-dir wins and counts from the working directory.
TEST(CommandLineTest, ReadsOnlyExactOptionsAndChoosesTheDataDirectory) {
    const fs::path home = "/home/u", cwd = "/work/here";
    const fs::path fallback = "/home/u/Library/Application Support/Vornisel/Clients";
    const std::vector<ParseCase> cases = {
        {{"--list-devices"}, true, false, false, fallback},
        {{"--list-devices=1", "-list-devices", "--LIST-DEVICES"}, false, false, false, fallback},
        {{"--ui-smoke"}, false, true, false, fallback},
        {{"x", "--render-preview", "y"}, false, true, false, fallback},
        {{"--data-dir", "a", "--data-dir", "b"}, false, false, true, "/work/here/a"},
        {{"--data-dir"}, false, false, true, fallback},
        {{"--data-dir", "--ui-smoke"}, false, true, true, "/work/here/--ui-smoke"},
        {{"--data-dir=a"}, false, false, false, fallback},
        {{"--data-dir", "/abs/dir"}, false, false, true, "/abs/dir"},
    };
    for (const auto& c : cases) {
        const CommandLine options = parseCommandLine(c.arguments);
        const std::string what = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(options.listDevices, c.listDevices) << what;
        EXPECT_EQ(options.testMode(), c.testMode) << what;
        EXPECT_EQ(options.dataDirGiven, c.dataDirGiven) << what;
        EXPECT_EQ(dataDirectory(options, home, cwd), c.directory) << what;
    }
    const char* argv[] = {"vornisel-control", "--ui-smoke", "--data-dir", "d"};
    EXPECT_EQ(argumentList(4, argv), (std::vector<std::string>{"--ui-smoke", "--data-dir", "d"}));
    EXPECT_TRUE(argumentList(0, nullptr).empty());
}

// The program in a fresh home that holds `config` as its ALSA configuration, with no display: a
// run that touched the GUI layer would fail.
ChildResult runProgram(const AlsaHome& home, const std::vector<std::string>& arguments,
                       std::optional<std::string> platform = "offscreen",
                       std::optional<std::string> display = std::nullopt) {
    auto environment = home.environment();
    environment["DISPLAY"] = std::move(display);
    environment["WAYLAND_DISPLAY"] = std::nullopt;
    environment["QT_QPA_PLATFORM"] = std::move(platform);
    return runChild(programPath(), arguments, environment, home.home());
}

std::vector<nlohmann::json> configuredEntries(const std::string& listing) {
    std::vector<nlohmann::json> result;
    for (const auto& entry : nlohmann::json::parse(listing)) {
        if (!entry.at("uid").get<std::string>().starts_with("hw:CARD=")) result.push_back(entry);
    }
    return result;
}

// A system configuration in which a described PCM stands in for the desktop's sound server (and
// one with arguments for a server's other outputs), beside what is never offered: "null", a card's
// alias, the product's own PCM, a user's PCM already listed, and a server that never answers (its
// open waits on a pipe without a writer). The listing is all that is done, whatever else is asked.
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
    const std::string untouched = (home.home() / "untouched").string();
    const ChildResult run =
        runProgram(home, {"--data-dir", untouched, "--ui-smoke", "--list-devices"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.err, "");  // ALSA's complaints about probing stay out of the terminal
    EXPECT_FALSE(fs::exists(untouched));
    const auto expected = nlohmann::json::parse(R"([
        {"uid": "mine", "name": "Mine", "inputs": 32, "outputs": 32},
        {"uid": "server", "name": "Fake Sound Server", "inputs": 32, "outputs": 32},
        {"uid": "roomed:ROOM=kitchen", "name": "Kitchen speakers", "inputs": 32, "outputs": 32}])");
    EXPECT_EQ(nlohmann::json(configuredEntries(run.out)), expected);

    // A test mode without a data directory of its own is refused before anything is done.
    const ChildResult refused = runProgram(home, {"--render-preview", "--data-dir=elsewhere"});
    EXPECT_EQ(refused.exitStatus, 2);
    EXPECT_EQ(refused.err, "UI tests require an isolated --data-dir.\n");
    EXPECT_FALSE(fs::exists(home.home() / "Library"));
}

struct RunCase {
    std::vector<std::string> arguments;
    std::optional<std::string> platform, display;  // QT_QPA_PLATFORM, DISPLAY
    int exitStatus;
    std::string out, err;  // patterns the whole output must match
};

// Asking for the usage or the version, or for a window where there is no display, answers in a
// line or a page and never touches the data directory or aborts in the toolkit.
TEST(CommandLineTest, AnswersWithoutADisplayOrTheDataDirectory) {
    AlsaHome home("", "");
    const std::string data = (home.home() / "data").string();
    const std::string noDisplay = "vornisel-control: no display[^\n]*\n";
    const std::string noServer = "vornisel-control: cannot open the display :4242 [^\n]*\n";
    const std::vector<RunCase> cases = {
        {{"--help", "--data-dir", data}, {}, {}, 0, "Usage: vornisel-control [^]*", ""},
        {{"--version"}, {}, {}, 0, "vornisel-control [0-9]+\\.[0-9]+(\\.[0-9]+)*\n", ""},
        {{"--data-dir", data}, {}, {}, 1, "", noDisplay},
        {{"--ui-smoke", "--data-dir", data}, "wayland", {}, 1, "", noDisplay},
        {{"--data-dir", data}, "xcb", ":4242", 1, "", noServer},  // nobody serves that display
    };
    for (const auto& c : cases) {
        const ChildResult run = runProgram(home, c.arguments, c.platform, c.display);
        const std::string what = ::testing::PrintToString(c.arguments);
        EXPECT_EQ(run.exitStatus, c.exitStatus) << what << run.err;
        EXPECT_TRUE(std::regex_match(run.out, std::regex(c.out))) << what << run.out;
        EXPECT_TRUE(std::regex_match(run.err, std::regex(c.err))) << what << run.err;
        EXPECT_FALSE(fs::exists(data)) << what;
        EXPECT_FALSE(fs::exists(home.home() / "Library")) << what;
    }
    // The usage is the README's, word for word.
    const ChildResult help = runChild(programPath(), {"--help"});
    EXPECT_NE(readFile(fs::path(VORNISEL_SOURCE_DIR) / "README.md").find(help.out),
              std::string::npos)
        << help.out;
}

}  // namespace
}  // namespace vornisel
