// The shop's catalogue and purse on the sample configuration, without a panel: the entries,
// their order and tabs, prices and balances, the selection handed to the game, and what the
// profile saves and restores.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "engine/FileBuffer.h"
#include "engine/online/ProfileChunk.h"
#include "engine/online/SocialPlatform.h"
#include "game/ZelvanTexts.h"
#include "game/menu/ZelvanMenuShopExt.h"

using Zelvan::MenuShopExt;

namespace {

typedef MenuShopExt::ItemInfo Info;

class ShopCatalogue : public ::testing::Test {
protected:
    void SetUp() override { ConfigStore::instance().resetForTests(); }
    void TearDown() override {
        Zelvan::TextContainer::destroyInstance();
        ConfigStore::instance().resetForTests();
    }

    // A fixture text read before the sample, so its keys win over the sample's.
    void loadConfig(const std::string& text) {
        const std::string name = "configs/fixture" + std::to_string(_files++) + ".txt";
        testsupport::writeFile(bundle.path() + "/data/" + name, text);
        ConfigStore::instance().loadFile(name.c_str(), "");
    }

    void loadSample() {
        testsupport::ScopedStores content(testsupport::contentDir(), documents.path());
        ConfigStore::instance().loadMainFile("configs/config.txt");
        Zelvan::TextContainer::instance()->load("text");
    }

    // The characters, trains and skins the game loads from the same lists, in their order.
    static MenuShopExt::Roster sampleRoster() {
        ConfigStore& cfg = ConfigStore::instance();
        MenuShopExt::Roster roster;
        for (const std::string& name : cfg.getList("actorCharacter.characters"))
            roster.characters.push_back({name, nullptr});
        for (const std::string& name : cfg.getList("actorPlayer.players"))
            roster.trains.push_back({name, nullptr});
        for (const std::string& name : cfg.getList("skin.skins"))
            roster.skins.push_back({name, nullptr});
        return roster;
    }

    // The shop's part of the last load step: the game's start character, train and skin owned
    // and selected, the configured start balances.
    static void applyStartValues(MenuShopExt& shop) {
        ConfigStore& cfg = ConfigStore::instance();
        const MenuShopExt::Roster roster = sampleRoster();
        const std::string character = cfg.getString("actorCharacter.startCharacter", roster.characters[0].name.c_str());
        for (const std::string& name : {character, std::string(cfg.getString("actorPlayer.startPlayer", "")),
                                        std::string(cfg.getString("skin.startSkin", ""))}) {
            shop.setItemState(name, 1);
            shop.selectItemByName(name);
        }
        shop.setCoins((int32_t)(cfg.getFloat("game.startCoins", 0) + 0.5f));
        shop.setTickets((int32_t)(cfg.getFloat("game.startTickets", 0) + 0.5f));
    }

    static Info describe(const MenuShopExt& shop, const std::string& name) {
        Info info;
        EXPECT_EQ(shop.describeItem(info, name), 1) << name;
        return info;
    }

    static std::vector<std::string> listNames(const MenuShopExt& shop) {
        std::vector<std::string> names;
        for (MenuShopExt::Node* node : shop.getList())
            names.push_back(node ? (node->_kind == MenuShopExt::KindHeader ? "<tab>" : node->_name) : "<sep>");
        return names;
    }

