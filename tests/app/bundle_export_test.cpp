#include <QLabel>
#include <QRegularExpression>
#include <algorithm>

#include "app/support_bundle.h"
#include "app_fixture.h"
#include "l10n/localizer.h"
#include "ui/theme/panel_view.h"

namespace vornisel::test {
namespace {

namespace fs = std::filesystem;

using BundleExportTest = AppFixture;

// An archiver that fails is reported by its exit status; one that cannot start, or a folder that
// cannot be made, is reported at once. The files written before stay.
TEST_F(BundleExportTest, FailuresAreReported) {
    prepareStore(demoClients(1));
    ASSERT_TRUE(launch());
    // A device that is not there is not exported.
    app->exportBundle(deviceID(9));
    settle();
    EXPECT_FALSE(noticeVisible());
    EXPECT_FALSE(fs::exists(dataDir / "support-bundles"));

    writeFile(home / "failing-zip", "#!/bin/sh\nexit 3\n");
    fs::permissions(home / "failing-zip", fs::perms::owner_all);
    SupportBundle::setArchiverProgram(home / "failing-zip");
    app->exportBundle(deviceID(1));
    ASSERT_TRUE(waitUntil([&] { return noticeVisible(); }, std::chrono::seconds(30)));
    EXPECT_EQ(noticeShown(), tr("notice.support_bundle_failed", 3));
    EXPECT_FALSE(fs::is_empty(dataDir / "support-bundles"));

    const std::string prefix = tr("notice.support_bundle_failed", "");
    app->notice->hide();
    SupportBundle::setArchiverProgram(home / "no-such-zip");
    app->exportBundle(deviceID(1));
    EXPECT_EQ(noticeShown().rfind(prefix, 0), 0u) << noticeShown();
    EXPECT_NE(noticeShown().find("no-such-zip"), std::string::npos) << noticeShown();

    app->notice->hide();
    fs::remove_all(dataDir / "support-bundles");
    writeFile(dataDir / "support-bundles", "a file where a folder belongs");
    app->exportBundle(deviceID(1));
    EXPECT_TRUE(noticeVisible());
    EXPECT_EQ(noticeShown().rfind(prefix, 0), 0u) << noticeShown();
    SupportBundle::setArchiverProgram({});
}

}  // namespace
}  // namespace vornisel::test
