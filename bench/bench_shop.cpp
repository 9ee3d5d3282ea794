// Building the shop's catalogue on the sample configuration, as the last load step does once per
// start: every entry of "menu_shop_extension", the game's characters, trains and skins and the
// bank in product order, without a panel (so the figure is the catalogue's own work, not the
// copying of rows). Then the purchase check the shop runs for every tab badge after each change
// of the coins.

#include <benchmark/benchmark.h>

#include <string>

#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "game/ZelvanTexts.h"
#include "game/menu/ZelvanMenuShopExt.h"

using Zelvan::MenuShopExt;

namespace {

struct SampleConfig {
    SampleConfig() {
        testsupport::ScopedStores content(testsupport::contentDir(), documents.path());
        ConfigStore::instance().resetForTests();
        ConfigStore::instance().loadMainFile("configs/config.txt");
        Zelvan::TextContainer::instance()->load("text");
        ConfigStore& cfg = ConfigStore::instance();
        for (const std::string& name : cfg.getList("actorCharacter.characters"))
            roster.characters.push_back({name, nullptr});
        for (const std::string& name : cfg.getList("actorPlayer.players"))
            roster.trains.push_back({name, nullptr});
        for (const std::string& name : cfg.getList("skin.skins"))
            roster.skins.push_back({name, nullptr});
    }
    testsupport::TempDir documents;
    MenuShopExt::Roster roster;
};

SampleConfig& sample() {
    static SampleConfig config;
    return config;
}

void BM_ShopCatalogueBuild(benchmark::State& state) {
    const MenuShopExt::Roster& roster = sample().roster;
    size_t items = 0;
    for (auto _ : state) {
        MenuShopExt shop("menu_shop_extension", nullptr, nullptr, nullptr);
        shop.reload(roster);
        items = shop.getItems().size();
        benchmark::DoNotOptimize(items);
    }
    state.counters["items"] = (double)items;
}
BENCHMARK(BM_ShopCatalogueBuild)->Unit(benchmark::kMicrosecond);

void BM_ShopTabAffordability(benchmark::State& state) {
    MenuShopExt shop("menu_shop_extension", nullptr, nullptr, nullptr);
    shop.reload(sample().roster);
    shop.setCoins(120);
    for (auto _ : state) {
        int32_t any = shop.hasAffordableItem(shop._boosts) + shop.hasAffordableItem(shop._characters) +
                      shop.hasAffordableItem(shop._trains) + shop.hasAffordableItem(shop._skins);
        benchmark::DoNotOptimize(any);
    }
}
BENCHMARK(BM_ShopTabAffordability);

}  // namespace
