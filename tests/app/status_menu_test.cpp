#include "app/status_menu.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QMenu>
#include <QPointer>
#include <string>

#include "app_fixture.h"

namespace vornisel::test {
namespace {

TEST(StatusMenuTest, ARebuildThatReadsTheSameKeepsTheMenuAndRunsTheNewestActions) {
    StatusMenu status;
    std::string ran;
    auto items = [&](const QString& first, const std::string& tag) {
        return std::vector<StatusMenu::Item>{{first, [&ran, tag] { ran = tag; }},
                                             {"Exit", [&ran] { ran = "exit"; }}};
    };
    status.setItems(items("Start all", "old"));
    QPointer<QMenu> first = status.menu();
    ASSERT_NE(first, nullptr);

    status.setItems(items("Start all", "new"));
    EXPECT_EQ(status.menu(), first.data());
    first->actions().at(0)->trigger();
    ASSERT_TRUE(waitUntil([&] { return !ran.empty(); }));
    EXPECT_EQ(ran, "new");

    status.setItems(items("Stop all", "new"));
    ASSERT_NE(status.menu(), nullptr);
    EXPECT_NE(status.menu(), first.data());
    EXPECT_EQ(status.menu()->actions().at(0)->text(), "Stop all");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull()) << "the replaced menu is deleted";
}

}  // namespace
}  // namespace vornisel::test
