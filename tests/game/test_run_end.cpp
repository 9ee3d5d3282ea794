// The surprise box and the results screen on the sample game, driven through the stage by frames:
// the box's draw, credit and script, the gifts the configuration may give, the results' table and
// friends' ranking, and the run's goods moving into the totals once.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <vector>
#include <string>

#include "GameFixture.h"
#include "engine/online/SocialPlatform.h"
#include "engine/render/gles2/OpenGLES2Render.h"
#include "engine_game/Text.h"
#include "game/actors/ZelvanConductors.h"
#include "game/menu/ZelvanMenuResultsExt.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/menu/ZelvanMenuSurpriseExt.h"
#include "game/menu/ZelvanPanelItem.h"
#include "game/profile/ZelvanFriendProfile.h"
#include "writer/PngWriter.h"

namespace {

// Read before the sample's configuration (a key keeps its first value): a gift list with one gift
// on a counter no run keeps, which the box must refuse.
const char* kRunEndFixture =
    "[menu_surprise_extension]\n"
    "randomGifts = { giftCoins giftScore giftTickets giftBigCoins }\n"
    "[giftScore]\n"
    "node = gift_bigcoins\n"
    "goods = score\n"
    "addNum = 1000\n";

class RunEndTest : public GameFixture {
protected:
    void load() {
        GameFixture::load(kRunEndFixture);
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_NE(_menu->getShopExt(), nullptr);
        ASSERT_NE(_menu->getSurpriseExt(), nullptr);
        ASSERT_NE(_menu->getResultsExt(), nullptr);
    }
    // The run's end screens take longer to come than the harness waits by default.
    bool reaches(const std::string& name, int limit = 600) { return GameFixture::reaches(name, limit); }
    std::string text(const std::string& panelName, const std::string& item, size_t line) const {
        PanelItem* it = panel(panelName)->findItem(item);
        if (!it || line >= it->getTexts().size() || !it->getTexts()[line])
            return "<none>";
        return it->getTexts()[line]->_text;
    }
    // With ZELVAN_RUN_END_SHOTS set: the screen as drawn now, written there as name.png.
    void shot(const char* name) {
        const char* dir = std::getenv("ZELVAN_RUN_END_SHOTS");
        auto* render = dynamic_cast<OpenGLES2Render*>(Render::current());
        if (!dir || !render)
            return;
        _app->OnRender();
        glBindFramebuffer(GL_FRAMEBUFFER, (GLuint)std::max(render->defaultFramebuffer, 0));
        const std::vector<uint8_t> pixels = EglHeadless::readPixels(0, 0, kWidth, kHeight);
        render->endFrame();
        EXPECT_TRUE(contentwriter::writePng(std::string(dir) + "/" + name + ".png", kWidth, kHeight, true, pixels));
    }
    GoodsCounter& goods(const char* name) { return _stage->getPlayer()->_goods.get(name); }
    // A crashed run with surprise boxes and no revive offer: the box comes first, the results next.
    void endRun(float coins, float distance, bool surprises) {
        _menu->startRun();
        ASSERT_TRUE(reaches("hud"));
        // The train stops and a frame passes first, so that a gift caught in the run's last frame
        // has landed before the case sets the run's goods.
        _stage->setState(Stage::StateStanding);
        frame();
        goods("coins")._amount = coins;
        goods("surprises")._amount = surprises ? 1.0f : 0.0f;
        _stage->getPlayer()->_goods._distance = distance;
        _menu->_reviveAvailable = false;
        _menu->showRunEnd();
    }
};

TEST_F(RunEndTest, SurpriseBoxWaitsForTheTapCreditsItsGiftOnceAndLeavesForTheResults) {
    testsupport::LogCapture log;
    load();
    ASSERT_FALSE(HasFatalFailure());
    MenuSurpriseExt* box = _menu->getSurpriseExt();
    // The gift on "score" is refused with a line; the three sample gifts stay, in order.
    ASSERT_EQ(box->_gifts.size(), 3u);
    EXPECT_EQ(box->_gifts[0].goods, "coins");
    EXPECT_EQ(box->_gifts[1].goods, "tickets");
    EXPECT_TRUE(log.contains("giftScore"));

    _menu->getShopExt()->setCoins(0);
    endRun(0.0f, 100.0f, true);
    ASSERT_TRUE(reaches("surprise"));
    const int32_t drawn = box->getDrawnGift();
    ASSERT_GE(drawn, 0);
    const MenuSurpriseExt::Gift gift = box->_gifts[(size_t)drawn];
    const float credited = gift.goods == "coins" ? goods("coins")._amount : goods("tickets")._amount;
    EXPECT_FLOAT_EQ(credited, gift.addNum);

    // Ten seconds: the box idles and never leaves by itself.
    for (int i = 0; i < 600; ++i)
        frame();
    shot("surprise");
    EXPECT_EQ(_menu->currentPanelName(), "surprise");
    EXPECT_FALSE(box->isScriptOver());

    // The tap: opened, named, and after the animation and two seconds the results come.
    for (UiEvent* event : _menu->getEvents())
        if (std::string(event->name) == "onSurpriseboxOpen")
            event->execute(nullptr);
    ASSERT_TRUE(reaches("results", 60 * 6));
    EXPECT_EQ(box->getDrawnGift(), drawn);
    // The results moved the run's goods, gift included, into the totals once.
    const int32_t coins = gift.goods == "coins" ? (int32_t)gift.addNum : 0;
    EXPECT_EQ(_menu->getShopExt()->getCoins(), coins);
    for (int i = 0; i < 60; ++i)
        frame();
    EXPECT_EQ(_menu->getShopExt()->getCoins(), coins);
}

TEST_F(RunEndTest, TheIdleJobStartsNothingOnceFinished) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    PanelItem* item = panel("surprise")->findItem("box");
    ASSERT_NE(item, nullptr);
    ConductorContainer* conductors = item->getConductors();
    ASSERT_NE(conductors, nullptr);
    conductors->flush();
    MenuSurpriseExt::JobConductor idle(item, "wait", true, false);
    idle.begin();
    EXPECT_TRUE(idle.update(kDt));
    EXPECT_EQ(conductors->_queue.size(), 1u) << "the idle animation starts";
    conductors->flush();
    idle.finish();
    EXPECT_FALSE(idle.update(kDt));
    EXPECT_TRUE(conductors->_queue.empty()) << "a finished job must not start the idle animation again";
}

