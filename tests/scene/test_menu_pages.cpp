// The sample interface pages against the configuration that describes them: every panel of the
// "title" and "menu" sets loads its page as a scene, every item names a top-level node, every
// text line and named node the screens look up is there, and every button is bound to one of
// the menu's events with a mesh of its own to be touched by.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "engine_game/Camera.h"
#include "engine_game/ObjectNode.h"
#include "engine_game/Scene.h"
#include "engine_game/Text.h"
#include "engine_game/World.h"
#include "support_world.h"

namespace {

// The menu's events, the only names a page button may carry.
const char* const kMenuEvents[] = {
    "onTutorialStart", "onMainStart", "onMainOptions", "onMainShop", "onMainShopSelectCharacters",
    "onMainShopSelectTrains", "onMainMap", "onMainMissions", "onMapBack", "onMapTicket", "onMapStart", "onMapSelect",
    "onMapSelectLeft", "onMapSelectRight", "onMissionBack", "onOptionsMusic", "onOptionsSFX", "onOptionsTutorial",
    "onOptionsGamecenter", "onOptionsFacebook", "onOptionsTwitter", "onOptionsMorefun", "onOptionsKavelWeb",
    "onOptionsRestorePurchases", "onOptionsCredits", "onOptionsBack", "onCreditsBack", "onShopCoin2",
    "onShopTicket2", "onShopItem", "onShopBank", "onShopSelectBoosts", "onShopSelectCharacters",
    "onShopSelectTrains", "onShopSelectSkin", "onShopSelectBank", "onShopBack", "onMessageYes", "onMessageOk",
    "onMessageNo", "onHudPause", "onHudRecord", "onHudPlayerSelect", "onHudDebug", "onReviveVideo", "onReviveCoins",
    "onReviveNo", "onSurpriseboxOpen", "onResultsCoin2", "onResultsMap", "onResultsMissions", "onResultsRestart",
    "onResultsShop", "onResultsExit", "onResultsTwitter", "onResultsPlayback", "onResultsFacebook", "onPauseBack",
    "onPauseResume", "onPauseExit", "onPauseRestart"};

// What the screens look up: panel, item name, named nodes, least number of text lines.
struct Expected {
    const char* panel;
    const char* item;
    std::vector<std::string> nodes;
    size_t texts;
};

std::vector<std::string> numbered(const std::string& prefix, int first, int last) {
    std::vector<std::string> names;
    char buffer[8];
    for (int i = first; i <= last; ++i) {
        std::snprintf(buffer, sizeof buffer, "%02d", i);
        names.push_back(prefix + buffer);
    }
    return names;
}

std::vector<std::string> plus(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<Expected> expectedItems() {
    const std::vector<std::string> figure = {"view", "coin", "button", "button_buy", "button_select", "flag",
                                             "selected"};
    std::vector<std::string> stats;
    for (const char* s : {"speed", "energy", "brake", "jump"})
        stats = plus(stats, numbered(s, 1, 5));
    return {
        {"loading", "loading", numbered("progressbar", 0, 10), 1},
        {"main", "start", {}, 0},
        {"main", "mission", {"available"}, 0},
        {"main", "shop", {"available"}, 0},
        {"main", "shop_characters", {"available"}, 0},
        {"main", "shop_trains", {"available"}, 0},
        {"tutorial", "start", {}, 0},
        {"options", "music", {}, 1},
        {"options", "sound", {}, 1},
        {"credits", "scroll", {}, 1},
        {"shop", "coins", {}, 1},
        {"shop", "tickets", {}, 1},
        {"shop", "boosts", {"available"}, 0},
        {"shop", "characters", {"available"}, 0},
        {"shop", "trains", {"available"}, 0},
        {"shop", "skins", {"available"}, 0},
        {"shop", "table_item", plus({"icon00", "coin", "button_buy"}, numbered("update", 1, 5)), 3},
        {"shop", "table_object", {"view"}, 1},
        {"shop", "table_character", figure, 3},
        {"shop", "table_train", plus(plus(figure, {"button_info", "locked"}), stats), 3},
        {"shop", "table_skin", figure, 3},
        {"shop", "table_bank", {"icon00", "button_buy"}, 3},
        {"shop", "header_boosts", {}, 0},
        {"shop", "header_characters", {}, 0},
        {"shop", "header_trains", {}, 0},
        {"shop", "header_skins", {}, 0},
        {"shop", "header_bank", {}, 0},
        {"map", "globe", {}, 0},
        {"map", "stars", {}, 0},
        {"map", "description", {}, 2},
        {"map", "travel", {}, 0},
        {"map", "start", {}, 0},
        {"map", "ticket", {}, 1},
        {"mission", "progress", {}, 1},
        {"mission", "item", {}, 0},
        {"hud", "message", {}, 1},
        {"hud", "coins", {}, 1},
        {"hud", "distance", {}, 1},
        {"hud", "energy", {"progressbar"}, 0},
        {"hud", "battery", {"progressbar"}, 0},
        {"hud", "brake", {"icon", "progressbar"}, 0},
        {"hud", "boost", {"hit", "magnet", "turbo", "fps", "coin2x", "progressbar"}, 0},
        {"hud", "movie01", {}, 0},
        {"hud", "movie02", {}, 0},
        {"hud", "fps", {}, 0},
        {"hud", "stargate", {}, 0},
        {"hud", "word", numbered("letter", 0, 7), 8},
        {"hud", "everyplay", {}, 0},
        {"hud", "debug_log", {}, 1},
        {"hud", "debug_levelset", {}, 1},
        {"hud", "debug_level", {}, 1},
        {"hud", "debug_r", {}, 1},
        {"hud", "debug_l", {}, 1},
        {"hud", "debug_d", {}, 1},
        {"revive", "table", {"progressbar"}, 1},
        {"revive", "coins", {}, 1},
        {"revive", "revive_coins", {}, 1},
        {"revive", "revive_video", {}, 0},
        {"surprise", "box", {"gift_coins", "gift_tickets", "gift_bigcoins"}, 0},
        {"surprise", "message", {}, 1},
        {"surprise", "button", {}, 0},
        {"surprise", "stars", {}, 0},
        {"surprise", "ray", {}, 0},
        {"results", "table", {"view"}, 11},
        {"results", "coins", {}, 1},
        {"results", "mission", {"available"}, 1},
        {"results", "shop", {"available"}, 0},
        {"results", "everyplay", {}, 0},
        {"message", "message_text", {}, 3},
        {"message", "message_ok", {}, 0},
        {"message", "message_yes", {}, 0},
        {"message", "message_no", {}, 0},
    };
}

Object* findBelow(Object* top, const std::string& name) {
    if (!top)
        return nullptr;
    if (top->_name == name)
        return top;
    for (Object* child : top->_children)
        if (Object* found = findBelow(child, name))
            return found;
    return nullptr;
}

// A configured item as the panel would build it.
struct Item {
    std::string key, name, object;
    bool automatic = true;
    Object* node = nullptr;
    std::vector<Text*> texts;
    std::map<std::string, Object*> nodes;  // by entry name
};

struct Panel {
    std::string entry, name, sceneFile;
    Scene* page = nullptr;
    std::vector<Item> items;
    const Item* find(const std::string& name) const {
        for (const Item& i : items)
            if (i.name == name)
                return &i;
        return nullptr;
    }
};

// A button of an item's object file: its event properties and whether its node draws a mesh.
struct Button {
    std::string panel, node, event, onTouch;
    bool hasMesh = false;
};

void collectButtons(const ObjectNode* node, const std::string& panel, std::vector<Button>& out) {
    const std::string* cls = node->property("class");
    if (cls && *cls == "Button") {
        Button b;
        b.panel = panel;
        b.node = node->_name;
        if (const std::string* e = node->property("onTouchUpInside"))
            b.event = *e;
        if (const std::string* e = node->property("onTouch"))
            b.onTouch = *e;
        for (const MaterialRange& r : node->_ranges)
            b.hasMesh = b.hasMesh || r.indexCount > 0;
        out.push_back(b);
    }
    for (const ObjectNode* child : node->_children)
        collectButtons(child, panel, out);
}

class MenuPages : public worldtest::WorldFixture {
protected:
    void SetUp() override {
        _content.reset(new testsupport::ScopedStores(testsupport::contentDir(), _dir.path()));
        ConfigStore::instance().resetForTests();
        ConfigStore::instance().loadMainFile("configs/config.txt");
        _pages = new World(0);
        // Both sets into one world, in the order the menu loads them.
        for (const char* set : {"title", "menu"})
            for (const std::string& entry : ConfigStore::instance().getList(std::string(set) + ".pages"))
                _panels.push_back(load(entry));
    }
    void TearDown() override {
        delete _pages;
        _pages = nullptr;
        resetWorld();  // the game world of the mission maps goes before the resources it uses
        worldtest::releaseResources();
        ConfigStore::instance().resetForTests();
        _content.reset();
    }

    Panel load(const std::string& entry) {
        const ConfigStore& c = ConfigStore::instance();
        Panel p;
        p.entry = entry;
        p.name = c.getString(entry + ".name", entry.c_str());
        p.sceneFile = c.getString(entry + ".sceneFile", "");
        p.page = _pages->loadScene(p.sceneFile, 0, 0);
        for (const std::string& key : c.getList(entry + ".items")) {
            Item item;
            item.key = key;
            item.name = c.getString(key + ".name", key.c_str());
            item.object = c.getString(key + ".object", "");
            item.automatic = c.getBool(key + ".auto", true);
            item.node = p.page ? p.page->findObject(item.object) : nullptr;
            for (const std::string& t : c.getList(key + ".texts"))
                item.texts.push_back(dynamic_cast<Text*>(findBelow(item.node, t)));
            for (const std::string& w : c.getList(key + ".nodes"))
                item.nodes[c.getString(w + ".name", w.c_str())] = findBelow(item.node, c.getString(w + ".node", ""));
            p.items.push_back(item);
        }
        return p;
    }
    const Panel* panel(const std::string& name) const {
        for (const Panel& p : _panels)
            if (p.name == name)
                return &p;
        return nullptr;
    }

    std::unique_ptr<testsupport::ScopedStores> _content;
    World* _pages = nullptr;
    std::vector<Panel> _panels;
};

TEST_F(MenuPages, EveryPanelLoadsItsPageAndItsItemsFindTheirNodes) {
    const std::vector<std::string> expectedPanels = {"loading", "main",     "tutorial", "options", "credits",
                                                     "shop",    "map",      "mission",  "hud",     "pause",
                                                     "revive",  "surprise", "results",  "message"};
    ASSERT_EQ(_panels.size(), expectedPanels.size());
    for (size_t i = 0; i < _panels.size(); ++i) {
        const Panel& p = _panels[i];
        EXPECT_EQ(p.name, expectedPanels[i]);
        ASSERT_NE(p.page, nullptr) << p.entry;
        EXPECT_FALSE(p.page->_nodes.empty()) << p.sceneFile << " loads no node";
        bool automatic = false;
        std::set<std::string> names;
        for (const Item& item : p.items) {
            EXPECT_NE(item.node, nullptr) << p.name << ": item " << item.key << " names no page node";
            EXPECT_TRUE(names.insert(item.name).second) << p.name << ": two items named " << item.name;
            automatic = automatic || item.automatic;
            for (size_t t = 0; t < item.texts.size(); ++t)
                EXPECT_NE(item.texts[t], nullptr) << p.name << "." << item.name << " text line " << t;
            for (const auto& n : item.nodes)
                EXPECT_NE(n.second, nullptr) << p.name << "." << item.name << " node " << n.first;
        }
        EXPECT_TRUE(automatic) << p.name << " has no automatic item, so it never becomes active";
    }
    // The first page holds the interface camera; no other page brings one.
    ASSERT_EQ(_panels.front().page->_cameras.size(), 1u);
    EXPECT_EQ(_pages->getCamera(), _panels.front().page->_cameras.front());
    for (size_t i = 1; i < _panels.size(); ++i)
        EXPECT_TRUE(_panels[i].page->_cameras.empty()) << _panels[i].name;
}

TEST_F(MenuPages, ScreensFindTheItemsNodesAndTextLinesTheyUse) {
    for (const Expected& e : expectedItems()) {
        const Panel* p = panel(e.panel);
        ASSERT_NE(p, nullptr) << e.panel;
        const Item* item = p->find(e.item);
        ASSERT_NE(item, nullptr) << e.panel << " has no item " << e.item;
        EXPECT_GE(item->texts.size(), e.texts) << e.panel << "." << e.item;
        for (const std::string& n : e.nodes) {
            auto it = item->nodes.find(n);
            EXPECT_TRUE(it != item->nodes.end() && it->second) << e.panel << "." << e.item << " lacks node " << n;
        }
    }
    // Markers the credits and the shop find by configured name.
    const ConfigStore& c = ConfigStore::instance();
    for (const char* key : {"menu_credits_extension.objectUp", "menu_credits_extension.objectDown",
                            "menu_shop_extension.objectUp", "menu_shop_extension.objectDown"})
        EXPECT_NE(_pages->findEmpty(c.getString(key, "")), nullptr) << key;
    // The map's globe and continents, the surprise box's gifts.
    const Item* globe = panel("map")->find("globe");
    for (const char* n : {"globe", "clouds"})
        EXPECT_NE(findBelow(globe->node, n), nullptr) << n;
    for (const std::string& continent : c.getList("menu_map_extension02.continents"))
        for (const char* key : {".node", ".nodeSelected", ".nodeCharacter"})
            EXPECT_NE(findBelow(globe->node, c.getString(continent + key, "")), nullptr) << continent << key;
    EXPECT_NE(findBelow(panel("surprise")->find("stars")->node, "stars"), nullptr);
    EXPECT_NE(findBelow(panel("surprise")->find("ray")->node, "ray"), nullptr);
    // The icon every boost and bank entry of the catalogue shows is a node of its row template.
    for (const std::string& entry : c.getList("menu_shop_extension.items")) {
        const std::string type = c.getString(entry + ".type", "");
        const std::string icon = c.getString(entry + ".icon", "");
        if (type != "item" && type != "bank")
            continue;
        const Item* row = panel("shop")->find(type == "item" ? "table_item" : "table_bank");
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->nodes.count(icon), 1u) << entry << " shows the icon " << icon;
    }
    const Item* box = panel("surprise")->find("box");
    for (const std::string& gift : c.getList("menu_surprise_extension.randomGifts"))
        EXPECT_EQ(box->nodes.count(c.getString(gift + ".node", "")), 1u) << gift;
}

TEST_F(MenuPages, EveryButtonIsTouchableAndBoundToAMenuEvent) {
    const std::set<std::string> events(std::begin(kMenuEvents), std::end(kMenuEvents));
    ASSERT_EQ(events.size(), 61u);
    std::vector<Button> buttons;
    for (const Panel& p : _panels)
        for (const Item& item : p.items) {
            ASSERT_NE(item.node, nullptr);
            const ObjectNode* file = _pages->loadObjectFile(item.node->_sourceName);
            ASSERT_NE(file, nullptr) << item.node->_sourceName;
            collectButtons(file, p.name, buttons);
        }
    std::set<std::string> bound;
    for (const Button& b : buttons) {
        const std::string& event = b.event.empty() ? b.onTouch : b.event;
        EXPECT_TRUE(b.hasMesh) << b.panel << ": button " << b.node << " has no mesh to be hit on";
        EXPECT_EQ(events.count(event), 1u) << b.panel << ": button " << b.node << " runs '" << event << "'";
        bound.insert(event);
    }
    for (const std::string& e : events)
        EXPECT_EQ(bound.count(e), 1u) << "no button runs " << e;
    // The volume buttons take their event as the finger goes down.
    size_t onTouch = 0;
    for (const Button& b : buttons)
        if (!b.onTouch.empty()) {
            ++onTouch;
            EXPECT_EQ(b.panel, "options");
        }
    EXPECT_EQ(onTouch, 2u);
}

TEST_F(MenuPages, MenuKeysAndShownTextsAreConfigured) {
    const ConfigStore& c = ConfigStore::instance();
    EXPECT_STRNE(c.getString("menu.cameraName", ""), "");
    EXPECT_FALSE(testsupport::readFile(testsupport::contentDir() + "/data/" + c.getString("menu.musicFile", "")).empty());
    for (const char* key : {"menu.progressbarColor1", "menu.progressbarColor2", "menu.progressbarColor3"}) {
        Vector4 colour(-1, -1, -1, -1);
        Vector4FromString(colour, c.getString(key, ""));
        EXPECT_GE(colour.x, 0.0f) << key;
        EXPECT_EQ(colour.w, 1.0f) << key;
    }
    EXPECT_FLOAT_EQ(c.getFloat("menu.textScale", 0), 0.3f);

    // Every text key the screens translate is in the sample language.
    std::set<std::string> texts;
    for (const std::string& language : c.getList("text.languages"))
        for (const std::string& t : c.getList(language + ".texts"))
            texts.insert(std::string("#") + c.getString(t + ".name", t.c_str()));
    std::vector<std::string> shown = {
        "#text_bank_item_coin_pack_coins", "#text_bank_item_ticket_1", "#text_menu_hud_completedword",
        "#text_menu_hud_newrecord", "#text_menu_hud_retry", "#text_menu_hud_stargateactivated",
        "#text_menu_hud_start", "#text_menu_loading_init", "#text_menu_loading_load",
        "#text_menu_main_rategame_caption", "#text_menu_main_rategame_message", "#text_menu_map_select_caption",
        "#text_menu_map_select_message", "#text_menu_options_music", "#text_menu_options_restorepurchase_caption",
        "#text_menu_options_restorepurchase_message", "#text_menu_options_sound", "#text_menu_player_death",
        "#text_menu_revivecoins_button", "#text_menu_revivecoins_caption", "#text_menu_revivecoins_message",
        "#text_menu_shop_buy_caption", "#text_menu_shop_buy_message", "#text_menu_shop_locked_caption",
        "#text_menu_shop_locked_description", "#text_menu_shop_nobuy_caption", "#text_menu_shop_nobuy_message",
        "#text_menu_store_failed_caption", "#text_menu_store_failed_message", "#text_menu_store_wait_caption",
        "#text_menu_store_wait_message"};
    for (const std::string& continent : c.getList("menu_map_extension02.continents"))
        for (const char* key : {".textName", ".textDescription"})
            shown.push_back(c.getString(continent + key, ""));
    for (const std::string& gift : c.getList("menu_surprise_extension.randomGifts"))
        shown.push_back(c.getString(gift + ".textName", ""));
    for (const std::string& entry : c.getList("menu_shop_extension.items"))
        shown.push_back(c.getString(entry + ".textMenuName", ""));
    for (const char* entry : {"charFox", "charBear", "trainRed", "trainBlue", "skin_classic", "skin_gold"})
        for (const char* key : {".textMenuName", ".textMenuDescription"})
            shown.push_back(c.getString(std::string(entry) + key, ""));
    for (const std::string& key : shown)
        EXPECT_EQ(texts.count(key), 1u) << key << " is not in the sample language";
}

}  // namespace

