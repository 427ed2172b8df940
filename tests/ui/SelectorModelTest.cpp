#include "ui/SelectorModel.h"

#include <gtest/gtest.h>

namespace {

struct Selector : ::testing::Test {
    CSelectorModel model;
    int notifications = 0;
    const char* rates[2] = {"44100HZ", "48000HZ"};
    void SetUp() override { model.onNotify = [this] { ++notifications; }; }
};

}  // namespace

TEST_F(Selector, ListsOfOneToTwentyNineItemsAreTaken)
{
    model.SetItems(rates, 2);
    EXPECT_EQ(model.itemCount(), 2);
    EXPECT_EQ(model.itemText(1), "48000HZ");

    const char* many[30] = {};
    for (auto& t : many)
        t = "x";
    model.SetItems(many, 30);
    model.SetItems(many, 0);
    model.SetItems(many, -1);
    model.SetItems(nullptr, 3);
    EXPECT_EQ(model.itemCount(), 2) << "the previous list stays";
    model.SetItems(many, 29);
    EXPECT_EQ(model.itemCount(), 29);

    const char* withNull[2] = {"a", nullptr};
    model.SetItems(withNull, 2);
    EXPECT_EQ(model.itemText(1), "");
    EXPECT_EQ(notifications, 0) << "a new list never notifies";
}

TEST_F(Selector, OnlyIndicesWithinTheListSelectAndEverySelectionNotifies)
{
    EXPECT_EQ(model.GetSelection(), -1);
    EXPECT_EQ(model.selectedText(), nullptr);
    model.SetItems(rates, 2);
    model.SetSelection(2);
    model.SetSelection(-1);
    EXPECT_EQ(model.GetSelection(), -1);
    EXPECT_EQ(notifications, 0);

    model.SetSelection(1);
    model.SetSelection(1);
    EXPECT_EQ(notifications, 2) << "re-selecting notifies again";
    ASSERT_NE(model.selectedText(), nullptr);
    EXPECT_EQ(*model.selectedText(), "48000HZ");

    model.choose(300);
    EXPECT_EQ(model.GetSelection(), 0);
    model.choose(300);
    EXPECT_EQ(notifications, 4) << "choosing the checked entry notifies too";
    model.choose(330);
    model.choose(299);
    EXPECT_EQ(notifications, 4) << "not a popup command";
}

TEST_F(Selector, ASelectionNeverPointsPastTheList)
{
    const char* drivers[3] = {"none", "A", "B"};
    model.SetItems(drivers, 3);
    model.SetSelection(2);
    model.SetItems(rates, 2);
    EXPECT_EQ(model.GetSelection(), -1);
    EXPECT_EQ(model.selectedText(), nullptr);

    model.choose(300 + 5);  // a command beyond the list
    EXPECT_EQ(model.selectedText(), nullptr);
    EXPECT_EQ(model.GetSelection(), -1);
}

TEST(SelectorGeometry, ShippedArrowStripAndFont)
{
    const SelectorGeometry g{122, 22, 15, 14};
    EXPECT_EQ(g.height(), 17);
    EXPECT_EQ(g.arrowWidth(), 11);
    EXPECT_EQ(g.arrowX(), 110);
    EXPECT_EQ(g.textY(), 1);
    EXPECT_FALSE(g.opensPopup(110)) << "the arrow image's first column does not open the menu";
    EXPECT_TRUE(g.opensPopup(111));
    EXPECT_EQ(g.popupY(), 17) << "the menu opens right under the control";

    const SelectorGeometry tall{100, 22, 15, 20};
    EXPECT_EQ(tall.textY(), -1) << "-5 / 2 truncates toward zero to -2, not down to -3";
}
