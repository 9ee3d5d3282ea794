// The shop's catalogue on a shop panel of its own: rows copied from the templates, their texts
// and nodes kept up to date by purchases, the tab badges and the balance labels.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/online/StoreManager.h"
#include "engine_game/Object.h"
#include "engine_game/Text.h"
#include "game/ZelvanTexts.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelContainer.h"
#include "game/menu/ZelvanPanelItem.h"
#include "support_menu.h"
#include "writer/ContentWriter.h"

using Zelvan::MenuShopExt;

namespace {

namespace cw = contentwriter;

cw::ObjectNodeDesc box(std::vector<cw::Vertex>& v, std::vector<uint16_t>& i, const std::string& name,
                       const cw::Vec3& centre, const cw::Vec3& size) {
    const uint32_t firstVertex = (uint32_t)v.size();
    const uint16_t firstIndex = (uint16_t)i.size();
    cw::appendBox(v, i, cw::Vec3(0, 0, 0), size);
    cw::ObjectNodeDesc node;
    node.name = name;
    node.position = centre;
    cw::MaterialRangeDesc range;
    range.material = "plain";
    range.firstFloat = firstVertex * 11;
    range.floatCount = ((uint32_t)v.size() - firstVertex) * 11;
    range.firstIndex = firstIndex;
    range.indexCount = (uint16_t)(i.size() - firstIndex);
    node.ranges.push_back(range);
    return node;
}

cw::ObjectNodeDesc text(const std::string& name, float x) {
    cw::ObjectNodeDesc t;
    t.isText = true;
    t.name = name;
    t.text = "-";
    t.position = cw::Vec3(x, -0.2f, 0);
    t.scale = cw::Vec3(0.02f, 0.02f, 0.02f);
    t.size = 1;
    t.alignment = "CENTER";
    t.font = "dejavu_sans";
    return t;
}

const char* const kRowNodes[] = {"coin",     "button_buy", "button",   "button_select", "flag",     "selected",
                                 "locked",   "button_info", "view",    "available",     "update01", "update02",
                                 "update03", "update04",   "update05", "icon00",        "icon_a"};

// One row object for every template: a bar with every named part a row may switch and three
// text lines (name, price, extra).
std::vector<uint8_t> rowObject() {
    std::vector<cw::Vertex> v;
    std::vector<uint16_t> i;
    cw::ObjectFileDesc f;
    f.top = box(v, i, "row", cw::Vec3(), cw::Vec3(4, 0.2f, 0.8f));
    float x = -1.8f;
    for (const char* name : kRowNodes) {
        f.top.children.push_back(box(v, i, name, cw::Vec3(x, -0.2f, 0), cw::Vec3(0.1f, 0.1f, 0.1f)));
        x += 0.2f;
    }
    f.top.children.push_back(text("name", -1));
    f.top.children.push_back(text("price", 0));
    f.top.children.push_back(text("extra", 1));
    f.mesh = cw::makeMesh(v, i);
    return cw::writeObjectFile(f);
}

std::vector<uint8_t> shopPage() {
    cw::BinarySceneWriter s("BIN1.1");
    const cw::Layers l = cw::Layers::bits(1);
    const cw::Vec3 none, one(1, 1, 1);
    s.camera("Camera", cw::Vec3(0, 0, 0), cw::Vec3(3.14159265f / 2, 0, 0), l, 1, 50);
    const char* const templates[] = {"tmpl_item", "tmpl_bank", "tmpl_head_boosts", "tmpl_head_bank",
                                     "lbl_coins", "lbl_tickets", "tab_boosts",      "tab_characters"};
    float z = 4;
    for (const char* name : templates) {
        s.object(name, "objects/ui", "row", cw::Vec3(0, 10, z), none, one, {}, {}, l);
        z -= 1;
    }
    s.empty("shop_up", cw::Vec3(0, 10, 3), none, one, {}, {}, l);
    s.empty("shop_down", cw::Vec3(0, 10, -3), none, one, {}, {}, l);
    return s.bytes();
}

const char* const kShopConfig = R"(
[shopset]
pages = { shopPanel }

[shopPanel]
name = shop
sceneFile = scenes/ui_shop.bin
items = { tItem tBank tHeadBoosts tHeadBank lblCoins lblTickets tabBoosts tabCharacters }

[tItem]
object = tmpl_item
name = table_item
auto = false
texts = { name price extra }
nodes = { coin button_buy update01 update02 update03 update04 update05 icon00 icon_a }

[tBank]
object = tmpl_bank
name = table_bank
auto = false
texts = { name price extra }
nodes = { button_buy icon00 icon_a }

[tHeadBoosts]
object = tmpl_head_boosts
name = header_boosts
auto = false

[tHeadBank]
object = tmpl_head_bank
name = header_bank
auto = false

[lblCoins]
object = lbl_coins
name = coins
texts = { price }

[lblTickets]
object = lbl_tickets
name = tickets
texts = { price }

[tabBoosts]
object = tab_boosts
name = boosts
nodes = { available }

[tabCharacters]
object = tab_characters
name = characters
nodes = { available }

[coin]
node = coin
visible = true
[button_buy]
node = button_buy
visible = true
[update01]
node = update01
visible = true
[update02]
node = update02
visible = true
[update03]
node = update03
visible = true
[update04]
node = update04
visible = true
[update05]
node = update05
visible = true
[icon00]
node = icon00
visible = true
[icon_a]
node = icon_a
[available]
node = available

[text]
languages = { english }
[english]
name = english
texts = { tCoinPack tTicket tBoostA }
[tCoinPack]
name = text_bank_item_coin_pack_coins
string = "%s coins"
[tTicket]
name = text_bank_item_ticket_1
string = "1 ticket: %s"
[tBoostA]
name = text_boost_a
string = "Boost A"

[menu_shop_extension]
objectUp = shop_up
objectDown = shop_down
rowTicket = 2
items = { boostA zelvan_pack_1 packTicket }
list = { boosts_begin boostA boosts_end characters bank packTicket }

[boostA]
type = item
textMenuName = #text_boost_a
icon = icon_a
upgrade = { 100 200 400 }

[zelvan_pack_1]
type = bank
icon = icon_a
coins = -500

[packTicket]
type = bank
coins = 50
tickets = 1
)";

