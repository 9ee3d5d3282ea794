// The shop's purchase dialogues and the store's answers: items bought with coins, packs bought
// through the store, restoring, and crediting each store transaction once.
//
// Money paid must never be lost nor credited twice, so a store result is credited by what it
// names, not by what the screen happens to show: the shop's bank purchase keeps its row together
// with the product's code, and only the answer for that code goes to that row. Everything else
// (the revive's coin pack, restored products, transactions of an earlier run) is credited by its
// product code. Transactions are finished only after their credit is saved, and the profile
// remembers which it credited, so one delivered again after a kill is not paid out twice.

#include <cstdint>
#include <cstdlib>
#include <initializer_list>

#include "engine/online/SocialPlatform.h"
#include "engine/online/StoreManager.h"
#include "engine/services.h"
#include "engine/ui/View.h"
#include "engine/utils.h"
#include "game/ZelvanTexts.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/menu/ZelvanPanelItem.h"
#include "game/profile/ZelvanMyProfile.h"

namespace Zelvan {

namespace {

const char* const kNoAdsItem = "zelvan_noads";

std::string tr(const std::string& key) {
    TextContainer* texts = TextContainer::get();
    return texts ? texts->translate(key) : key;
}

// The message texts are shown as formats ("%%" gives one '%'). A translation is a format whose
// "%s" (or "%d") places take the arguments in turn; nothing else is read as a conversion, so a
// translation cannot make the formatting read past its arguments. Arguments keep their '%'.
std::string formatMessage(const std::string& format, std::initializer_list<std::string> arguments) {
    std::string out;
    auto next = arguments.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            const char c = format[i + 1];
            if ((c == 's' || c == 'd') && next != arguments.end()) {
                out += PanelItem::literalText(*next++);
                ++i;
                continue;
            }
            if (c == '%') {
                out += "%%";
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

// A price as the messages show it: without its sign, and nothing for 0.
std::string priceText(int32_t price) {
    if (price == 0)
        return std::string();
    return std::to_string(std::llabs((long long)price));
}

MyProfile* myProfile() { return dynamic_cast<MyProfile*>(SocialPlatform::instance().getMyProfile()); }

void sendShopEvent(const char* action, const std::string& displayName, const char* answer) {
    const std::string label = tr(displayName) + ": " + answer;
    sendAnalyticsEvent("menu shop", action, label.c_str(), 1);
}

}  // namespace

// ---- Bought with coins ----

void Menu::buyShopItem(View* view) {
    MenuShopExt* shop = _shopExt;
    if (!shop)
        return;
    MenuShopExt::ItemInfo info;
    shop->describeItemAtObject(info, view);
    if (info.level + 1 < info.levelCount) {
        if (!info.canBuy) {
            showMessage(MessageOk, tr("#text_menu_shop_locked_caption"),
                        formatMessage(tr("#text_menu_shop_locked_description"), {tr(info.description)}),
                        &Menu::closeMessage);
        } else if (info.price < 0 || shop->getCoins() >= info.price) {
            _purchaseView = view;
            showMessage(MessageYesNo, tr("#text_menu_shop_buy_caption"),
                        formatMessage(tr("#text_menu_shop_buy_message"), {tr(info.displayName), priceText(info.price)}),
                        &Menu::onBuyItemAnswer);
        } else {
            showMessage(MessageOk, tr("#text_menu_shop_nobuy_caption"),
                        formatMessage(tr("#text_menu_shop_nobuy_message"), {tr(info.displayName), priceText(info.price)}),
                        &Menu::closeMessage);
        }
    } else if (info.owned) {
        shop->selectItemAtObject(view);
        shop->playSelectAnimation(view);
        SocialPlatform::instance().saveProfile();
    }
}

void Menu::onBuyItemAnswer(int32_t answer) {
    View* view = _purchaseView;
    _purchaseView = nullptr;
    MenuShopExt* shop = _shopExt;
    MenuShopExt::ItemInfo info;
    if (shop && view && shop->describeItemAtObject(info, view)) {
        sendShopEvent("buy item", info.displayName, answer == 1 ? "yes" : "no");
        if (answer == 1 && shop->buyItemAtObject(view) == 1) {
            shop->playBuyAnimation(view);
            shop->selectItemAtObject(view);
            shop->playSelectAnimation(view);
            SocialPlatform::instance().saveProfile();
        }
    }
    goBack(true);
}

// ---- Bought through the store ----

void Menu::buyBankItem(View* view) {
    MenuShopExt* shop = _shopExt;
    if (!shop)
        return;
    MenuShopExt::ItemInfo info;
    if (!shop->describeItemAtObject(info, view))
        return;
    if (info.price > 0) {
        // A pack paid with coins.
        if (shop->getCoins() < info.price) {
            showMessage(MessageOk, tr("#text_menu_shop_nobuy_caption"),
                        formatMessage(tr("#text_menu_shop_nobuy_message"), {tr(info.displayName), priceText(info.price)}),
                        &Menu::closeMessage);
        } else {
            _purchaseView = view;
            showMessage(MessageYesNo, tr("#text_menu_shop_buy_caption"),
                        formatMessage(tr("#text_menu_shop_buy_message"), {tr(info.displayName), priceText(info.price)}),
                        &Menu::onBuyItemAnswer);
        }
        return;
    }
    // A pack sold for real money. One bought once already would be paid for nothing.
    if (!info.canBuy)
        return;
    const StoreProduct* product = StoreProduct::findById(info.name);
    if (!product) {
        Logger::error("[Menu::buyBankItem] the store sells no product '%s'", info.name.c_str());
        return;
    }
    _pendingPurchase.view = view;
    _pendingPurchase.code = product->code;
    showMessage(MessageNoButtons, tr("#text_menu_store_wait_caption"), tr("#text_menu_store_wait_message"), nullptr);
    // A purchase that cannot start answers at once, inside this call.
    startStorePurchase(StoreManager::instance(), product->code);
}

void Menu::onPurchaseFinished(int32_t code, const std::string& text, const StoreTransaction& transaction) {
    creditWaitingPurchases();
    const bool success = code > 0 && text.empty();
    // A failure names no product (code -1 with the store's text); code -1 without a text is a
    // payment for a product this game does not know, not the answer to the shop's purchase.
    const bool failure = code <= 0 && !text.empty();
    if (_pendingPurchase.view && (failure || code == _pendingPurchase.code)) {
        // The final answer to the shop's purchase: the wait message goes whatever it says.
        const PendingPurchase pending = _pendingPurchase;
        _pendingPurchase = PendingPurchase();
        if (code <= 0) {
            // Cancelled, failed or waiting for approval (an approved one arrives later by code).
            goBack(true);
            return;
        }
        if (!success) {
            showMessage(MessageOk, tr("#text_menu_store_failed_caption"), tr("#text_menu_store_failed_message"),
                        &Menu::closeMessage);
            // OK returns to the screen before the wait message.
            dropHistory();
            return;
        }
        MenuShopExt::ItemInfo info;
        if (_shopExt && _shopExt->describeItemAtObject(info, pending.view))
            sendShopEvent("buy bank", info.displayName, "yes");
        if (creditPurchase(code, transaction, pending.view) && _shopExt)
            _shopExt->playBuyAnimation(pending.view);
        goBack(true);
        return;
    }
    if (success)
        creditPurchase(code, transaction, nullptr);
}

bool Menu::creditPurchase(int32_t code, const StoreTransaction& transaction, View* row) {
    const std::string& id = transaction.id;
    const StoreProduct* product = StoreProduct::findByCode(code);
    if (!product) {
        Logger::error("[Menu::creditPurchase] no product has the code %d; its transaction stays open", (int)code);
        return false;
    }
    MyProfile* profile = myProfile();
    if (!profile || !profile->canCredit()) {
        // The load would overwrite a credit made now: it waits until the profile is in the menus.
        for (const WaitingCredit& waiting : _waitingCredits)
            if (!id.empty() && waiting.transaction.id == id)
                return false;
        Logger::message("[Menu::creditPurchase] '%s' waits for the profile to load", product->id);
        _waitingCredits.push_back(WaitingCredit{code, transaction});
        return false;
    }
    if (!id.empty() && profile->isTransactionCredited(id)) {
        // Credited and saved before the store heard of it: only the store is told now.
        StoreManager::instance().finishTransaction(id);
        return false;
    }
    MenuShopExt* shop = _shopExt;
    if (!shop)
        return false;
    MenuShopExt::Item* item = row ? shop->findItemAtObject(row) : nullptr;
    if (!item || item->_name != product->id)
        item = shop->findItem(product->id);
    if (!item || item->_kind != MenuShopExt::KindBank) {
        Logger::error("[Menu::creditPurchase] the shop sells no pack '%s'; its transaction stays open", product->id);
        return false;
    }
    MenuShopExt::ItemBank* bank = static_cast<MenuShopExt::ItemBank*>(item);
    if (!bank->_available || (transaction.restored && !bank->_once)) {
        // Owned already (a restore, or the store repeating a once-only product), or a restore of
        // a pack that is used up: there is nothing more to give.
        if (!id.empty())
            StoreManager::instance().finishTransaction(id);
        return false;
    }
    if (!bank->isRealMoney()) {
        Logger::error("[Menu::creditPurchase] '%s' is sold for coins, not by the store; its transaction stays open",
                      product->id);
        return false;
    }
    if (!id.empty())
        profile->markTransactionCredited(id);
    bank->credit(shop);
    bank->refresh(shop);
    shop->refreshCoins();
    shop->refreshTickets();
    // No more advertising from this moment, also for the banner on screen now.
    if (item->_name == kNoAdsItem)
        hideBanner();
    // Paid with real money: the pack must outlive the program before the store may forget it.
    if (SocialPlatform::instance().saveProfile()) {
        if (!id.empty())
            StoreManager::instance().finishTransaction(id);
    } else {
        Logger::error("[Menu::creditPurchase] the credit of '%s' could not be saved; its transaction stays open",
                      product->id);
    }
    return true;
}

void Menu::creditWaitingPurchases() {
    if (_waitingCredits.empty())
        return;
    MyProfile* profile = myProfile();
    if (!profile || !profile->canCredit())
        return;
    std::vector<WaitingCredit> waiting;
    waiting.swap(_waitingCredits);
    for (const WaitingCredit& w : waiting)
        creditPurchase(w.code, w.transaction, nullptr);
}

void Menu::onProductInfo(int32_t code, const std::string&) {
    creditWaitingPurchases();
    const StoreProduct* product = StoreProduct::findByCode(code);
    if (product && _shopExt)
        _shopExt->refreshItemByName(product->id);
}

// ---- Restoring ----

void Menu::restorePurchases() {
    sendAnalyticsEvent("menu options", "restore purchases", "", 1);
    _restoreWaiting = true;
    showMessage(MessageNoButtons, tr("#text_menu_options_restorepurchase_caption"),
                tr("#text_menu_options_restorepurchase_message"), nullptr);
    // Each restored product arrives as a purchase; a restore that cannot start ends at once.
    restoreStorePurchases(StoreManager::instance());
}

void Menu::onRestoreFinished(const std::string& text) {
    creditWaitingPurchases();
    // Only a restore this menu asked for has a message up to close.
    if (!_restoreWaiting)
        return;
    _restoreWaiting = false;
    if (!text.empty()) {
        showMessage(MessageOk, tr("#text_menu_store_failed_caption"), tr("#text_menu_store_failed_message"),
                    &Menu::closeMessage);
        dropHistory();
        return;
    }
    goBack(true);
    SocialPlatform::instance().saveProfile();
}

}  // namespace Zelvan