TEST_F(RunEndTest, GiftDrawFollowsTheChancesAndFallsBackWhenRoundingSkipsEveryGift) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    MenuSurpriseExt* box = _menu->getSurpriseExt();
    ASSERT_EQ(box->_gifts.size(), 3u);
    box->_gifts[0].acChance = 0;
    box->_gifts[1].acChance = 0;
    box->_gifts[2].acChance = 0;
    _menu->getSurpriseExt()->onShow(false);
    EXPECT_EQ(box->getDrawnGift(), 0) << "no chance anywhere: the first gift";

    // A chance too small to survive the subtraction next to a large one: whatever the random
    // number, the walk ends on a gift that has a chance, never past the list.
    box->_gifts[0].acChance = 1e30f;
    box->_gifts[1].acChance = 1.0f;
    box->_gifts[2].acChance = 0.0f;
    for (int i = 0; i < 200; ++i) {
        box->onShow(false);
        EXPECT_TRUE(box->getDrawnGift() == 0 || box->getDrawnGift() == 1) << box->getDrawnGift();
    }

    // 1, 1, 2: the last about half the time.
    box->_gifts[0].acChance = 1;
    box->_gifts[1].acChance = 1;
    box->_gifts[2].acChance = 2;
    int counts[3] = {0, 0, 0};
    for (int i = 0; i < 4000; ++i) {
        box->onShow(false);
        ASSERT_GE(box->getDrawnGift(), 0);
        ++counts[box->getDrawnGift()];
    }
    EXPECT_NEAR(counts[0], 1000, 150);
    EXPECT_NEAR(counts[1], 1000, 150);
    EXPECT_NEAR(counts[2], 2000, 150);
    box->onHide(false);
}

