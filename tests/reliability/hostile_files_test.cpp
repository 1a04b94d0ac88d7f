// Every file and shared name the panel opens, against what a stranger or a data directory restored
// from elsewhere can put in its place. Nothing outside the data directory changes, nothing waits
// without a bound, and the user is told; where the rule is to replace (the engine log), a file of
// ours stands there afterwards instead.
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <future>
#include <map>
#include <thread>

#include "app/support_bundle.h"
#include "desktop/single_instance.h"
#include "engine/client_runtime.h"
#include "engine/engine_command.h"
#include "engine/engine_controller.h"
#include "engine/engine_leftovers.h"
#include "engine/host_contract.h"
#include "engine/manual_dispatch.h"
#include "engine/telemetry.h"
#include "l10n/error_text.h"
#include "l10n/localizer.h"
#include "model/panel_store.h"
#include "support/temp_dir.h"

namespace vornisel::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

enum class Shape { linkToFile, linkToFolder, fifo, wrongKind, othersFile, unreadable };

struct Target {
    const char* name;
    bool folder;    // a folder belongs there, so the wrong kind is a file
    bool replaced;  // what stands in the way is replaced rather than refused
    std::function<fs::path(const fs::path& data, uint32_t id)> place;
    // Does what the panel does there and returns what the user is told.
    std::function<std::string(const fs::path& data, uint32_t id)> act;
};

struct Notices : WindowHooks {
    void updateControls() override {}
    void showNotice(const std::string& text, bool) override { said += text; }
    void rebuildCards() override {}
    std::string said;
};

std::string openStore(const fs::path& data) {
    try {
        PanelStore store(data);
        store.clients().push_back(Profile{.id = 7});
        store.writeConfig(store.clients().front());
        const ClientRuntime runtime;
        SupportBundle(data, 7, 1, "abcdef").write(store, store.clients().front(), runtime);
    } catch (const std::exception& error) {
        return error.what();
    }
    return "";
}

std::string startEngine(const fs::path& data) {
    PanelStore store(data);
    store.clients().push_back(Profile{.id = 7});
    Notices notices;
    Localizer::shared().load("en", sourceDir() / "resources");
    // No host in this bundle: the launch fails once the log is in place.
    const auto controller =
        EngineController::create(store, std::make_shared<ManualDispatch>(), notices, data);
    controller->start(7);
    return notices.said.find("log") != std::string::npos ? notices.said : "";
}

std::string language(const fs::path& data) {
    writeFile(data / "bundle/lang/en.ini", "[a]\ntelemetry.drops=Drops {0}\n");
    Localizer localizer;
    localizer.load("xx", data / "bundle");
    if (localizer.refused) return errorText(*localizer.refused);
    // Another user's regular file is how a language is installed: it is read, not refused.
    struct stat info {};
    ::lstat((data / "bundle/lang/xx.ini").c_str(), &info);
    return S_ISREG(info.st_mode) && info.st_uid != ::geteuid() ? "read as installed" : "";
}

// Neither believed nor removed when it is not the engine's: the card shows no statistics, and an
// engine that cannot answer, or another user's socket.
std::string sharedName(uint32_t id) {
    removeEngineLeftovers(id);
    if (Telemetry::read(id) || engineCommand(id, std::string(host::kGetState))) return "";
    return engineSocketTaken(id) ? "taken" : "no engine answers";
}

std::string secondLaunch(const fs::path& data) {
    const SingleInstance instance(data, data.parent_path() / "run");
    return instance.requestReopen(900ms) == SingleInstance::Reopen::unreachable
               ? "does not answer on " + instance.socketPath().string()
               : "";
}

const Target targets[] = {
    {"panel.json", false, false, [](auto& d, auto) { return d / "panel.json"; },
     [](auto& d, auto) { return openStore(d); }},
    {"panel.lock", false, false, [](auto& d, auto) { return d / "panel.lock"; },
     [](auto& d, auto) { return SingleInstance(d, d.parent_path()).refusal(); }},
    {"engine log", false, true, [](auto& d, auto) { return d / "engine-7.log"; },
     [](auto& d, auto) { return startEngine(d); }},
    {"config", true, false, [](auto& d, auto) { return d / "config"; },
     [](auto& d, auto) { return openStore(d); }},
    {"preset folder", true, false, [](auto& d, auto) { return d / "config/default"; },
     [](auto& d, auto) { return openStore(d); }},
    {"support bundles", true, false, [](auto& d, auto) { return d / "support-bundles"; },
     [](auto& d, auto) { return openStore(d); }},
    {"language file", false, false, [](auto& d, auto) { return d / "bundle/lang/xx.ini"; },
     [](auto& d, auto) { return language(d); }},
    {"statistics", false, false,
     [](auto&, auto id) { return fs::path("/dev/shm") / host::statsName(id).substr(1); },
     [](auto&, auto id) { return sharedName(id); }},
    {"engine socket", false, false, [](auto&, auto id) { return fs::path(host::socketPath(id)); },
     [](auto&, auto id) { return sharedName(id); }},
    {"reopen socket", false, false,
     [](auto& d, auto) { return SingleInstance::socketPathFor(d, d.parent_path() / "run"); },
     [](auto& d, auto) { return secondLaunch(d); }},
};