namespace {

// The mission maps are scenes of the game's world with the nodes their configuration names.
TEST_F(MenuPages, MissionMapsLoadWithTheNodesTheyName) {
    const ConfigStore& c = ConfigStore::instance();
    World* game = world(1);
    const ConfigStore::WordList& maps = c.getList("menu_mission_extension.maps");
    ASSERT_EQ(maps.size(), 2u);
    std::set<std::string> levelSets;
    for (const std::string& map : maps) {
        Scene* scene = game->loadScene(c.getString(map + ".levelMission", ""), 1, 0);
        ASSERT_NE(scene, nullptr) << map;
        levelSets.insert(c.getString(map + ".levelSet", ""));
        ASSERT_EQ(scene->_cameras.size(), 1u);
        EXPECT_EQ(scene->_cameras[0]->_name, c.getString(map + ".camera", ""));
        EXPECT_NE(scene->_cameras[0]->_animation, nullptr) << "the camera follows the path";
        Object* figure = scene->findObject(c.getString(map + ".objectPlayer", ""));
        ASSERT_NE(figure, nullptr);
        EXPECT_NE(figure->_animation, nullptr) << "the figure moves along the path";
        for (const char* key : {".objectTrainLocked", ".objectTrainUnlocked"})
            EXPECT_NE(scene->findObject(c.getString(map + key, "")), nullptr) << map << key;
        const ConfigStore::WordList& waypoints = c.getList(map + ".waypoints");
        ASSERT_EQ(waypoints.size() % 3, 0u);
        for (size_t i = 0; i + 2 < waypoints.size(); i += 3) {
            EXPECT_NE(scene->findObject(waypoints[i + 1]), nullptr) << waypoints[i + 1];
            EXPECT_NE(scene->findObject(waypoints[i + 2]), nullptr) << waypoints[i + 2];
        }
        // Nothing of a map falls or blocks the game's bodies: its objects carry no bodies.
        EXPECT_EQ(figure->_physicsBody, nullptr);
        EXPECT_EQ(scene->findObject(waypoints[2])->_physicsBody, nullptr);
    }
    EXPECT_EQ(levelSets, (std::set<std::string>{"regionMeadow", "regionHills"}));
}

}  // namespace
