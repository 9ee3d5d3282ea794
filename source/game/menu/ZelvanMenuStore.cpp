// The shop's purchase dialogues and the store's answers: items bought with coins, packs bought
// through the store, restoring, and crediting each store transaction once.

#include "game/menu/ZelvanMenu.h"

namespace Zelvan {

void Menu::buyShopItem(View*) {}
void Menu::buyBankItem(View*) {}
void Menu::onBuyItemAnswer(int32_t) {}
void Menu::restorePurchases() {}
void Menu::onProductInfo(int32_t, const std::string&) {}
void Menu::onPurchaseFinished(int32_t, const std::string&, const StoreTransaction&) {}
void Menu::onRestoreFinished(const std::string&) {}

}  // namespace Zelvan
