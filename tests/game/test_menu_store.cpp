// The shop's purchases on the sample game, driven by touches on the shop's rows and the message
// box: items and packs bought with coins, packs bought through the store stand-in, the store's
// failures, restoring, crediting every store transaction exactly once (also across a kill and
// before the profile is loaded), and the no-ads purchase switching advertising off at once.

#include <string>
#include <vector>

#include "GameFixture.h"
#include "TestSupport.h"
#include "engine/online/SocialPlatform.h"
#include "engine/online/StoreManager.h"
#include "engine/plat_linux/Analytics.h"
#include "engine_game/Text.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/menu/ZelvanPanelItem.h"
#include "game/profile/ZelvanMyProfile.h"

namespace {

const int32_t kPack1 = 256, kNoAds = 2816;

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

class MenuStore : public GameFixture {
protected:
    // The game loaded, the store's prices answered, the menu at rest.
    void loadGame() {
        load();
        if (HasFatalFailure())
            return;
        turn();
        ASSERT_TRUE(StoreManager::instance().pricesKnown());
        ASSERT_TRUE(settle());
    }
    void openShop() {
        ASSERT_TRUE(_menu->goToPanel("shop", false));
        ASSERT_TRUE(reaches("shop"));
        ASSERT_TRUE(activates("shop"));
    }
    MenuShopExt* shop() const { return _menu->getShopExt(); }
    View* rowView(const std::string& name, const char* node = "button_buy") const {
        MenuShopExt::Item* item = shop()->findItem(name);
        return item && item->_row ? dynamic_cast<View*>(item->_row->findNode(node)) : nullptr;
    }
    // Scrolls the row onto the screen and taps its button.
    void tapRow(const std::string& name, const char* node = "button_buy") {
        ASSERT_TRUE(activates("shop"));
        ASSERT_EQ(shop()->focusListIndex(shop()->findListIndex(name)), 1) << name;
        frames(90);
        View* view = rowView(name, node);
        ASSERT_NE(view, nullptr) << name;
        tap(pointOf(view));
    }
    // Line 0 is the message box's caption, line 2 its text.
    std::string messageLine(int line) const {
        PanelItem* item = panel("message")->findItem("message_text");
        return item && (size_t)line < item->getTexts().size() ? item->getTexts()[line]->_text : std::string();
    }
    // The message box came with that caption and settled; its text is returned.
    std::string messageWith(const std::string& caption) {
        EXPECT_TRUE(settle());
        EXPECT_TRUE(reaches("message"));
        EXPECT_TRUE(activates("message"));
        EXPECT_EQ(messageLine(0), caption);
        return messageLine(2);
    }
    bool backInShop() { return settle() && current() == "shop" && activates("shop"); }
    int32_t level(const std::string& name) const {
        MenuShopExt::ItemInfo info;
        shop()->describeItem(info, name);
        return info.level;
    }
    bool noAdsOwned() const { return level("zelvan_noads") >= 0; }
    MyProfile* profile() const { return dynamic_cast<MyProfile*>(SocialPlatform::instance().getMyProfile()); }
    size_t openInStore() const { return storekit::PaymentQueue::defaultQueue().transactions().size(); }
    // The analytics events of this test with that action, as "label" per line.
    std::vector<std::string> analytics(const std::string& category, const std::string& action) const {
        std::vector<std::string> labels;
        for (const std::string& line : splitLines(testsupport::readFile(platform::analyticsLogPath())))
            if (line.rfind(category + "\t" + action + "\t", 0) == 0) {
                const size_t from = category.size() + action.size() + 2;
                labels.push_back(line.substr(from, line.rfind('\t') - from));
            }
        return labels;
    }
    // A store with transactions left from an earlier run: "open <id> purchased <product>" lines
    // and "owned <product> <id>" lines.
    void writeStoreFile(const std::string& lines) {
        testsupport::writeFile(storekit::transactionFilePath(), "next 900\n" + lines);
        storekit::restart();
    }
};

// Bought with coins: the question, both answers, too expensive, locked, and an owned item
// that is only selected.
TEST_F(MenuStore, BuyingWithCoinsAsksAndPaysOnlyOnYes) {
    loadGame();
    openShop();
    ASSERT_EQ(shop()->getCoins(), 500);

    tapRow("shopMagnet");
    EXPECT_EQ(messageWith("Buy"), "Buy Magnet for 100 coins?");
    ASSERT_TRUE(tapButton("message", "onMessageNo"));
    ASSERT_TRUE(backInShop());
    EXPECT_EQ(shop()->getCoins(), 500);
    EXPECT_EQ(level("shopMagnet"), -1);
    EXPECT_EQ(_menu->_purchaseView, nullptr);

    tapRow("shopMagnet");
    EXPECT_EQ(messageWith("Buy"), "Buy Magnet for 100 coins?");
    ASSERT_TRUE(tapButton("message", "onMessageYes"));
    ASSERT_TRUE(backInShop());
    EXPECT_EQ(shop()->getCoins(), 400);
    EXPECT_EQ(level("shopMagnet"), 0);

    tapRow("charBear");
    EXPECT_EQ(messageWith("Not enough coins"), "Bear costs 2500 coins.");
    ASSERT_TRUE(tapButton("message", "onMessageOk"));
    ASSERT_TRUE(backInShop());

    tapRow("trainBlue");
    EXPECT_EQ(messageWith("Locked"), "Not for sale: finish every mission to win it.");
    ASSERT_TRUE(tapButton("message", "onMessageOk"));
    ASSERT_TRUE(backInShop());
    EXPECT_EQ(shop()->getCoins(), 400);
    EXPECT_FALSE(shop()->findItem("charBear")->isSelected());

    // A bank pack priced in coins asks the same question.
    const int32_t tickets = shop()->getTickets();
    tapRow("zelvan_ticket");
    EXPECT_EQ(messageWith("Buy"), "Buy One ticket for 50 coins?");
    ASSERT_TRUE(tapButton("message", "onMessageYes"));
    ASSERT_TRUE(backInShop());
    EXPECT_EQ(shop()->getCoins(), 350);
    EXPECT_EQ(shop()->getTickets(), tickets + 1);

    EXPECT_EQ(analytics("menu shop", "buy item"),
              (std::vector<std::string>{"Magnet: no", "Magnet: yes", "One ticket: yes"}));
    EXPECT_TRUE(analytics("menu shop", "buy bank").empty());
    EXPECT_EQ(history(), (std::vector<std::string>{"tutorial"}));
}

// Owned already: the row's button selects it, nothing is asked or paid.
TEST_F(MenuStore, TouchingAnOwnedItemSelectsIt) {
    loadGame();
    shop()->setCoins(3000);
    ASSERT_EQ(shop()->buyItemByName("charBear"), 1);
    shop()->selectItemByName("charFox");
    ASSERT_FALSE(shop()->findItem("charBear")->isSelected());
    openShop();
    const int32_t coins = shop()->getCoins();
    tapRow("charBear", "button_select");
    frames(5);
    EXPECT_EQ(current(), "shop");
    EXPECT_TRUE(shop()->findItem("charBear")->isSelected());
    EXPECT_EQ(shop()->getCoins(), coins);
}

// A real-money pack: the wait message, the store's answer, the credit by the row, the analytics
// event and the saved profile; the transaction is finished once the credit is saved.
TEST_F(MenuStore, APackBoughtThroughTheStoreIsCreditedOnceAndSaved) {
    loadGame();
    openShop();
    tapRow("zelvan_pack_1");
    messageWith("Store");
    EXPECT_EQ(_menu->_pendingPurchase.code, kPack1);
    EXPECT_EQ(shop()->getCoins(), 500) << "nothing before the store answers";
    turn();
    EXPECT_EQ(shop()->getCoins(), 1500);
    ASSERT_TRUE(backInShop());
    EXPECT_EQ(_menu->_pendingPurchase.view, nullptr);
    EXPECT_EQ(openInStore(), 0u);
    ASSERT_EQ(profile()->creditedTransactions().size(), 1u);
    turns(5);
    EXPECT_EQ(shop()->getCoins(), 1500);
    EXPECT_EQ(analytics("menu shop", "buy bank"), (std::vector<std::string>{"A pile of coins: yes"}));

    // The next start: the coins are there and nothing comes again.
    unload();
    loadGame();
    turns(3);
    EXPECT_EQ(shop()->getCoins(), 1500);
}

// The revive's coin pack (a purchase started outside the shop) is credited by its code, saved,
// and kept at the next start.
TEST_F(MenuStore, ACoinPackBoughtOutsideTheShopIsCreditedByCode) {
    loadGame();
    startStorePurchase(StoreManager::instance(), kPack1);
    turn();
    EXPECT_EQ(shop()->getCoins(), 1500);
    EXPECT_EQ(openInStore(), 0u);
    EXPECT_EQ(current(), "tutorial") << "no panel moves for a purchase the shop did not start";
    unload();
    loadGame();
    turns(3);
    EXPECT_EQ(shop()->getCoins(), 1500);
}

// A cancelled shop purchase ends the wait and forgets the row: the revive pack bought next is
// the pack, not the row touched earlier.
TEST_F(MenuStore, ACancelledPurchaseLeavesNoRowForTheNextResult) {
    loadGame();
    openShop();
    storekit::setNextPurchaseOutcome(storekit::PurchaseOutcome::Cancel);
    tapRow("zelvan_noads");
    messageWith("Store");
    turn();
    ASSERT_TRUE(backInShop());
    EXPECT_EQ(_menu->_pendingPurchase.view, nullptr);
    EXPECT_FALSE(noAdsOwned());

    startStorePurchase(StoreManager::instance(), kPack1);
    turn();
    EXPECT_EQ(shop()->getCoins(), 1500);
    EXPECT_FALSE(noAdsOwned());
    EXPECT_EQ(current(), "shop");
    EXPECT_TRUE(analytics("menu shop", "buy bank").empty());
}

// While the shop waits for one product, another product's payment (the revive pack) is credited
// as that product; the shop's own answer still goes to its row afterwards.
TEST_F(MenuStore, AnotherProductArrivingDuringAShopPurchaseIsNotCreditedToTheRow) {
    loadGame();
    openShop();
    startStorePurchase(StoreManager::instance(), kPack1);  // answered on the next turn
    tapRow("zelvan_noads");
    messageWith("Store");
    ASSERT_EQ(_menu->_pendingPurchase.code, kNoAds);
    turn();
    EXPECT_EQ(shop()->getCoins(), 1500) << "the pack is credited as the pack";
    EXPECT_TRUE(noAdsOwned());
    ASSERT_TRUE(backInShop());
    EXPECT_EQ(analytics("menu shop", "buy bank"), (std::vector<std::string>{"No ads: yes"}));
    EXPECT_EQ(openInStore(), 0u);
    EXPECT_EQ(profile()->creditedTransactions().size(), 2u);
}

// An approved deferred payment comes later, without a shop purchase waiting: it is credited by
// its code. A failed payment only ends the wait; a purchase that cannot start shows the store
// message, and OK returns to the shop.
TEST_F(MenuStore, DeferredAndFailedPurchasesEndTheWait) {
    loadGame();
    openShop();
    storekit::setNextPurchaseOutcome(storekit::PurchaseOutcome::Deferred);
    tapRow("zelvan_pack_2");
    messageWith("Store");
    turn();
    ASSERT_TRUE(backInShop());
    EXPECT_EQ(shop()->getCoins(), 500);
    storekit::approveDeferredPayments();
    turn();
    EXPECT_EQ(shop()->getCoins(), 5500);
    EXPECT_EQ(current(), "shop");

    storekit::setNextPurchaseOutcome(storekit::PurchaseOutcome::Error, storekit::ErrorUnknown);
    tapRow("zelvan_pack_1");
    messageWith("Store");
    turn();
    ASSERT_TRUE(backInShop());
    EXPECT_EQ(shop()->getCoins(), 5500);
    EXPECT_EQ(_menu->_pendingPurchase.view, nullptr);

    // Payments switched off: the purchase cannot start and says so at once.
    storekit::setPaymentsAllowed(false);
    tapRow("zelvan_pack_1");
    EXPECT_EQ(messageWith("Store"), "The purchase did not go through.");
    ASSERT_TRUE(tapButton("message", "onMessageOk"));
    ASSERT_TRUE(backInShop());
    EXPECT_EQ(history(), (std::vector<std::string>{"tutorial"}));
}

// Killed after the credit was saved and before the store heard of it: the store delivers the
// transaction again at the next start, and it is only finished.
TEST_F(MenuStore, ATransactionDeliveredAgainAfterAKillIsCreditedOnce) {
    loadGame();
    startStorePurchase(StoreManager::instance(), kPack1);
    turn();
    ASSERT_EQ(shop()->getCoins(), 1500);
    ASSERT_EQ(profile()->creditedTransactions().size(), 1u);
    const std::string id = profile()->creditedTransactions().back();
    unload();
    // What the store would hold had the program died between the save and the finish.
    writeStoreFile("open " + id + " purchased zelvan_pack_1\n");
    ASSERT_EQ(openInStore(), 1u);

    loadGame();
    turns(3);
    EXPECT_EQ(shop()->getCoins(), 1500);
    EXPECT_EQ(openInStore(), 0u) << "the store is told at last";
}

// The store delivers a purchase before the profile is loaded: it waits, is credited once the
// profile is in the menus, and its second delivery is only finished.
TEST_F(MenuStore, ATransactionBeforeTheProfileLoadsIsNotLost) {
    writeStoreFile("open 900.1 purchased zelvan_pack_1\n");
    beginLoading();
    ASSERT_FALSE(HasFatalFailure());
    std::map<int32_t, std::string> products;
    StoreProduct::buildCodeMap(products);
    StoreManager::instance().setProducts("requesting...", products);
    platform::runMainThreadTasks();
    platform::runMainThreadTasks();
    ASSERT_EQ(_menu->_waitingCredits.size(), 1u) << "delivered before the profile could take it";
    EXPECT_EQ(openInStore(), 1u);

    finishLoading();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_TRUE(_menu->_waitingCredits.empty());
    EXPECT_EQ(shop()->getCoins(), 1500);
    turns(3);
    EXPECT_EQ(shop()->getCoins(), 1500);
    EXPECT_EQ(openInStore(), 0u);

    unload();
    loadGame();
    EXPECT_EQ(shop()->getCoins(), 1500) << "the credit was saved";
}

// Restoring from the options: the once-only products owned come back (no ads hides the banner),
// the message goes, the profile is saved; a failing restore shows the store message.
TEST_F(MenuStore, RestoringBringsBackOnceOnlyProducts) {
    writeStoreFile("owned zelvan_noads 900.1\nowned zelvan_double_coins 900.2\n");
    loadGame();
    ASSERT_NE(platform::bannerView(), nullptr) << "ads are on before the restore";
    _menu->showBanner();
    EXPECT_FALSE(platform::bannerView()->hidden);
    ASSERT_TRUE(_menu->goToPanel("options", false));
    ASSERT_TRUE(tapButton("options", "onOptionsRestorePurchases"));
    messageWith("Restoring");
    turns(3);
    EXPECT_TRUE(noAdsOwned());
    EXPECT_EQ(level("zelvan_double_coins"), 0);
    EXPECT_TRUE(platform::bannerView()->hidden);
    EXPECT_EQ(shop()->getCoins(), 500);
    ASSERT_TRUE(reaches("options"));
    EXPECT_EQ(openInStore(), 0u);
    EXPECT_EQ(analytics("menu options", "restore purchases"), (std::vector<std::string>{""}));

    // Restored again: owned already, nothing more is given.
    ASSERT_TRUE(tapButton("options", "onOptionsRestorePurchases"));
    turns(3);
    ASSERT_TRUE(reaches("options"));
    EXPECT_EQ(shop()->getCoins(), 500);
    EXPECT_EQ(openInStore(), 0u);

    storekit::setRestoreFailure("no network");
    ASSERT_TRUE(tapButton("options", "onOptionsRestorePurchases"));
    turns(2);
    EXPECT_EQ(messageWith("Store"), "The purchase did not go through.");
    ASSERT_TRUE(tapButton("message", "onMessageOk"));
    ASSERT_TRUE(reaches("options"));
    EXPECT_EQ(history(), (std::vector<std::string>{"tutorial"}));

    unload();
    loadGame();
    EXPECT_TRUE(noAdsOwned()) << "saved";
    EXPECT_EQ(platform::bannerView(), nullptr) << "no banner is made once ads are off";
}

// Buying "no ads" takes the banner away at once; afterwards banner and interstitials stay away.
TEST_F(MenuStore, BuyingNoAdsHidesTheBannerAndStopsAllAds) {
    loadGame();
    ASSERT_TRUE(_menu->isAdsEnabled());
    ASSERT_NE(platform::bannerView(), nullptr);
    EXPECT_EQ(platform::interstitialService().starts, 1);
    turns(2);  // the interstitial service caches its ads
    _menu->showBanner();
    ASSERT_FALSE(platform::bannerView()->hidden);
    openShop();
    tapRow("zelvan_noads");
    messageWith("Store");
    turn();
    EXPECT_TRUE(noAdsOwned());
    EXPECT_FALSE(_menu->isAdsEnabled());
    EXPECT_TRUE(platform::bannerView()->hidden);

    _menu->showBanner();
    EXPECT_TRUE(platform::bannerView()->hidden);
    ASSERT_TRUE(platform::interstitialService().locations["Game Over"].cached);
    const int shows = platform::interstitialService().locations["Game Over"].shows;
    _menu->showInterstitial();
    EXPECT_EQ(platform::interstitialService().locations["Game Over"].shows, shows);

    // Switched off by configuration: no ads whatever the shop holds.
    _menu->setAdsEnabled(false);
    EXPECT_FALSE(_menu->isAdsEnabled());
}

TEST_F(MenuStore, AdsAreOnUntilNoAdsIsOwnedOrSwitchedOff) {
    loadGame();
    EXPECT_TRUE(_menu->isAdsEnabled());
    EXPECT_EQ(platform::videoService().appId, "402716367");
    EXPECT_EQ(platform::interstitialService().appId, "a1f0c9e7b3d2a8f6c4e1b9d7");
    EXPECT_EQ(platform::bannerView()->adUnitId, "9a8b7c6d5e4f3a2b1c0d9e8f7a6b5c4d");
    turns(2);
    ASSERT_TRUE(platform::interstitialService().locations["Game Over"].cached);
    _menu->showInterstitial();
    EXPECT_EQ(platform::interstitialService().locations["Game Over"].shows, 1);
    _menu->hideBanner();
    _menu->setAdsEnabled(false);
    EXPECT_FALSE(_menu->isAdsEnabled());
    _menu->showBanner();
    EXPECT_TRUE(platform::bannerView()->hidden);
    _menu->setAdsEnabled(true);
    shop()->setItemState("zelvan_noads", 0);
    EXPECT_FALSE(_menu->isAdsEnabled());
}

// The offer interstitial pauses a running run; closing or failing lets the next one show.
TEST_F(MenuStore, AnOfferPausesARunningRun) {
    loadGame();
    _menu->startRun();
    frames(30);
    ASSERT_EQ(_stage->getState(), Stage::StateRunning);
    _menu->_offerShown = true;
    _menu->onAdShown();
    EXPECT_EQ(_stage->getState(), Stage::StatePaused);
    EXPECT_TRUE(reaches("pause"));
    _menu->onAdClosed();
    EXPECT_FALSE(_menu->_offerShown);
    _menu->_offerShown = true;
    _menu->onAdFailed();
    EXPECT_FALSE(_menu->_offerShown);
    _menu->onAdShown();  // paused already: nothing more
    EXPECT_EQ(history().size(), 1u);
}

}  // namespace
