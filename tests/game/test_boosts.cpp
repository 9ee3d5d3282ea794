// The boost base, the boost container and the train's ordered list of active boosts.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "GameConfigFixture.h"
#include "TestSupport.h"
#include "game/actors/ZelvanBoost.h"
#include "game/actors/ZelvanPlayerGoods.h"

using namespace Zelvan;

namespace {

// The base boost never looks at the train; it only insists that there is one.
ActorPlayer* somePlayer() {
    static int train;
    return reinterpret_cast<ActorPlayer*>(&train);
}

// A timed boost: runs until cut short, writing its name into the record's word so a test sees the
// order of the updates.
class TimedBoost : public Boost {
public:
    explicit TimedBoost(int32_t flag) : Boost(flag) {}
    void activate() override {
        Boost::activate();
        cut = false;
    }
    void deactivate() override {
        cut = true;
        ++deactivations;
    }
    bool update(PlayerGoods& record, ActorPlayer* actorPlayer, float dt) override {
        Boost::update(record, actorPlayer, dt);
        if (cut)
            return false;
        record._word += _name + " ";
        return true;
    }
    bool cut = false;
    int deactivations = 0;
};

// Gives back, when it dies, a boost it took from its container (as a random boost does with the
// boost it drew).
class HoldingBoost : public Boost {
public:
    explicit HoldingBoost(int32_t flag) : Boost(flag) {}
    ~HoldingBoost() override {
        if (held)
            releasedOnDeath = _container->release(held);
    }
    Boost* held = nullptr;
    static inline int releasedOnDeath = -1;
};

// Speed boosts are timed, random boosts hold another; every other kind is the base.
class TestContainer : public BoostContainer {
public:
    ~TestContainer() override { clear(); }

protected:
    Boost* createBoost(const BoostDefinition& d) override {
        if (d.flag == Boost::TypeSpeed)
            return new TimedBoost(d.flag);
        if (d.flag == Boost::TypeRandom)
            return new HoldingBoost(d.flag);
        return BoostContainer::createBoost(d);
    }
};

const char* kBoosts =
    "[boost]\n"
    "boosts = { bCoins bOdd bCoinsLater bMagnet bSpeed bTurboA bTurboB bLow bHigh bRandom }\n"
    "[bCoins]\n"
    "type = goods\n"
    "name = coins\n"
    "priority = 2.7\n"
    "analytics = analyticsBoostCoinBig\n"
    "[bOdd]\n"
    "type = teleport\n"
    "name = odd\n"
    "[bCoinsLater]\n"
    "type = goods\n"
    "name = coins\n"
    "priority = 7\n"
    "[bMagnet]\n"
    "type = magnet\n"
    "name = magnet\n"
    "priority = -0.5\n"
    "[bSpeed]\n"
    "type = speed\n"
    "name = speed\n"
    "priority = 1\n"
    "textMessage = \"#text_boost_speed\"\n"
    "[bTurboA]\n"
    "type = speed\n"
    "name = turboA\n"
    "priority = 1\n"
    "onlyOne = true\n"
    "character = true\n"
    "[bTurboB]\n"
    "type = speed\n"
    "name = turboB\n"
    "priority = 1\n"
    "onlyOne = true\n"
    "[bLow]\n"
    "type = speed\n"
    "name = low\n"
    "priority = 0\n"
    "[bHigh]\n"
    "type = speed\n"
    "name = high\n"
    "priority = 1e20\n"
    "[bRandom]\n"
    "type = random\n"
    "name = random\n";

class BoostTest : public GameConfigFixture {
protected:
    void SetUp() override {
        GameConfigFixture::SetUp();
        loadConfig(kBoosts);
        container.load();
    }
    std::vector<std::string> listNames() const {
        std::vector<std::string> out;
        for (const Boost* b : list)
            out.push_back(b->_name);
        return out;
    }
    TestContainer container;
    BoostList list;
    PlayerGoods record;
};

TEST_F(BoostTest, DefinitionsKeepConfigurationOrderAndSkipUnknownKinds) {
    testsupport::LogCapture log;
    container.load();  // a second load starts afresh
    std::vector<std::string> names;
    for (const BoostDefinition& d : container.definitions())
        names.push_back(d.name + "/" + d.prefix + "/" + std::to_string(d.flag));
    EXPECT_EQ(names, (std::vector<std::string>{"coins/bCoins/1", "coins/bCoinsLater/1", "magnet/bMagnet/4",
                                               "speed/bSpeed/32", "turboA/bTurboA/32", "turboB/bTurboB/32",
                                               "low/bLow/32", "high/bHigh/32", "random/bRandom/1024"}));
    EXPECT_TRUE(log.errors().empty());
    ASSERT_EQ(boostTypeTable().size(), 11u);
    int32_t flags = 0;
    for (const BoostType& t : boostTypeTable())
        flags |= t.flag;
    EXPECT_EQ(flags, 2047);  // eleven distinct bits
}

TEST_F(BoostTest, AcquireLoadsKeysOfTheFirstDefinitionOfThatName) {
    Boost* coins = container.acquire("coins");
    ASSERT_NE(coins, nullptr);
    EXPECT_EQ(coins->_type, Boost::TypeGoods);
    EXPECT_EQ(coins->_priority, 2);  // 2.7, truncated; the later "coins" has 7
    EXPECT_EQ(coins->_analytics, "analyticsBoostCoinBig");
    EXPECT_EQ(coins->_container, &container);
    EXPECT_EQ(container.acquire("magnet")->_priority, 0);  // -0.5
    EXPECT_EQ(container.acquire("high")->_priority, INT32_MAX);
    Boost* turbo = container.acquire("turboA");
    EXPECT_TRUE(turbo->_onlyOne);
    EXPECT_TRUE(turbo->_character);
    EXPECT_EQ(container.acquire("speed")->_textMessage, "#text_boost_speed");
    EXPECT_EQ(container.acquire("odd"), nullptr);
    EXPECT_EQ(container.acquire("nothing"), nullptr);
    EXPECT_EQ(container.active().size(), 5u);
}

TEST(BoostNumbersTest, FloatKeysAreClampedBeforeTheyBecomeIntegers) {
    struct Case {
        float in;
        int32_t asInt;
        uint32_t asUnsigned;
    };
    const Case cases[] = {{2.7f, 2, 2},   {-0.5f, 0, 0},          {-3.9f, -3, 0},
                          {3e9f, INT32_MAX, 3000000000u},           {-1e20f, INT32_MIN, 0},
                          {1e20f, INT32_MAX, UINT32_MAX},           {NAN, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(floatToInt32(c.in), c.asInt);
        EXPECT_EQ(floatToUint32(c.in), c.asUnsigned);
    }
}

TEST_F(BoostTest, ReleasedBoostsAreReusedInReleaseOrder) {
    Boost* first = container.acquire("speed");
    Boost* second = container.acquire("speed");  // the first is still out: a second instance
    ASSERT_NE(first, second);
    EXPECT_TRUE(container.release(second));
    EXPECT_TRUE(container.release(first));
    EXPECT_FALSE(container.release(first));  // already idle
    EXPECT_FALSE(container.release(nullptr));
    EXPECT_EQ(container.idle(), (std::vector<Boost*>{second, first}));

    second->_firstUpdate = false;
    EXPECT_EQ(container.acquire("speed"), second);
    EXPECT_TRUE(second->_firstUpdate);  // activated again
    EXPECT_EQ(container.acquire("speed"), first);
    EXPECT_TRUE(container.idle().empty());
    EXPECT_EQ(container.active(), (std::vector<Boost*>{second, first}));
}

TEST_F(BoostTest, AnalyticsCountOnceForEveryActivation) {
    Boost* coins = container.acquire("coins");
    EXPECT_FALSE(coins->update(record, somePlayer(), 0.016f));  // instant: done at once
    EXPECT_FALSE(coins->update(record, somePlayer(), 0.016f));
    EXPECT_EQ(record.get("analyticsBoostCoinBig")._amount, 1.0f);
    container.release(coins);
    ASSERT_EQ(container.acquire("coins"), coins);
    coins->update(record, somePlayer(), 0.016f);
    EXPECT_EQ(record.get("analyticsBoostCoinBig")._amount, 2.0f);

    // Without an analytics name nothing is counted, not even an empty-named counter.
    PlayerGoods other;
    container.acquire("magnet")->update(other, somePlayer(), 0.016f);
    EXPECT_TRUE(other._counters.empty());
}

TEST_F(BoostTest, UpdateWithoutTrainStops) {
    testsupport::logToStderr();
    Boost* coins = container.acquire("coins");
    EXPECT_DEATH(coins->update(record, nullptr, 0.016f), "ASSERTATION FAILED.*actorPlayer");
}

TEST_F(BoostTest, ListOrdersByPriorityAndKeepsArrivalOrderOnTies) {
    for (const char* n : {"speed", "low", "high", "turboA", "magnet"})
        list.add(container.acquire(n));
    list.add(nullptr);
    EXPECT_EQ(listNames(), (std::vector<std::string>{"low", "magnet", "speed", "turboA", "high"}));

    // Updated in list order, so a boost of higher priority writes last; the magnet runs on its
    // countdown and stays.
    list.update(record, somePlayer(), 0.016f);
    EXPECT_EQ(record._word, "low speed turboA high ");
    EXPECT_EQ(listNames(), (std::vector<std::string>{"low", "magnet", "speed", "turboA", "high"}));
    EXPECT_TRUE(container.idle().empty());

    list.releaseAll();
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(container.active().empty());
    EXPECT_EQ(container.idle().size(), 5u);
}

TEST_F(BoostTest, OnlyOneBoostReplacesTheOlderOne) {
    auto* turboA = static_cast<TimedBoost*>(container.acquire("turboA"));
    auto* speed = static_cast<TimedBoost*>(container.acquire("speed"));
    list.add(turboA);
    list.add(speed);  // not onlyOne: leaves turboA alone
    EXPECT_EQ(turboA->deactivations, 0);
    list.update(record, somePlayer(), 0.016f);
    EXPECT_EQ(list.size(), 2u);

    auto* turboB = static_cast<TimedBoost*>(container.acquire("turboB"));
    list.add(turboB);
    EXPECT_EQ(turboA->deactivations, 1);
    EXPECT_EQ(speed->deactivations, 0);
    EXPECT_EQ(listNames(), (std::vector<std::string>{"turboA", "speed", "turboB"}));
    record._word.clear();
    list.update(record, somePlayer(), 0.016f);
    EXPECT_EQ(record._word, "speed turboB ");
    EXPECT_EQ(listNames(), (std::vector<std::string>{"speed", "turboB"}));
    EXPECT_EQ(container.idle(), (std::vector<Boost*>{turboA}));

    // A kind cut short by its flag (as the rush mode cuts speed boosts).
    list.deactivateType(Boost::TypeSpeed);
    list.update(record, somePlayer(), 0.016f);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(container.idle().size(), 3u);
}

TEST_F(BoostTest, TeardownDeletesEveryBoostOnceWhileOneGivesAnotherBack) {
    HoldingBoost::releasedOnDeath = -1;
    {
        TestContainer own;
        own.load();
        auto* holder = static_cast<HoldingBoost*>(own.acquire("random"));
        holder->held = own.acquire("speed");
        own.acquire("coins");
        own.release(own.acquire("low"));
        EXPECT_EQ(own.active().size(), 3u);
        // Destruction clears: the holder's give-back finds nothing to release into.
    }
    EXPECT_EQ(HoldingBoost::releasedOnDeath, 0);

    auto* holder = static_cast<HoldingBoost*>(container.acquire("random"));
    holder->held = container.acquire("speed");
    container.release(holder);
    container.clear();
    EXPECT_EQ(HoldingBoost::releasedOnDeath, 0);
    EXPECT_TRUE(container.idle().empty());
    EXPECT_TRUE(container.active().empty());
    EXPECT_TRUE(container.definitions().empty());
    EXPECT_EQ(container.acquire("speed"), nullptr);
}

}  // namespace
