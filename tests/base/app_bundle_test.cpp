#include "base/app_bundle.h"

#include <gtest/gtest.h>

namespace vornisel {
namespace {

TEST(AppBundleTest, FolderIsThreeLevelsAboveTheExecutableAndCanBeOverridden) {
    EXPECT_EQ(AppBundle::fromExecutable("/opt/VorniselControl.app/Contents/MacOS/vornisel-control"),
              std::filesystem::path("/opt/VorniselControl.app"));
    AppBundle::setLocation("/somewhere/Else.app");
    EXPECT_EQ(AppBundle::resources(),
              std::filesystem::path("/somewhere/Else.app/Contents/Resources"));
    EXPECT_EQ(AppBundle::executables(),
              std::filesystem::path("/somewhere/Else.app/Contents/MacOS"));
}

}  // namespace
}  // namespace vornisel
