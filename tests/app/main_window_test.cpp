#include <gtest/gtest.h>

#include <QWidget>
#include <QWindow>

#include "app/main_window.h"
#include "app_fixture.h"

namespace vornisel::test {
namespace {

TEST(MainWindowTest, AfterFirstFrameRunsOnceTheWindowIsDrawn) {
    MainWindow window(new QWidget, QSize(800, 450));
    int calls = 0;
    bool exposedThen = false;
    window.winId();
    window.afterFirstFrame([&] {
        ++calls;
        exposedThen = window.windowHandle()->isExposed();
    });
    settle();
    EXPECT_EQ(calls, 0) << "ran before the window was shown";

    window.show();
    ASSERT_TRUE(waitUntil([&] { return calls == 1; }));
    EXPECT_TRUE(exposedThen);
    // Later exposures do not run it again; asking once the window is drawn runs at once.
    window.hide();
    window.show();
    int late = 0;
    window.afterFirstFrame([&] { ++late; });
    ASSERT_TRUE(waitUntil([&] { return late == 1; }));
    settle();
    EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace vornisel::test
