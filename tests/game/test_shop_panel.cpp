// The shop panel on the sample game: the rows stacked between the markers, scrolling by drag
// and gliding back inside the list, focus moves, the sideways spin of a row's item, the 3D
// objects standing where their rows show them, the selection pulse, and purchases and
// selections made on the panel reaching the balances and the stage. The shop screen is also
// drawn and written as a PNG (to ZELVAN_SHOP_SHOT when set).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "GameFixture.h"
#include "engine/bounds.h"
#include "engine/ui/UIObject.h"
#include "engine_game/Camera.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "game/actors/ZelvanActorCharacter.h"
#include "game/actors/ZelvanActorMenu.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/menu/ZelvanPanelItem.h"

namespace {

const float kDeg = 3.14159265358979f / 180.0f;

// The game loaded through the harness with the shop on screen and settled.
class ShopPanel : public GameFixture {
protected:
    void SetUp() override {
        GameFixture::SetUp();
        if (HasFatalFailure())
            return;
        load();
        ASSERT_FALSE(HasFatalFailure());
        _shop = _menu->getShopExt();
        ASSERT_NE(_shop, nullptr);
        ASSERT_TRUE(_shop->isBuilt());
        ASSERT_TRUE(settle());
        ASSERT_TRUE(_menu->goToPanel("shop", false));
        for (int i = 0; i < 300 && !(_menu->currentPanelName() == "shop" && shopPanel()->isActive()); ++i)
            frame();
        ASSERT_EQ(_menu->currentPanelName(), "shop");
        ASSERT_TRUE(shopPanel()->isActive());
    }

    Panel* shopPanel() const { return _menu->getPanelContainer()->findPanel("shop"); }
    Camera* uiCamera() const { return _shop->interfaceCamera(); }
    // Screen height (0 bottom, 1 top) of a world point through the interface camera.
    float screenY(Vector3 p) const {
        uiCamera()->project(p);
        return p.y * 0.5f + 0.5f;
    }
    // The finger point (y down) at screen height h (0 bottom) in the middle of the screen.
    static Vector3 finger(float x, float h) { return Vector3(x, 1.0f - h, 0); }
    float windowTop() const { return screenY(_shop->_objectUp->getWorldPosition()); }
    float windowBottom() const { return screenY(_shop->_objectDown->getWorldPosition()); }
    float windowHeight() const {
        return std::fabs(_shop->_objectUp->getWorldPosition().z - _shop->_objectDown->getWorldPosition().z);
    }
    float listHeight() {
        float total = 0;
        Vector3 origin = _shop->_objectUp->getWorldPosition();
        origin.z += _shop->_scroll;
        _shop->layoutList(origin, total, nullptr, -1, nullptr, 0);
        return total;
    }
    MenuShopExt::Item* listItem(int32_t index) const {
        MenuShopExt::Node* node = _shop->getList()[index];
        return node && node->_kind != MenuShopExt::KindGroup ? static_cast<MenuShopExt::Item*>(node) : nullptr;
    }
    MenuShopExt::ItemCharacter* firstOf(const MenuShopExt::Range& tab) const {
        for (int32_t i = tab.first + 1; i <= tab.last; ++i)
            if (MenuShopExt::Item* item = listItem(i))
                return static_cast<MenuShopExt::ItemCharacter*>(item);
        return nullptr;
    }

