
#include <QLabel>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>

#include "app/support_bundle.h"
#include "app_fixture.h"
#include "l10n/localizer.h"
#include "support/archive_entries.h"
#include "ui/theme/panel_view.h"

namespace vornisel::test {
namespace {

namespace fs = std::filesystem;

class BundleExportTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        // A data directory with a space and a quote reaches the archiver as one argument.
        dataDir = home / "my data's";
        const auto demo = demoDevices();
        ASSERT_FALSE(demo.empty()) << "the demo devices are missing";
        prepareStore(1040, 720, {demoProfile(deviceID(1), demo[0].uid, "Studio A")});
        ASSERT_TRUE(launch());
    }
    void TearDown() override {
        SupportBundle::setArchiverProgram({});
        AppFixture::TearDown();
    }

    std::vector<fs::path> bundleFolders() const {
        std::vector<fs::path> folders;
        if (!fs::exists(dataDir / "support-bundles")) return folders;
        for (const auto& entry : fs::directory_iterator(dataDir / "support-bundles"))
            if (entry.is_directory()) folders.push_back(entry.path());
        std::sort(folders.begin(), folders.end());
        return folders;
    }
};

TEST_F(BundleExportTest, DeviceThatNeverRanIsArchivedWithItsFolderAsTheOneTopEntry) {
    app->exportBundle(deviceID(1));
    // The archiver runs in the background: nothing is reported before the event loop runs.
    EXPECT_FALSE(noticeVisible());
    ASSERT_TRUE(waitUntil([&] { return noticeVisible(); }, std::chrono::seconds(30)));

    const std::vector<fs::path> folders = bundleFolders();
    ASSERT_EQ(folders.size(), 1u);
    const fs::path folder = folders[0];
    const std::string name = folder.filename().string();
    const QRegularExpression pattern(
        QString("^Vornisel-support-%1-[0-9]+-[0-9A-F]{6}$").arg(deviceID(1)));
    EXPECT_TRUE(pattern.match(QString::fromStdString(name)).hasMatch()) << name;
    fs::path archive = folder;
    archive += ".zip";
    EXPECT_EQ(noticeShown(), tr("notice.support_bundle_saved", archive.string()));

    std::vector<std::string> entries = archiveEntries(archive);
    std::sort(entries.begin(), entries.end());
    const std::string top = name + "/";
    EXPECT_EQ(entries, (std::vector<std::string>{top, top + "client.ini", top + "panel.json",
                                                 top + "snapshot.json", top + "summary.txt",
                                                 top + "telemetry.csv"}));
    const Profile& profile = app->store->clients().at(0);
    EXPECT_EQ(readFile(folder / "client.ini"), readFile(app->store->configURL(profile)));
    EXPECT_EQ(readFile(folder / "panel.json"), readFile(dataDir / "panel.json"));
    EXPECT_EQ(readFile(folder / "snapshot.json"), "{}");
    EXPECT_EQ(readFile(folder / "summary.txt"),
              "Vornisel Control \u2014 Linux\nStudio A\nID " + std::to_string(deviceID(1)) + "\n" +
                  tr("status.stopped") + "\n" + tr("status.ready") + "\n" +
                  tr("telemetry.latency_blocks", 2) + "\n");
}

TEST_F(BundleExportTest, TwoExportsInOneSecondGetTheirOwnFolders) {
    app->exportBundle(deviceID(1));
    app->exportBundle(deviceID(1));
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto folders = bundleFolders();
            return folders.size() == 2 && fs::exists(folders[0].string() + ".zip") &&
                   fs::exists(folders[1].string() + ".zip");
        },
        std::chrono::seconds(30)));
    settle();
    EXPECT_NE(bundleFolders()[0], bundleFolders()[1]);
}

TEST_F(BundleExportTest, UnknownDeviceDoesNothing) {
    app->exportBundle(deviceID(9));
    settle();
    EXPECT_FALSE(noticeVisible());
    EXPECT_FALSE(fs::exists(dataDir / "support-bundles"));
}

TEST_F(BundleExportTest, FailingArchiverIsReportedByItsExitStatus) {
    writeFile(home / "failing-zip", "#!/bin/sh\nexit 3\n");
    fs::permissions(home / "failing-zip", fs::perms::owner_all);
    SupportBundle::setArchiverProgram(home / "failing-zip");
    app->exportBundle(deviceID(1));
    ASSERT_TRUE(waitUntil([&] { return noticeVisible(); }, std::chrono::seconds(30)));
    EXPECT_EQ(noticeShown(), tr("notice.support_bundle_failed", 3));
    EXPECT_TRUE(fs::exists(bundleFolders().at(0) / "summary.txt"));
}

// An archiver that cannot start, or a folder that cannot be made, is reported at once.
TEST_F(BundleExportTest, FailureBeforeTheArchiverRunsIsReportedAtOnce) {
    SupportBundle::setArchiverProgram(home / "no-such-zip");
    app->exportBundle(deviceID(1));
    SupportBundle::setArchiverProgram({});
    const std::string prefix = tr("notice.support_bundle_failed", "");
    EXPECT_EQ(noticeShown().rfind(prefix, 0), 0u) << noticeShown();
    EXPECT_NE(noticeShown().find("no-such-zip"), std::string::npos) << noticeShown();
    EXPECT_TRUE(fs::exists(bundleFolders().at(0) / "summary.txt"));

    app->notice->hide();
    fs::remove_all(dataDir / "support-bundles");
    writeFile(dataDir / "support-bundles", "a file where a folder belongs");
    app->exportBundle(deviceID(1));
    EXPECT_TRUE(noticeVisible());
    EXPECT_EQ(noticeShown().rfind(prefix, 0), 0u) << noticeShown();
    EXPECT_GT(noticeShown().size(), prefix.size());
}

}  // namespace
}  // namespace vornisel::test