// Every entry under `folder`, links not followed: kind, owner, mode and content.
std::map<fs::path, std::string> snapshot(const fs::path& folder) {
    std::map<fs::path, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        struct stat info {};
        ::lstat(entry.path().c_str(), &info);
        std::string state = std::to_string(info.st_mode) + "/" + std::to_string(info.st_uid);
        if (S_ISREG(info.st_mode)) state += "/" + readFile(entry.path());
        entries[entry.path()] = state;
    }
    return entries;
}

void make(Shape shape, const Target& target, const fs::path& place, const fs::path& outside) {
    fs::create_directories(place.parent_path());
    if (shape == Shape::linkToFile) return fs::create_symlink(outside / "notes.txt", place);
    if (shape == Shape::linkToFolder) return fs::create_directory_symlink(outside, place);
    if (shape == Shape::fifo) return (void)::mkfifo(place.c_str(), 0600);
    // The wrong kind is a folder for a file and a file for a folder; the others are the right one.
    if (target.folder == (shape == Shape::wrongKind))
        writeFile(place, "x");
    else
        fs::create_directory(place);
    if (shape == Shape::othersFile) ::chown(place.c_str(), 65534, 65534);
    if (shape == Shape::unreadable) ::chmod(place.c_str(), 0);
}

// Root reads and writes a file without permission, so as root that row acts as nobody, on files
// that are nobody's: the kernel then checks the permissions as it would for a user.
struct ActAsNobody {
    ActAsNobody(bool wanted, const fs::path& temp, const fs::path& place) {
        if (!wanted) return;
        for (const auto& entry : fs::recursive_directory_iterator(temp))
            ::lchown(entry.path().c_str(), 65534, 65534);
        ::lchown(temp.c_str(), 65534, 65534);
        ::lchown(place.c_str(), 65534, 65534);
        acting = ::setegid(65534) == 0 && ::seteuid(65534) == 0;
    }
    ~ActAsNobody() {
        if (acting && (::seteuid(0) != 0 || ::setegid(0) != 0)) std::abort();
    }
    bool acting = false;
};

class HostileFilesTest : public testing::TestWithParam<std::tuple<size_t, Shape>> {};

TEST_P(HostileFilesTest, NothingOutsideChangesNothingHangsAndTheUserIsTold) {
    const Target& target = targets[std::get<0>(GetParam())];
    const Shape shape = std::get<1>(GetParam());
    if (shape == Shape::othersFile && ::geteuid() != 0)
        GTEST_SKIP() << "another user's file needs root to be made";
    TempDir temp;
    const fs::path data = temp / "data";
    const fs::path outside = temp / "outside";
    fs::create_directories(data);
    fs::create_directories(outside);
    // Also a line a language file could have: a language file read through a link would show it.
    writeFile(outside / "notes.txt", "telemetry.drops=Notes {0}\n");
    const uint32_t id = 0x7e000000u + static_cast<uint32_t>(::getpid() & 0xffff);
    const fs::path place = target.place(data, id);
    make(shape, target, place, outside);
    const ActAsNobody nobody(shape == Shape::unreadable && ::geteuid() == 0, temp.path(), place);
    const auto before = snapshot(outside);

    // On its own thread, so that a wait without a bound fails the row instead of the run.
    auto told = std::make_shared<std::promise<std::string>>();
    auto answer = told->get_future();
    std::thread([told, &target, data, id] { told->set_value(target.act(data, id)); }).detach();
    ASSERT_EQ(answer.wait_for(10s), std::future_status::ready) << target.name << " waited";
    const std::string said = answer.get();

    EXPECT_EQ(snapshot(outside), before) << target.name;
    struct stat info {};
    const bool ours =
        ::lstat(place.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
    if (target.replaced && shape != Shape::wrongKind) {
        EXPECT_TRUE(ours) << target.name << ": not replaced by a file of ours";
    } else {
        EXPECT_FALSE(said.empty()) << target.name << ": the user was not told";
        EXPECT_TRUE(fs::exists(fs::symlink_status(place))) << target.name << ": removed";
    }
    if (!place.string().starts_with(temp.path().string())) fs::remove_all(place);
}

INSTANTIATE_TEST_SUITE_P(EveryFileAndName, HostileFilesTest,
                         testing::Combine(testing::Range(size_t{0}, std::size(targets)),
                                          testing::Values(Shape::linkToFile, Shape::linkToFolder,
                                                          Shape::fifo, Shape::wrongKind,
                                                          Shape::othersFile, Shape::unreadable)));

}  // namespace
}  // namespace vornisel::test