    testsupport::TempDir bundle, documents;
    testsupport::ScopedStores stores{bundle.path(), documents.path()};

private:
    int _files = 0;
};

TEST_F(ShopCatalogue, SampleListsEveryTabInOrderWithItsRange) {
    loadSample();
    MenuShopExt shop("menu_shop_extension", nullptr, nullptr, nullptr);
    shop.reload(sampleRoster());

    const std::vector<std::string> expected = {
        "<tab>", "shopMagnet", "zelvan_boost_brake",                                 // boosts
        "<tab>", "charFox", "charBear",                                              // characters
        "<tab>", "trainRed", "trainBlue",                                            // trains
        "<tab>", "skin_classic", "skin_gold",                                        // skins
        "<tab>", "zelvan_pack_1", "zelvan_pack_2", "zelvan_ticket", "zelvan_ticket_5",  // bank, by
        "zelvan_double_coins", "zelvan_noads"};                                      // product code
    EXPECT_EQ(listNames(shop), expected);
    EXPECT_EQ(shop._boosts.first, 0);
    EXPECT_EQ(shop._boosts.last, 2);
    EXPECT_EQ(shop._characters.first, 3);
    EXPECT_EQ(shop._characters.last, 5);
    EXPECT_EQ(shop._trains.first, 6);
    EXPECT_EQ(shop._trains.last, 8);
    EXPECT_EQ(shop._skins.first, 9);
    EXPECT_EQ(shop._skins.last, 11);
    EXPECT_EQ(shop._bank.first, 12);
    EXPECT_EQ(shop._bank.last, 18);
    // The ticket row is counted from the bank's heading and lands on the ticket pack.
    EXPECT_EQ(shop._ticketRow, 15);
    EXPECT_EQ(shop.findListIndex("zelvan_ticket"), 15);
    // Configured entries first, then the tab headings and the game's definitions as listed.
    EXPECT_EQ(shop.getItems().size(), 19u);
    EXPECT_EQ(shop.getItems()[0]->_name, "shopMagnet");

    // Texts and kinds come from each entry's section.
    const Info magnet = describe(shop, "shopMagnet");
    EXPECT_EQ(magnet.displayName, "#text_shop_magnet");
    EXPECT_EQ(magnet.levelCount, 5);
    EXPECT_EQ(magnet.level, -1);
    EXPECT_EQ(magnet.price, 100);
    EXPECT_EQ(describe(shop, "trainBlue").canBuy, 0);  // locked in the menu
    EXPECT_EQ(describe(shop, "charBear").price, 2500);
    EXPECT_EQ(describe(shop, "zelvan_pack_2").price, -5000);
}

TEST_F(ShopCatalogue, ReloadingKeepsOneCatalogue) {
    loadSample();
    MenuShopExt shop("menu_shop_extension", nullptr, nullptr, nullptr);
    shop.reload(sampleRoster());
    shop.setItemState("shopMagnet", 2);
    const std::vector<std::string> once = listNames(shop);
    const size_t items = shop.getItems().size();

    shop.reload(sampleRoster());
    EXPECT_EQ(listNames(shop), once);
    EXPECT_EQ(shop.getItems().size(), items);
    EXPECT_EQ(shop._bank.first, 12);
    EXPECT_EQ(shop._ticketRow, 15);
    EXPECT_EQ(describe(shop, "shopMagnet").level, 2);
}

TEST_F(ShopCatalogue, StartValuesOwnAndSelectTheStartItemsWithTheStartBalances) {
    loadSample();
    MenuShopExt shop("menu_shop_extension", nullptr, nullptr, nullptr);
    shop.reload(sampleRoster());
    applyStartValues(shop);

    for (const char* name : {"charFox", "trainRed", "skin_classic"}) {
        const Info info = describe(shop, name);
        EXPECT_EQ(info.owned, 1) << name;
        EXPECT_EQ(info.level, 0) << name;
        EXPECT_TRUE(shop.findItem(name)->isSelected()) << name;
    }
    for (const char* name : {"charBear", "trainBlue", "skin_gold"}) {
        EXPECT_EQ(describe(shop, name).owned, 0) << name;
        EXPECT_FALSE(shop.findItem(name)->isSelected()) << name;
    }
    EXPECT_EQ(shop._characterKey, "charFox");
    EXPECT_EQ(shop._characterIndex, 4);
    EXPECT_EQ(shop._trainKey, "trainRed");
    EXPECT_EQ(shop._trainIndex, 7);
    EXPECT_EQ(shop._skinKey, "skin_classic");
    EXPECT_EQ(shop._skinIndex, 10);
    EXPECT_EQ(shop.getCoins(), (int32_t)ConfigStore::instance().getFloat("game.startCoins", -1));
    EXPECT_EQ(shop.getCoins(), 500);
    EXPECT_EQ(shop.getTickets(), 1);
}

TEST_F(ShopCatalogue, CoinPurchasesPayExactlyAndRefuseWhatTheyCannotGrant) {
    loadSample();
    struct Case {
        const char* what;
        const char* name;
        int32_t coins;
        int32_t bought;
        int32_t coinsAfter;
        int32_t ticketsAfter;  // start 1
        int32_t levelAfter;
    } const cases[] = {
        {"boost at exactly its price", "shopMagnet", 100, 1, 0, 1, 0},
        {"boost one coin short", "shopMagnet", 99, 0, 99, 1, -1},
        {"character at exactly its price", "charBear", 2500, 1, 0, 1, 0},
        {"train locked in the menu", "trainBlue", 100000, 0, 100000, 1, -1},
        {"owned character", "charFox", 100000, 0, 100000, 1, 0},
        {"skin at exactly its price", "skin_gold", 3000, 1, 0, 1, 0},
        {"ticket pack for coins", "zelvan_ticket", 60, 1, 10, 2, -1},
        {"ticket pack without the coins", "zelvan_ticket", 49, 0, 49, 1, -1},
        // Packs sold for real money never come through the coin path: neither a coin pack
        // (which would mint coins) nor a free row.
        {"coin pack through the coin path", "zelvan_pack_1", 0, 0, 0, 1, -1},
        {"real-money ticket pack through the coin path", "zelvan_ticket_5", 0, 0, 0, 1, -1},
        {"free once-only row through the coin path", "zelvan_noads", 5, 0, 5, 1, -1},
        {"unknown name", "zelvan_nothing", 100, 0, 100, 1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MenuShopExt shop("menu_shop_extension", nullptr, nullptr, nullptr);
        shop.reload(sampleRoster());
        applyStartValues(shop);
        shop.setCoins(c.coins);
        EXPECT_EQ(shop.buyItemByName(c.name), c.bought);
        EXPECT_EQ(shop.getCoins(), c.coinsAfter);
        EXPECT_EQ(shop.getTickets(), c.ticketsAfter);
        Info info;
        if (shop.describeItem(info, c.name)) {
            EXPECT_EQ(info.level, c.levelAfter);
        }
    }
}

TEST_F(ShopCatalogue, BoostUpgradesToItsTopLevelAndClampsOutsideLevels) {
    loadSample();
    MenuShopExt shop("menu_shop_extension", nullptr, nullptr, nullptr);
    shop.reload(sampleRoster());
    shop.setCoins(150 + 300 + 600 + 7);
    for (int32_t level = 0; level < 3; ++level) {
        ASSERT_EQ(shop.buyItemByName("zelvan_boost_brake"), 1);
        EXPECT_EQ(describe(shop, "zelvan_boost_brake").level, level);
    }
    Info top = describe(shop, "zelvan_boost_brake");
    EXPECT_EQ(top.canBuy, 0);
    EXPECT_EQ(top.price, 0);
    EXPECT_EQ(shop.buyItemByName("zelvan_boost_brake"), 0);
    EXPECT_EQ(shop.getCoins(), 7);

    // Levels from outside (a profile, a reward) stay inside -1..count-1, so the next price is
    // always one of the list's.
    const struct {
        int32_t given, level, price;
    } levels[] = {{-5, -1, 100}, {-1, -1, 100}, {0, 0, 200}, {3, 3, 1600}, {4, 4, 0}, {99, 4, 0}, {INT32_MIN, -1, 100}};
    for (const auto& l : levels) {
        SCOPED_TRACE(l.given);
        EXPECT_EQ(shop.setItemState("shopMagnet", l.given), 1);
        const Info info = describe(shop, "shopMagnet");
        EXPECT_EQ(info.level, l.level);
        EXPECT_EQ(info.price, l.price);
    }
}

TEST_F(ShopCatalogue, BoostWithoutUpgradesCanNeverBeBought) {
    loadConfig(R"(
[menu_shop_extension]
items = { plain }
list = { boosts_begin plain boosts_end }
[plain]
type = item
[priced]
type = item
upgrade = { 10 abc -40 7.9 }
)");
    MenuShopExt shop("menu_shop_extension", nullptr, nullptr, nullptr);
    shop.reload(MenuShopExt::Roster());
    shop.setCoins(1000);
    Info info = describe(shop, "plain");
    EXPECT_EQ(info.levelCount, 0);
    EXPECT_EQ(info.canBuy, 0);
    EXPECT_EQ(shop.buyItemByName("plain"), 0);
    shop.setItemState("plain", 3);
    EXPECT_EQ(describe(shop, "plain").level, -1);
    EXPECT_EQ(shop.getCoins(), 1000);
    EXPECT_EQ(shop.hasAffordableItem(shop._boosts), 0);
}

TEST_F(ShopCatalogue, PricesForCoinsAreNeverNegative) {
    loadConfig(R"(
[menu_shop_extension]
items = { boost pet }
list = { boost pet }
[boost]
type = item
upgrade = { 10 abc -40 7.9 }
[pet]
type = character
coins = -300
)");
    MenuShopExt shop("menu_shop_extension", nullptr, nullptr, nullptr);
    shop.reload(MenuShopExt::Roster());
    const MenuShopExt::ItemItem* boost = static_cast<MenuShopExt::ItemItem*>(shop.findItem("boost"));
    ASSERT_TRUE(boost);
    EXPECT_EQ(boost->_prices, (std::vector<int32_t>{10, 0, 0, 7}));
    // A character made from ".items" with a negative price costs nothing and pays nothing.
    shop.setCoins(0);
    EXPECT_EQ(describe(shop, "pet").price, 0);
    EXPECT_EQ(shop.buyItemByName("pet"), 1);
    EXPECT_EQ(shop.getCoins(), 0);
}

TEST_F(ShopCatalogue, StoreCreditGrantsRealMoneyPacksOnly) {
    loadSample();
    MenuShopExt shop("menu_shop_extension", nullptr, nullptr, nullptr);
    shop.reload(sampleRoster());
    applyStartValues(shop);  // 500 coins, 1 ticket

    EXPECT_EQ(shop.creditItemByName("zelvan_pack_1"), 1);
    EXPECT_EQ(shop.getCoins(), 1500);
    EXPECT_EQ(shop.creditItemByName("zelvan_pack_1"), 1);  // packs can be bought again
    EXPECT_EQ(shop.getCoins(), 2500);
    EXPECT_EQ(shop.creditItemByName("zelvan_ticket_5"), 1);
    EXPECT_EQ(shop.getTickets(), 6);

    // Once-only: the first credit takes it, the profile saves it as level 0.
    EXPECT_EQ(shop.creditItemByName("zelvan_noads"), 1);
    Info noads = describe(shop, "zelvan_noads");
    EXPECT_EQ(noads.level, 0);
    EXPECT_EQ(noads.canBuy, 0);
    EXPECT_EQ(shop.creditItemByName("zelvan_noads"), 0);

    // The store never hands out what is sold for coins, and nothing is granted twice.
    for (const char* name : {"zelvan_ticket", "shopMagnet", "charBear", "zelvan_nothing"})
        EXPECT_EQ(shop.creditItemByName(name), 0) << name;
    EXPECT_EQ(shop.getCoins(), 2500);
    EXPECT_EQ(shop.getTickets(), 6);
}

// A credit of the store is saved with the profile at once; a coin purchase leaves that to its
// caller.
TEST_F(ShopCatalogue, StoreCreditSavesTheProfile) {
    struct CountingChunk : IProfileChunk {
        void onSave(const std::string&, FileBuffer&) override { ++saves; }
        void onLoad(const std::string&, FileBuffer&) override {}
        int saves = 0;
    } chunk;
    SocialPlatform::instance().registerChunk("shop_test", &chunk, false);
    loadSample();
    MenuShopExt shop("menu_shop_extension", nullptr, nullptr, nullptr);
    shop.reload(sampleRoster());
    shop.setCoins(1000);

    EXPECT_EQ(shop.buyItemByName("zelvan_ticket"), 1);
    EXPECT_EQ(chunk.saves, 0);
    EXPECT_EQ(shop.creditItemByName("zelvan_pack_2"), 1);
    EXPECT_EQ(chunk.saves, 1);
    EXPECT_EQ(shop.creditItemByName("zelvan_ticket"), 0);  // refused: nothing to save
    EXPECT_EQ(chunk.saves, 1);
    SocialPlatform::instance().unregisterChunk("shop_test");
}

TEST_F(ShopCatalogue, AffordabilityOfRangesAndTabs) {
    loadSample();
    MenuShopExt shop("menu_shop_extension", nullptr, nullptr, nullptr);
    shop.reload(sampleRoster());
    applyStartValues(shop);
    shop.setCoins(0);

    // Real-money packs count as affordable with no coins at all.
    EXPECT_EQ(shop.hasAffordableItem(shop._bank), 1);
    EXPECT_EQ(shop.hasAffordableItem(13, 13), 1);
    EXPECT_EQ(shop.hasAffordableItem(shop._boosts), 0);
    EXPECT_EQ(shop.hasAffordableItem(shop._characters), 0);
    shop.setCoins(100);
    EXPECT_EQ(shop.hasAffordableItem(shop._boosts), 1);
    EXPECT_EQ(shop.hasAffordableItem(2, 0), 1);  // either order
    EXPECT_EQ(shop.hasAffordableItem(-1, -1), 0);
    EXPECT_EQ(shop.hasAffordableItem(100, 200), 0);

    // A tab whose first entry lies past its last is empty: read as indices in either order it
    // would answer for its neighbours (here the bank's first pack).
    MenuShopExt::Range empty;
    empty.first = 13;
    empty.last = 12;
    EXPECT_EQ(shop.hasAffordableItem(empty.first, empty.last), 1);
    EXPECT_EQ(shop.hasAffordableItem(empty), 0);
    EXPECT_EQ(shop.hasAffordableItem(MenuShopExt::Range()), 0);
}

TEST_F(ShopCatalogue, SelectionKeepsTheItemAndHandsItsKeyToTheGame) {
    loadSample();
    MenuShopExt shop("menu_shop_extension", nullptr, nullptr, nullptr);
    shop.reload(sampleRoster());
    applyStartValues(shop);

    const MenuShopExt::Selection current{"charFox", "trainRed", "skin_classic"};
    MenuShopExt::Selection hand = shop.selectionToHand(current);
    EXPECT_EQ(hand.character, "");
    EXPECT_EQ(hand.train, "");
    EXPECT_EQ(hand.skin, "");

    EXPECT_EQ(shop.selectItemByName("charBear"), 1);
    EXPECT_EQ(shop.selectItemByName("charBear"), 0);  // already selected
    EXPECT_TRUE(shop.findItem("charBear")->isSelected());
    EXPECT_FALSE(shop.findItem("charFox")->isSelected());
    EXPECT_TRUE(shop.findItem("trainRed")->isSelected());  // other kinds keep theirs
    EXPECT_EQ(shop._characterKey, "charBear");
    EXPECT_EQ(shop._characterIndex, 5);

    hand = shop.selectionToHand(current);
    EXPECT_EQ(hand.character, "charBear");
    EXPECT_EQ(hand.train, "");
    EXPECT_EQ(hand.skin, "");
    // With no current character the selected one is handed on too.
    EXPECT_EQ(shop.selectionToHand(MenuShopExt::Selection()).train, "trainRed");

    // Things that are not characters, trains or skins are never selected.
    EXPECT_EQ(shop.selectItemByName("shopMagnet"), 1);
    EXPECT_FALSE(shop.findItem("shopMagnet")->isSelected());
    EXPECT_EQ(shop.selectItemByName("zelvan_nothing"), 0);
}

TEST_F(ShopCatalogue, ProfileValuesRestoreTheSameCatalogueState) {
    loadSample();
    MenuShopExt shop("menu_shop_extension", nullptr, nullptr, nullptr);
    shop.reload(sampleRoster());
    applyStartValues(shop);
    shop.setCoins(5000);
    ASSERT_EQ(shop.buyItemByName("shopMagnet"), 1);
    ASSERT_EQ(shop.buyItemByName("shopMagnet"), 1);
    ASSERT_EQ(shop.buyItemByName("charBear"), 1);
    ASSERT_EQ(shop.creditItemByName("zelvan_double_coins"), 1);
    ASSERT_EQ(shop.selectItemByName("charBear"), 1);

    // What the profile keeps: every item's name and describe level, in creation order.
    std::vector<std::pair<std::string, int32_t>> saved;
    Info info;
    for (int32_t i = 0; shop.describeItemAt(info, i); ++i)
        saved.emplace_back(info.name, info.level);
    EXPECT_EQ(saved.size(), shop.getItems().size());
    EXPECT_EQ(shop.describeItemAt(info, -1), 0);

    MenuShopExt restored("menu_shop_extension", nullptr, nullptr, nullptr);
    restored.reload(sampleRoster());
    applyStartValues(restored);
    for (const auto& entry : saved)
        restored.setItemState(entry.first, entry.second);
    restored.selectItemByName(shop._characterKey);
    restored.selectItemByName(shop._trainKey);
    restored.selectItemByName(shop._skinKey);
    restored.setCoins(shop.getCoins());
    restored.setTickets(shop.getTickets());

    for (size_t i = 0; i < saved.size(); ++i) {
        Info a, b;
        shop.describeItemAt(a, (int32_t)i);
        restored.describeItemAt(b, (int32_t)i);
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.level, b.level) << a.name;
        EXPECT_EQ(a.canBuy, b.canBuy) << a.name;
        EXPECT_EQ(shop.getItems()[i]->isSelected(), restored.getItems()[i]->isSelected()) << a.name;
    }
    EXPECT_EQ(describe(restored, "zelvan_double_coins").level, 0);
    EXPECT_EQ(describe(restored, "shopMagnet").level, 1);
    EXPECT_EQ(restored.getCoins(), shop.getCoins());
    // A restored once-only pack stays taken; a level below 0 makes it available again.
    restored.setItemState("zelvan_double_coins", -1);
    EXPECT_EQ(describe(restored, "zelvan_double_coins").canBuy, 1);
}

}  // namespace
