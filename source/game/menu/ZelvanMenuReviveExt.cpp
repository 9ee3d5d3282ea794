#include "game/menu/ZelvanMenuReviveExt.h"

#include <cstdio>

#include "engine/ConfigStore.h"
#include "engine/services.h"
#include "game/ZelvanTexts.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanActorSoundList.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelItem.h"
#include "game/stage/ZelvanStage.h"

namespace Zelvan {

MenuReviveExt::MenuReviveExt(const std::string& name, Menu* menu, Panel* panel)
    : MenuExtension(name), _panel(panel), _menu(menu) {
    const ConfigStore& config = ConfigStore::instance();
    const float price = config.getFloat(_name + ".reviveCoins", 100.0f);
    // A negative or absurd price would wrap around: it is read as free or as the largest price.
    _price = price > 0 ? (price < 4294967040.0f ? (uint32_t)price : 4294967040u) : 0u;
    _countdown.setDuration(config.getFloat(_name + ".duration", 5.0f));
}

std::string MenuReviveExt::priceText(const std::string& format, uint32_t price) {
    char number[16];
    std::snprintf(number, sizeof number, "%d", (int)price);
    std::string out = format;
    const size_t at = out.find("%s");
    if (at != std::string::npos)
        out.replace(at, 2, PanelItem::literalText(number));
    return out;
}

void MenuReviveExt::onShow(bool /*back*/) {
    _counting = true;
    _countdown.stop();
    _countdown.start();
    if (!_panel)
        return;
    // The page decides the button's look until a video has arrived; it is never taken away here.
    if (isVungleAdCached())
        _panel->showItem("revive_video", 1);

    int64_t coins = 0;
    if (_menu && _menu->getShopExt())
        coins += _menu->getShopExt()->getCoins();
    Stage* stage = Stage::get();
    if (ActorPlayer* train = stage ? stage->getPlayer() : nullptr) {
        const float run = train->_goods.get("coins")._amount;
        if (run > 0)
            coins += (int64_t)(run + 0.5f);
    }
    char text[24];
    std::snprintf(text, sizeof text, "%lld", (long long)coins);
    _panel->setItemText("coins", 0, text);

    const TextContainer* texts = TextContainer::get();
    const std::string format = texts ? texts->translate("#text_menu_revivecoins_button") : std::string();
    _panel->setItemText("revive_coins", 0, priceText(format, _price));
}

void MenuReviveExt::onHide(bool /*forward*/) { _counting = false; }

void MenuReviveExt::update(float dt) {
    if (!_counting)
        return;
    _countdown.tick(dt);
    const float after = _countdown._remaining;
    const float ratio = _countdown.ratio();
    if (_panel) {
        char text[24];
        std::snprintf(text, sizeof text, "%.0f", ratio * _countdown._duration);
        _panel->setItemText("table", 0, text);
        if (_menu)
            _menu->setProgressBar(_panel, "table", 100.0f * ratio, 100.0f * ratio);
    }
    // Also when the countdown never ran (a duration of 0 or less): the offer must not wait for ever.
    if (!(after > 0)) {
        stopCountdown();
        if (_menu)
            _menu->goBack(false);
    }
}

void MenuReviveExt::stopCountdown() {
    _counting = false;
    PanelItem* table = _panel ? _panel->findItem("table") : nullptr;
    if (table && table->getSounds())
        table->getSounds()->stop("in");
}

}  // namespace Zelvan