TEST_F(RunEndTest, ResultsShowTheRunAndTheFriendsRankingAndMoveTheGoodsOnce) {
    load();
    ASSERT_FALSE(HasFatalFailure());
    SocialPlatform& social = SocialPlatform::instance();
    auto* own = dynamic_cast<FriendProfile*>(social.getMyProfile());
    ASSERT_NE(own, nullptr);
    own->setBestDistance("zelvan_best_distance", 250);
    auto* friendProfile = dynamic_cast<FriendProfile*>(social.addFacebookFriend("1", "100% Zoë %s", ""));
    ASSERT_NE(friendProfile, nullptr);
    friendProfile->setBestDistance("zelvan_best_distance", 900);

    MenuShopExt* shop = _menu->getShopExt();
    shop->setCoins(40);
    shop->setTickets(0);
    struct Case {
        float coins;
        int32_t added;
    } cases[] = {{12.4f, 12}, {12.5f, 13}, {0.0f, 0}, {-3.0f, 0}};
    for (const Case& c : cases) {
        const int32_t before = shop->getCoins();
        endRun(c.coins, 321.7f, false);
        ASSERT_TRUE(reaches("results"));
        EXPECT_EQ(text("results", "table", 0), "321m");
        EXPECT_EQ(text("results", "table", 1), std::to_string(c.added)) << c.coins;
        EXPECT_EQ(shop->getCoins(), before + c.added) << c.coins;
        EXPECT_EQ(text("results", "coins", 0), std::to_string(before + c.added));
        // The mission button tells how far the region's mission map has come.
        EXPECT_TRUE(std::regex_match(text("results", "mission", 0), std::regex("MISSIONS [0-9]+\\.[0-9]%")))
            << text("results", "mission", 0);
        // Shown again by a step back (the shop and back, say): nothing moves twice, the table stays.
        _menu->getResultsExt()->onShow(true);
        _menu->collectRunGoods();
        EXPECT_EQ(shop->getCoins(), before + c.added) << c.coins;
        EXPECT_EQ(text("results", "table", 0), "321m");
    }
    EXPECT_FLOAT_EQ(_menu->getResultsExt()->getDistance(), 321.7f);

    // Three rows; two entries: the friend ahead of "Me", the third row empty. The name is shown
    // as it stands, percent signs and all.
    EXPECT_EQ(_menu->getResultsExt()->rankingRows(), 3);
    EXPECT_EQ(text("results", "table", 2), "1.");
    EXPECT_EQ(text("results", "table", 3), "100% Zoë %s");
    EXPECT_EQ(text("results", "table", 4), "900m");
    EXPECT_EQ(text("results", "table", 5), "2.");
    EXPECT_EQ(text("results", "table", 6), "Me");
    // The run's 321 m beat the player's 250 m, and the own profile keeps the better one.
    EXPECT_EQ(text("results", "table", 7), "321m");
    EXPECT_EQ(text("results", "table", 8), "");
    EXPECT_EQ(text("results", "table", 10), "");
    for (int i = 0; i < 60; ++i)
        frame();
    shot("results");

    // The figure's camera takes any screen shape.
    EXPECT_FLOAT_EQ(MenuResultsExt::fieldOfView(0.5f), 37.5f);
    EXPECT_FLOAT_EQ(MenuResultsExt::fieldOfView(2.4f), MenuResultsExt::kFovMax);
    EXPECT_FLOAT_EQ(MenuResultsExt::fieldOfView(0.0f), MenuResultsExt::kFovMin);
    EXPECT_FLOAT_EQ(MenuResultsExt::fieldOfView(-1.0f / 0.0f), MenuResultsExt::kFovMin);
}

}  // namespace
