#include "ui/controls/tab_wnd.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace fenno {
namespace {

class TabTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tabs.resize(300, 200);
        for (auto*& p : pages) {
            p = new QWidget;
            tabs.addPage(p);
        }
        tabs.show();
    }

    std::vector<bool> shown() const {
        std::vector<bool> v;
        for (auto* p : pages)
            v.push_back(p->isVisible());
        return v;
    }

    CTabWnd tabs;
    std::array<QWidget*, 3> pages{};
};

TEST_F(TabTest, FirstPageShownAfterAdding) {
    EXPECT_EQ(tabs.count(), 3);
    EXPECT_EQ(tabs.currentIndex(), 0);
    EXPECT_EQ(shown(), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(pages[2]->geometry(), tabs.rect());
}

TEST_F(TabTest, SelectShowsOnePageAndRefusesOutOfRange) {
    QSignalSpy spy(&tabs, &CTabWnd::currentChanged);
    EXPECT_EQ(tabs.select(2), 2);
    EXPECT_EQ(shown(), (std::vector<bool>{false, false, true}));
    for (int bad : {3, 99, -1}) {
        EXPECT_EQ(tabs.select(bad), -1) << bad;
        EXPECT_EQ(tabs.currentIndex(), 2) << bad;
        EXPECT_EQ(shown(), (std::vector<bool>{false, false, true})) << bad;
    }
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(TabTest, ResizeFillsEveryPageAndKeepsTheSelection) {
    tabs.select(1);
    tabs.resize(420, 260);
    for (auto* p : pages)
        EXPECT_EQ(p->geometry(), QRect(0, 0, 420, 260));
    EXPECT_EQ(shown(), (std::vector<bool>{false, true, false}));
}

} // namespace
} // namespace fenno
