// The named counters of the train's goods record.

#include <gtest/gtest.h>

#include <string>

#include "game/actors/ZelvanPlayerGoods.h"

namespace {

TEST(PlayerGoodsTest, GetCreatesOnceAndFindsByExactName) {
    PlayerGoods goods;
    GoodsCounter& tickets = goods.get("tickets");
    EXPECT_EQ(tickets._name, "tickets");
    EXPECT_EQ(tickets._amount, 0.0f);
    EXPECT_EQ(tickets._multiplier, 1.0f);
    EXPECT_EQ(&goods.get("tickets"), &tickets);
    EXPECT_EQ(goods._counters.size(), 1u);

    // Case matters, and the empty name is a key like any other.
    EXPECT_NE(&goods.get("Tickets"), &tickets);
    GoodsCounter& unnamed = goods.get("");
    EXPECT_EQ(&goods.get(std::string()), &unnamed);
    EXPECT_EQ(goods._counters.size(), 3u);

    // A view into a longer text is looked up by its own characters only.
    const std::string text = "ticketsAndMore";
    EXPECT_EQ(&goods.get(std::string_view(text).substr(0, 7)), &tickets);
    EXPECT_EQ(goods._counters.size(), 3u);
}

TEST(PlayerGoodsTest, CounterStaysPutWhileOthersAreAdded) {
    PlayerGoods goods;
    GoodsCounter& coins = goods.get("coins");
    coins._multiplier = 2.0f;
    for (int i = 0; i < 200; ++i)
        goods.get("analytics" + std::to_string(i))._amount += 1.0f;
    // Adding 5 goods through a reference taken before the appends.
    coins._amount += coins._multiplier * 5.0f;
    EXPECT_EQ(&goods.get("coins"), &coins);
    EXPECT_EQ(goods.get("coins")._amount, 10.0f);
    EXPECT_EQ(goods._counters.front()._name, "coins");
    EXPECT_EQ(goods._counters.back()._name, "analytics199");
}

TEST(PlayerGoodsTest, RefillCopiesEveryFieldAndCounter) {
    PlayerGoods start;
    start._energy = 100.0f;
    start._speed = 10.0f;
    start._word = "train";
    start._missingLetters = "ain";
    start.get("coins");
    PlayerGoods run = start;
    run.get("coins")._amount = 42.0f;
    run.get("tickets");
    run._missingLetters = "n";

    run = start;
    EXPECT_EQ(run._energy, 100.0f);
    EXPECT_EQ(run._speed, 10.0f);
    EXPECT_EQ(run._word, "train");
    EXPECT_EQ(run._missingLetters, "ain");
    ASSERT_EQ(run._counters.size(), 1u);
    EXPECT_EQ(run.get("coins")._amount, 0.0f);
    EXPECT_EQ(run.get("coins")._multiplier, 1.0f);
    EXPECT_EQ(start._counters.size(), 1u);
}

}  // namespace