class ShopRows : public menutest::PanelFixture {
protected:
    ShopRows() {
        writeData("objects/ui/row.object", rowObject());
        writeData("scenes/ui_shop.bin", shopPage());
        loadConfig(kShopConfig);
        Zelvan::TextContainer::instance()->load("text");
        container()->load("shopset");
        _panel = panel("shop");
    }
    ~ShopRows() override {
        delete _shop;
        Zelvan::TextContainer::destroyInstance();
        StoreManager::instance().release();
    }

    MenuShopExt& shop() {
        if (!_shop) {
            _shop = new MenuShopExt("menu_shop_extension", _panel, nullptr, nullptr);
            MenuShopExt::Roster roster;
            roster.characters.push_back({"charA", nullptr});
            _shop->reload(roster);
        }
        return *_shop;
    }

    static std::string line(PanelItem* row, int index) {
        if (!row || index >= (int)row->getTexts().size() || !row->getTexts()[index])
            return "<none>";
        return row->getTexts()[index]->_text;
    }
    static bool shown(PanelItem* row, const std::string& node) {
        Object* o = row ? row->findNode(node) : nullptr;
        EXPECT_NE(o, nullptr) << node;
        return o && o->_active;
    }
    PanelItem* row(const std::string& name) {
        MenuShopExt::Item* item = shop().findItem(name);
        EXPECT_NE(item, nullptr) << name;
        return item ? item->_row : nullptr;
    }

    Panel* _panel = nullptr;
    MenuShopExt* _shop = nullptr;
};

TEST_F(ShopRows, RowsAreCopiesOfTheTemplatesListedInTheirTabs) {
    MenuShopExt& s = shop();
    // The character has no template here: it is not created and its tab is empty.
    EXPECT_EQ(s.findItem("charA"), nullptr);
    ASSERT_EQ(s.getList().size(), 5u);
    EXPECT_EQ(s.getList()[0]->_kind, (uint32_t)MenuShopExt::KindHeader);
    EXPECT_EQ(s.getList()[1]->_name, "boostA");
    EXPECT_EQ(s.getList()[2]->_kind, (uint32_t)MenuShopExt::KindHeader);
    EXPECT_EQ(s.getList()[3]->_name, "zelvan_pack_1");
    EXPECT_EQ(s.getList()[4]->_name, "packTicket");
    EXPECT_EQ(s._boosts.first, 0);
    EXPECT_EQ(s._boosts.last, 1);
    EXPECT_EQ(s._characters.first, 2);
    EXPECT_EQ(s._characters.last, 1);
    EXPECT_EQ(s._bank.first, 2);
    EXPECT_EQ(s._bank.last, 3);
    EXPECT_EQ(s._ticketRow, 4);
    EXPECT_EQ(s._objectUp, _panel->findNode("shop_up"));

    // Every listed row is a copy of its own, shown with the panel; the templates stay out.
    for (MenuShopExt::Node* node : s.getList()) {
        PanelItem* r = static_cast<MenuShopExt::Item*>(node)->_row;
        ASSERT_NE(r, nullptr);
        EXPECT_TRUE(r->isAutomatic());
        EXPECT_NE(r, _panel->findItem("table_item"));
        EXPECT_NE(r, _panel->findItem("table_bank"));
    }
    EXPECT_FALSE(_panel->findItem("table_item")->isAutomatic());
    EXPECT_EQ(line(row("boostA"), 0), "Boost A");
    EXPECT_TRUE(shown(row("boostA"), "icon_a"));
    EXPECT_FALSE(shown(row("boostA"), "icon00"));
}