    MenuShopExt* _shop = nullptr;
};

TEST_F(ShopPanel, RowsStackDownwardsFromTheTopMarkerAndTheListGlidesBackInside) {
    ASSERT_NE(_shop->_objectUp, nullptr);
    ASSERT_NE(_shop->_objectDown, nullptr);
    EXPECT_TRUE(_shop->_scene->_shown) << "the shop's 3D scene shows with the panel";
    EXPECT_EQ(_shop->_menuWorld->getCamera(), _shop->getShopCamera());
    frame();

    // Each row's top stands where the previous one ended, one gap lower.
    const float top = _shop->_objectUp->getWorldPosition().z + _shop->_scroll;
    float expected = top;
    int rows = 0;
    for (MenuShopExt::Node* node : _shop->getList()) {
        if (!node) {
            expected -= _shop->_spaceSeparator;
            continue;
        }
        MenuShopExt::Item* item = static_cast<MenuShopExt::Item*>(node);
        const Vector2 span = item->extent();
        ASSERT_LE(span.x, span.y);
        EXPECT_NEAR(item->position().z + span.y, expected, 1e-3f) << item->_name;
        expected -= (span.y - span.x) + _shop->_spaceNode;
        ++rows;
    }
    EXPECT_GT(rows, 8);
    const float total = listHeight();
    EXPECT_NEAR(total, top - expected, 1e-3f);
    ASSERT_GT(total, windowHeight()) << "the sample's list is taller than its window";

    // Let go past the end: the list glides back to the end at 10 per second, never passing it.
    const float maxScroll = total - windowHeight();
    _shop->_scroll = maxScroll + 5;
    float last = _shop->_scroll;
    for (int i = 0; i < 240; ++i) {
        frame();
        EXPECT_GE(_shop->_scroll, maxScroll - 1e-3f);
        EXPECT_LE(_shop->_scroll, last + 1e-4f);
        last = _shop->_scroll;
    }
    EXPECT_NEAR(_shop->_scroll, maxScroll, 1e-2f);
    _shop->_scroll = -3;
    frames(240);
    EXPECT_NEAR(_shop->_scroll, 0.0f, 1e-2f);
}

TEST_F(ShopPanel, DragsScrollOrSpinAndOnlyInsideTheWindow) {
    frame();
    const float top = windowTop(), bottom = windowBottom();
    ASSERT_GT(top, bottom);
    const float middle = 0.5f * (top + bottom);

    // Outside the window the touch is taken but nothing moves.
    EXPECT_TRUE(_shop->touchBegan(0, finger(0.5f, std::min(top + 0.02f, 0.999f))));
    EXPECT_FALSE(_shop->_touching);
    EXPECT_FALSE(_shop->touchEnded(0, finger(0.5f, 0.5f)));

    // An upward drag scrolls the list by the finger's movement in the interface world.
    const float before = _shop->_scroll;
    ASSERT_TRUE(_shop->touchBegan(0, finger(0.5f, middle)));
    ASSERT_TRUE(_shop->_touching);
    EXPECT_TRUE(_shop->touchMoved(0, finger(0.5f, middle + 0.05f)));
    EXPECT_EQ(_shop->_dragMode, MenuShopExt::DragScroll);
    const float moved = _shop->_dragSum.z;
    EXPECT_GT(moved, 0.0f);
    frame();
    EXPECT_NEAR(_shop->_scroll, before + moved, 1e-4f);
    // Later sideways movement does not turn the drag into a spin.
    _shop->touchMoved(0, finger(0.9f, middle + 0.05f));
    EXPECT_EQ(_shop->_dragMode, MenuShopExt::DragScroll);
    EXPECT_TRUE(_shop->touchEnded(0, finger(0.9f, middle + 0.05f)));
    EXPECT_EQ(_shop->_dragMode, MenuShopExt::DragNone);

    // A sideways drag spins the row under the finger and keeps to it.
    frames(120);
    ASSERT_TRUE(_shop->touchBegan(0, finger(0.3f, middle)));
    _shop->touchMoved(0, finger(0.5f, middle));
    EXPECT_EQ(_shop->_dragMode, MenuShopExt::DragSpin);
    const float scroll = _shop->_scroll;
    frame();
    MenuShopExt::Node* spun = _shop->_spunNode;
    ASSERT_NE(spun, nullptr) << "a row lies under the middle of the window";
    MenuShopExt::ItemRotate* item = dynamic_cast<MenuShopExt::ItemRotate*>(spun);
    ASSERT_NE(item, nullptr);
    const Vector2 span = item->extent();
    const float probe = _shop->_lastPoint.z;
    EXPECT_LT(probe, item->position().z + span.y);
    EXPECT_GT(probe, item->position().z + span.x);
    const float angle = item->_angle;
    _shop->touchMoved(0, finger(0.7f, middle - 0.1f));
    frame();
    EXPECT_EQ(_shop->_spunNode, spun);
    EXPECT_FLOAT_EQ(_shop->_scroll, scroll) << "a spin does not scroll";
    EXPECT_GT(item->_angle, angle);
    EXPECT_LE(std::fabs(item->_angularVelocity), _shop->_angularVelocityMax + 1e-3f);
    _shop->touchEnded(0, finger(0.7f, middle - 0.1f));
}

TEST_F(ShopPanel, SpinsSettleToTheDefaultSpeedAndSwipesAreLimited) {
    MenuShopExt::ItemCharacter* character = firstOf(_shop->_characters);
    ASSERT_NE(character, nullptr);
    // A swipe of 1 radian in one frame: the turn at once, the speed limited to 720 degrees/s.
    character->_angle = 0;
    character->spin(1.0f);
    character->update(_shop, 0, kDt);
    EXPECT_FLOAT_EQ(character->_angle, 1.0f);
    EXPECT_NEAR(character->_angularVelocity, 720 * kDeg, 1e-4f);
    for (int i = 0; i < 600; ++i)
        character->update(_shop, 0, kDt);
    EXPECT_NEAR(character->_angularVelocity, 20 * kDeg, 1e-3f) << "slows to the default speed, same way";
    EXPECT_TRUE(std::isfinite(character->_angle));
    EXPECT_LE(std::fabs(character->_angle), 2 * 3.1416f);

    // A frame of no time gives no speed instead of dividing by it; at rest it turns the negative way.
    character->spin(0.5f);
    character->update(_shop, 0, 0);
    EXPECT_EQ(character->_angularVelocity, 0.0f);
    character->update(_shop, 0, kDt);
    EXPECT_LT(character->_angularVelocity, 0.0f);
}

TEST_F(ShopPanel, ObjectsStandWhereTheirRowsShowThemTiltedByHeight) {
    frame();
    Camera* ui = uiCamera();
    Camera* shopCamera = _shop->getShopCamera();
    ASSERT_NE(ui, nullptr);
    int placed = 0;
    for (MenuShopExt::Node* node : _shop->getList()) {
        if (!node || !(node->_kind & (MenuShopExt::KindCharacter | MenuShopExt::KindTrain | MenuShopExt::KindSkin)))
            continue;
        MenuShopExt::ItemCharacter* item = static_cast<MenuShopExt::ItemCharacter*>(node);
        ASSERT_NE(item->_menu.object, nullptr) << item->_name;
        Object* view = item->_row->findNode("view");
        ASSERT_NE(view, nullptr) << item->_name;
        if (!item->_menu.object->_active)
            continue;
        // The object's bounds centre lands on the view node's place on screen.
        Vector3 centre = item->_menu.centre * item->_menu.scale;
        const Matrix4& world = item->_menu.object->_transform->_world;
        Vector3 placedCentre = world.getTranslation() + world.row3(0) * item->_menu.centre.x +
                               world.row3(1) * item->_menu.centre.y + world.row3(2) * item->_menu.centre.z;
        (void)centre;
        shopCamera->project(placedCentre);
        Vector3 v = view->getWorldPosition();
        if (view->_bounds)
            v = (view->_bounds->_worldMin + view->_bounds->_worldMax) * 0.5f;
        ui->project(v);
        EXPECT_NEAR(placedCentre.x, v.x, 1e-3f) << item->_name;
        EXPECT_NEAR(placedCentre.y, v.y, 1e-3f) << item->_name;
        ++placed;
    }
    EXPECT_GT(placed, 3);

    // The tilt: -105 degrees at the bottom of the screen, -67.5 in the middle, -30 at the top.
    MenuShopExt::ItemCharacter* character = firstOf(_shop->_characters);
    ASSERT_NE(character, nullptr);
    Object* view = character->_row->findNode("view");
    const struct {
        float h, tilt;
    } cases[] = {{0.0f, -105}, {0.5f, -67.5f}, {1.0f, -30}};
    for (const auto& c : cases) {
        // Move the row's view so that it shows at height h, then place with no turn.
        Vector3 v = view->getWorldPosition();
        if (view->_bounds)
            v = (view->_bounds->_worldMin + view->_bounds->_worldMax) * 0.5f;
        ui->project(v);
        Vector3 target(v.x * 0.5f + 0.5f, c.h, v.z * 0.5f + 0.5f);
        ui->unproject(target);
        Vector3 fromView = target - ((view->_bounds ? (view->_bounds->_worldMin + view->_bounds->_worldMax) * 0.5f
                                                    : view->getWorldPosition()));
        Object* root = character->_row->_node;
        const Matrix4& w = root->_transform->_world;
        const Vector3 rows[3] = {w.row3(0), w.row3(1), w.row3(2)};
        root->_transform->setWorld(rows, w.getTranslation() + fromView);
        root->updateTransform();
        _shop->placeObject(character->_row, character->_menu.object, character->_menu.centre, 1.0f, 0.0f);
        const Vector3 r2 = character->_menu.object->_transform->_world.row3(2);
        const float tilt = std::atan2(-r2.y, r2.z) / kDeg;
        EXPECT_NEAR(tilt, c.tilt, 0.05f) << "height " << c.h;
    }
}

TEST_F(ShopPanel, TheSelectedRowPulsesFromTheTimeTheShopIsShown) {
    MenuShopExt::ItemCharacter* selected = nullptr;
    for (MenuShopExt::Node* node : _shop->getList())
        if (node && node->_kind == MenuShopExt::KindCharacter &&
            static_cast<MenuShopExt::ItemCharacter*>(node)->isSelected())
            selected = static_cast<MenuShopExt::ItemCharacter*>(node);
    ASSERT_NE(selected, nullptr);
    Object* node = selected->_row->findNode("selected");
    ASSERT_NE(node, nullptr);
    float low = 10, high = 0;
    const int period = (int)std::ceil(2 * 3.14159265f / 8 / kDt);
    for (int i = 0; i < period + 2; ++i) {
        frame();
        const float s = node->_transform->_scale.x;
        low = std::min(low, s);
        high = std::max(high, s);
    }
    EXPECT_NEAR(low, 1.0f, 2e-3f);
    EXPECT_NEAR(high, 1.02f, 2e-3f);
    EXPECT_NEAR(_shop->_shopTime, (period + 2) * kDt + 0.0f, 0.5f);
    _shop->onShow(false);
    EXPECT_EQ(_shop->_shopTime, 0.0f) << "shown afresh: the pulse starts again";
}

TEST_F(ShopPanel, FocusMovesTheListAndTabsWalkOnToAffordableEntries) {
    const int32_t count = (int32_t)_shop->getList().size();
    EXPECT_EQ(_shop->focusListIndex(-1), 0);
    EXPECT_EQ(_shop->focusListIndex(count), 0);
    for (int32_t i = 0; i < count; ++i) {
        if (!_shop->getList()[i]) {
            EXPECT_EQ(_shop->focusListIndex(i), 0) << "a separator is refused";
        }
    }
    EXPECT_EQ(_shop->_focus, -1);

    // The bank's heading glides to the top of the window, or as far as the list allows.
    frame();
    const float maxScroll = std::max(listHeight() - windowHeight(), 0.0f);
    ASSERT_EQ(_shop->focusListIndex(_shop->_bank.first), 1);
    frames(300);
    float offset = 0;
    Vector3 origin = _shop->_objectUp->getWorldPosition();
    origin.z += _shop->_scroll;
    float total = 0;
    _shop->layoutList(origin, total, &offset, _shop->_bank.first, nullptr, 0);
    EXPECT_NEAR(_shop->_scroll, std::min(maxScroll, offset), 1e-2f);
    EXPECT_GT(_shop->_scroll, 0.0f);
    // Hiding drops the focus.
    _shop->onHide(true);
    EXPECT_EQ(_shop->_focus, -1);

    // Tab buttons: poor, the characters tab walks one entry on, past the end back to the first.
    const MenuShopExt::Range tab = _shop->_characters;
    ASSERT_GT(tab.last, tab.first + 1);
    _shop->setCoins(0);
    _shop->_focus = -1;
    EXPECT_EQ(_shop->tabButtonIndex(tab), tab.first + 1);
    _shop->_focus = tab.first + 1;
    EXPECT_EQ(_shop->tabButtonIndex(tab), tab.first + 2);
    _shop->_focus = tab.last;
    EXPECT_EQ(_shop->tabButtonIndex(tab), tab.first + 1);
    // Rich: the first affordable entry after the focus.
    _shop->setCoins(1000000);
    int32_t affordable = -1;
    for (int32_t i = tab.first + 1; i <= tab.last && affordable < 0; ++i)
        if (_shop->hasAffordableItem(i, i))
            affordable = i;
    ASSERT_GE(affordable, 0);
    _shop->_focus = -1;
    EXPECT_EQ(_shop->tabButtonIndex(tab), affordable);
    EXPECT_EQ(_shop->tabEntryIndex(tab, _shop->_characterIndex), affordable);
    _shop->setCoins(0);
    EXPECT_EQ(_shop->tabEntryIndex(tab, _shop->_characterIndex), _shop->_characterIndex);
    EXPECT_EQ(_shop->tabButtonIndex(MenuShopExt::Range()), -1);
    EXPECT_EQ(_shop->focusListIndex(_shop->tabEntryIndex(MenuShopExt::Range(), -1)), 0);
}

TEST_F(ShopPanel, BuyingAndSelectingOnThePanelReachTheBalancesAndTheStage) {
    // The sample's train for sale waits for the map to unlock it.
    MenuShopExt::ItemTrain* train = nullptr;
    for (int32_t i = _shop->_trains.first + 1; i <= _shop->_trains.last; ++i) {
        MenuShopExt::Item* item = listItem(i);
        if (item && !static_cast<MenuShopExt::ItemTrain*>(item)->isOwned()) {
            train = static_cast<MenuShopExt::ItemTrain*>(item);
            train->_menuLocked = 0;
            break;
        }
    }
    MenuShopExt::ItemCharacter* character = nullptr;
    for (int32_t i = _shop->_characters.first + 1; i <= _shop->_characters.last; ++i) {
        MenuShopExt::Item* item = listItem(i);
        if (item && item->canBuy()) {
            character = static_cast<MenuShopExt::ItemCharacter*>(item);
            break;
        }
    }
    ASSERT_NE(train, nullptr) << "the sample sells a train";
    ASSERT_NE(character, nullptr) << "the sample sells a character";

    _shop->setCoins(train->_price + character->_price + 7);
    _shop->setTickets(0);
    Object* trainButton = train->_row->findNode("button_buy");
    ASSERT_NE(trainButton, nullptr);
    EXPECT_EQ(_shop->buyItemAtObject(trainButton), 1);
    EXPECT_EQ(_shop->getCoins(), character->_price + 7);
    EXPECT_EQ(_shop->buyItemAtObject(character->_row->_node), 1);
    EXPECT_EQ(_shop->getCoins(), 7);
    EXPECT_EQ(_shop->buyItemAtObject(character->_row->_node), 0) << "bought once";

    // A ticket pack sold for coins.
    MenuShopExt::Item* ticketRow = listItem(_shop->_ticketRow);
    ASSERT_NE(ticketRow, nullptr);
    MenuShopExt::ItemInfo info;
    ticketRow->describe(info);
    if (info.price > 0) {
        _shop->setCoins(info.price);
        EXPECT_EQ(_shop->buyItemAtObject(ticketRow->_row->_node), 1);
        EXPECT_EQ(_shop->getCoins(), 0);
        EXPECT_GT(_shop->getTickets(), 0);
    }

    EXPECT_EQ(_shop->selectItemAtObject(train->_row->_node), 1);
    EXPECT_EQ(_shop->selectItemAtObject(character->_row->_node), 1);
    EXPECT_NE(_stage->getPlayer()->_playerName, train->_key) << "the stage changes when the shop is left";

    ASSERT_TRUE(_menu->goToPanel("main", false));
    for (int i = 0; i < 300 && _shop->_scene->_shown; ++i)
        frame();
    EXPECT_FALSE(_shop->_scene->_shown);
    ASSERT_NE(_stage->getPlayer(), nullptr);
    EXPECT_EQ(_stage->getPlayer()->_playerName, train->_key);
    ASSERT_NE(_stage->getCharacter(), nullptr);
    EXPECT_EQ(_stage->getCharacter()->_prefix, character->_key);
}

TEST_F(ShopPanel, TheShopScreenIsDrawn) {
    _shop->focusListIndex(_shop->_characters.first);
    frames(120);
    _app->OnRender();
    const std::vector<uint8_t> pixels = EglHeadless::readPixels(0, 0, kWidth, kHeight);
    ASSERT_EQ(pixels.size(), (size_t)kWidth * kHeight * 4);
    size_t distinct = 0;
    for (size_t i = 4; i < pixels.size(); i += 4 * 97)
        if (pixels[i] != pixels[0] || pixels[i + 1] != pixels[1] || pixels[i + 2] != pixels[2])
            ++distinct;
    EXPECT_GT(distinct, 50u) << "the screen is not one colour";
    const char* folder = std::getenv("ZELVAN_SHOP_SHOT");
    const std::string path = std::string(folder ? folder : _documents.path().c_str()) + "/shop.png";
    EXPECT_TRUE(EglHeadless::writePng(path, kWidth, kHeight, pixels));
}

}  // namespace
