#include "desktop/font_warmup.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QStringList>

namespace vornisel {
namespace {

// Neither path may leave the thread waiting: with no application it stops after the font
// configuration, with one it also fills Qt's font list.
TEST(FontWarmupTest, EndsWhetherOrNotTheApplicationCameUp) {
    { FontWarmup unused; }
    {
        FontWarmup abandoned;
        abandoned.wait();
        abandoned.applicationReady();  // too late: does nothing
    }
    FontWarmup fonts;
    fonts.applicationReady();
    fonts.applicationReady();
    fonts.wait();
    EXPECT_FALSE(QFontDatabase::families().isEmpty());
}

}  // namespace
}  // namespace vornisel