TEST_F(ShopRows, BoostRowFollowsItsLevel) {
    MenuShopExt& s = shop();
    PanelItem* r = row("boostA");
    EXPECT_EQ(line(r, 1), "100 ");
    EXPECT_EQ(line(r, 2), "");
    EXPECT_TRUE(shown(r, "coin"));
    EXPECT_TRUE(shown(r, "button_buy"));
    for (const char* pip : {"update01", "update02", "update03", "update04", "update05"})
        EXPECT_FALSE(shown(r, pip)) << pip;

    s.setCoins(150);
    // A tap on any part of the row buys the row's item.
    ASSERT_EQ(s.buyItemAtObject(r->findNode("button_buy")), 1);
    EXPECT_EQ(s.getCoins(), 50);
    EXPECT_EQ(line(r, 1), "200 ");
    EXPECT_FALSE(shown(r, "update01"));  // level 0 shows no pip
    EXPECT_EQ(line(_panel->findItem("coins"), 0), "50 ");

    s.setItemState("boostA", 2);
    EXPECT_EQ(line(r, 1), "");
    EXPECT_FALSE(shown(r, "coin"));
    EXPECT_FALSE(shown(r, "button_buy"));
    EXPECT_TRUE(shown(r, "update01"));
    EXPECT_TRUE(shown(r, "update02"));
    EXPECT_FALSE(shown(r, "update03"));
    EXPECT_EQ(s.buyItemAtObject(r->findNode("coin")), 0);
    EXPECT_EQ(s.buyItemAtObject(nullptr), 0);
}

TEST_F(ShopRows, BankRowsShowTheStorePriceOrTheirCoinPrice) {
    MenuShopExt& s = shop();
    PanelItem* pack = row("zelvan_pack_1");
    PanelItem* ticket = row("packTicket");
    EXPECT_EQ(line(pack, 1), "");  // the store has not answered
    EXPECT_EQ(line(pack, 2), "500 coins");
    EXPECT_EQ(line(ticket, 1), "1 ticket: 50");
    EXPECT_EQ(line(ticket, 2), "");

    StoreManager::instance().product(256).price = "0.99 USD";
    EXPECT_EQ(s.refreshItemByName("zelvan_pack_1"), 1);
    EXPECT_EQ(line(pack, 1), "0.99 USD");

    // The coin path refuses the real-money pack; the store's credit grants it.
    s.setCoins(0);
    EXPECT_EQ(s.buyItemAtObject(pack->findNode("button_buy")), 0);
    EXPECT_EQ(s.getCoins(), 0);
    EXPECT_EQ(s.creditItemAtObject(pack->findNode("button_buy")), 1);
    EXPECT_EQ(s.getCoins(), 500);
    EXPECT_EQ(line(_panel->findItem("coins"), 0), "500 ");

    EXPECT_EQ(s.buyItemAtObject(ticket->findNode("button_buy")), 1);
    EXPECT_EQ(s.getCoins(), 450);
    EXPECT_EQ(line(_panel->findItem("tickets"), 0), "1 ");
}

TEST_F(ShopRows, TabBadgesShowOnlyForTabsWithSomethingAffordable) {
    MenuShopExt& s = shop();
    PanelItem* boosts = _panel->findItem("boosts");
    PanelItem* characters = _panel->findItem("characters");
    s.setCoins(0);
    EXPECT_FALSE(shown(boosts, "available"));
    // The empty characters tab lies next to the bank, whose real-money packs are always
    // affordable: it must not take their badge.
    EXPECT_FALSE(shown(characters, "available"));
    s.setCoins(100);
    EXPECT_TRUE(shown(boosts, "available"));
    EXPECT_FALSE(shown(characters, "available"));
}

}  // namespace
