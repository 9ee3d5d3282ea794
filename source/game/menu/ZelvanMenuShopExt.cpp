#include "game/menu/ZelvanMenuShopExt.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

#include "engine/ConfigStore.h"
#include "engine/IGame.h"
#include "engine/bounds.h"
#include "engine/render/RenderTarget.h"
#include "engine_game/Camera.h"
#include "engine_game/Transform.h"
#include "engine/online/SocialPlatform.h"
#include "engine/online/StoreManager.h"
#include "engine/ui/Page.h"
#include "engine/ui/UIObject.h"
#include "engine/utils.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Text.h"
#include "engine_game/World.h"
#include "game/ZelvanTexts.h"
#include "game/actors/ZelvanActorCharacter.h"
#include "game/actors/ZelvanActorMenu.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelItem.h"
#include "game/stage/ZelvanStage.h"
#include "game/track/ZelvanLevelSkin.h"

namespace Zelvan {

namespace {

const float kDegrees = 3.14159265358979f / 180.0f;

// A configuration number as a whole number: truncated towards zero, kept inside 32 bits
// (a value that is no number reads as 0).
int32_t toCount(double value) {
    if (!(value == value))
        return 0;
    if (value >= 2147483647.0)
        return INT32_MAX;
    if (value <= -2147483648.0)
        return INT32_MIN;
    return (int32_t)value;
}

// A word of a number list: its leading decimal number, 0 when it does not begin with one.
int32_t wordToCount(const std::string& word) {
    return toCount(std::strtod(word.c_str(), nullptr));
}

std::string key(const std::string& section, const char* suffix) { return section + suffix; }

std::string cfgString(const std::string& section, const char* suffix, const std::string& fallback) {
    return ConfigStore::instance().getString(key(section, suffix), fallback.c_str());
}

std::string translate(const std::string& text) {
    TextContainer* texts = TextContainer::get();
    return texts ? texts->translate(text) : text;
}

// "%d " of a value: the shop's price and balance texts.
std::string countText(int32_t value) { return std::to_string(value) + " "; }

// A translated text used as a format with one string argument: its first "%s" takes the
// argument and "%%" stays for the row, which reads its texts as formats. Nothing else of the
// text is read as a conversion, so a translation cannot make the formatting read past its
// argument.
std::string formatWithText(const std::string& format, const std::string& argument) {
    std::string out;
    bool used = false;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == 's' && !used) {
                out += argument;
                used = true;
                ++i;
                continue;
            }
            if (format[i + 1] == '%') {
                out += "%%";
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

// Row operations; a catalogue without a panel has no rows.
void rowText(PanelItem* row, int32_t line, const std::string& text) {
    if (row)
        row->setText(line, text);
}

void rowNode(PanelItem* row, const char* name, bool on) {
    if (row)
        row->setNodeVisible(std::string(name), on);
}

Object* rowFind(PanelItem* row, const std::string& name) { return row ? row->findNode(name) : nullptr; }

void rowShow(PanelItem* row) {
    if (row)
        row->setVisible(true);
}

// Coins paid for a step: a balance that would pass the 32-bit range refuses the step.
bool canPay(int32_t coins, int32_t price) { return coins >= price; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Nodes

void MenuShopExt::Group::update(MenuShopExt* shop, float shopTime, float dt) {
    for (Item* member : _members)
        member->update(shop, shopTime, dt);
}

Vector2 MenuShopExt::Item::extent() const {
    if (!_row || !_row->_node)
        return Vector2(0, 0);
    Vector3 low, high;
    _row->getExtent(low, high);
    // A row with nothing to measure takes no room rather than stacking the list backwards.
    if (!(low.z <= high.z) || !std::isfinite(low.z) || !std::isfinite(high.z))
        return Vector2(0, 0);
    return Vector2(low.z, high.z);
}

Vector3 MenuShopExt::Item::position() const {
    if (!_row || !_row->_node)
        return Vector3(0, 0, 0);
    return _row->_node->getWorldPosition();
}

void MenuShopExt::Item::describe(ItemInfo& info) const {
    info = ItemInfo();
    info.name = _name;
    info.displayName = _textName;
    info.description = _textDescription;
}

void MenuShopExt::ItemHeader::describe(ItemInfo& info) const {
    Item::describe(info);
    info.levelCount = 0;
    info.level = -1;
}

void MenuShopExt::ItemRotate::spin(float amount) {
    _spinQueued = 1;
    _queuedImpulse += amount;
}

void MenuShopExt::ItemRotate::update(MenuShopExt* shop, float shopTime, float dt) {
    if (_spinQueued) {
        // A swipe turns the item by its own length at once and leaves it turning that fast.
        _angle += _queuedImpulse;
        const float limit = shop->_angularVelocityMax;
        _angularVelocity = dt > 0 ? std::max(-limit, std::min(limit, _queuedImpulse / dt)) : 0.0f;
        _spinQueued = 0;
        _queuedImpulse = 0;
    } else {
        _angle += _angularVelocity * dt;
        // Settles to the default speed in the direction it had; at rest it starts the negative way.
        const float s = _angularVelocity > 0 ? 1.0f : -1.0f;
        _angularVelocity += s * (1.0f - std::pow(0.05f, dt)) *
                            (std::fabs(shop->_angularVelocityDefault) - std::fabs(_angularVelocity));
    }
    // Kept to one turn so that hours of spinning lose no precision.
    const float turn = 2.0f * 3.14159265358979f;
    if (std::fabs(_angle) > turn)
        _angle = std::fmod(_angle, turn);
    if (!std::isfinite(_angle))
        _angle = shop->_angleStart;
    if (!std::isfinite(_angularVelocity))
        _angularVelocity = 0;
    place(shop, shopTime);
}

void MenuShopExt::ItemItem::place(MenuShopExt* shop, float) {
    if (_icon && _placeholder)
        shop->placeIcon(_icon, _placeholder, _angle);
}

void MenuShopExt::ItemBank::place(MenuShopExt* shop, float) {
    if (_icon && _placeholder)
        shop->placeIcon(_icon, _placeholder, _angle);
}

void MenuShopExt::ItemObject::place(MenuShopExt* shop, float) {
    if (_menu.object && _row)
        shop->placeObject(_row, _menu.object, _menu.centre, _menu.scale, _angle);
}

void MenuShopExt::ItemCharacter::place(MenuShopExt* shop, float shopTime) {
    if (_menu.object && _row)
        shop->placeObject(_row, _menu.object, _menu.centre, _menu.scale, _angle);
    pulse(shop, shopTime);
}

void MenuShopExt::ItemTrain::place(MenuShopExt* shop, float shopTime) {
    if (_menu.object && _menu.object->_active && _row)
        shop->placeObject(_row, _menu.object, _menu.centre, _menu.scale, _angle);
    pulse(shop, shopTime);
}

void MenuShopExt::ItemCharacter::pulse(MenuShopExt* shop, float shopTime) {
    if (!_selected)
        return;
    Object* node = rowFind(_row, "selected");
    if (!node)
        return;
    const float wave = 0.5f * std::sin(shopTime * shop->_pulseSpeed) + 0.5f;
    const float scale = shop->_pulseMin + (shop->_pulseMax - shop->_pulseMin) * wave;
    node->setScale(Vector3(scale, scale, scale));
}

// ---- Boost ----

void MenuShopExt::ItemItem::describe(ItemInfo& info) const {
    Item::describe(info);
    info.levelCount = count();
    info.level = _level;
    info.canBuy = (uint8_t)canBuy();
    info.price = info.canBuy ? _prices[_level + 1] : 0;
}

int32_t MenuShopExt::ItemItem::canBuy() const { return _level + 1 < count() ? 1 : 0; }

void MenuShopExt::ItemItem::setLevel(int32_t level) {
    _level = std::max(-1, std::min(level, count() - 1));
}

int32_t MenuShopExt::ItemItem::buy(MenuShopExt* shop) {
    if (!canBuy())
        return 0;
    const int32_t price = _prices[_level + 1];
    if (!canPay(shop->_coins, price))
        return 0;
    shop->_coins -= price;
    _level += 1;
    shop->refreshCoins();
    return 1;
}

void MenuShopExt::ItemItem::refresh(MenuShopExt* shop) {
    (void)shop;
    const bool next = canBuy() != 0;
    rowText(_row, 1, next ? countText(_prices[_level + 1]) : std::string());
    rowNode(_row, "coin", next);
    rowNode(_row, "button_buy", next);
    static const char* const pips[] = {"update01", "update02", "update03", "update04", "update05"};
    for (int32_t n = 1; n <= 5; ++n)
        rowNode(_row, pips[n - 1], n <= _level);
}

// ---- Object ----

static void releaseMenuObject(MenuShopExt::MenuObject& menu) {
    if (menu.object && menu.object->_pool)
        menu.object->_pool->release(menu.object);
    menu.object = nullptr;
}

MenuShopExt::ItemObject::~ItemObject() { releaseMenuObject(_menu); }

void MenuShopExt::ItemObject::describe(ItemInfo& info) const {
    Item::describe(info);
    info.levelCount = 1;
    info.level = _available ? -1 : 0;
    info.price = _available ? _price : 0;
    info.canBuy = _available;
}

int32_t MenuShopExt::ItemObject::buy(MenuShopExt* shop) {
    if (!_available || !canPay(shop->_coins, _price))
        return 0;
    shop->_coins -= _price;
    shop->refreshCoins();
    _available = 0;
    return 1;
}

// ---- Character, skin ----

MenuShopExt::ItemCharacter::~ItemCharacter() { releaseMenuObject(_menu); }

void MenuShopExt::ItemCharacter::describe(ItemInfo& info) const {
    Item::describe(info);
    info.levelCount = 1;
    info.level = _notOwned ? -1 : 0;
    info.price = _notOwned ? _price : 0;
    info.canBuy = (uint8_t)canBuy();
    info.owned = _notOwned ? 0 : 1;
}

int32_t MenuShopExt::ItemCharacter::canBuy() const { return _notOwned; }

void MenuShopExt::ItemCharacter::setLevel(int32_t level) { _notOwned = level < 0 ? 1 : 0; }

int32_t MenuShopExt::ItemCharacter::buy(MenuShopExt* shop) {
    if (!_notOwned || !canPay(shop->_coins, _price))
        return 0;
    shop->_coins -= _price;
    shop->refreshCoins();
    _notOwned = 0;
    return 1;
}

bool MenuShopExt::ItemCharacter::setSelected(bool selected) {
    const uint8_t flag = selected ? 1 : 0;
    if (_selected == flag)
        return false;
    _selected = flag;
    return true;
}

void MenuShopExt::ItemCharacter::refresh(MenuShopExt* shop) {
    (void)shop;
    const bool buyable = _notOwned != 0;
    rowText(_row, 1, buyable ? countText(_price) : std::string());
    rowNode(_row, "coin", buyable);
    rowNode(_row, "button_buy", buyable);
    rowNode(_row, "button", buyable || !_selected);
    rowNode(_row, "button_select", !buyable && !_selected);
    rowNode(_row, "flag", _selected != 0);
    rowNode(_row, "selected", _selected != 0);
}

// ---- Train ----

void MenuShopExt::ItemTrain::describe(ItemInfo& info) const {
    ItemCharacter::describe(info);
    info.canBuy = (uint8_t)canBuy();
}

int32_t MenuShopExt::ItemTrain::canBuy() const { return _notOwned && !_menuLocked ? 1 : 0; }

int32_t MenuShopExt::ItemTrain::buy(MenuShopExt* shop) {
    if (_menuLocked)
        return 0;
    return ItemCharacter::buy(shop);
}

void MenuShopExt::ItemTrain::refresh(MenuShopExt* shop) {
    (void)shop;
    const bool buyable = canBuy() != 0;
    const bool owned = !_notOwned;
    rowText(_row, 1, buyable ? countText(_price) : std::string());
    rowNode(_row, "coin", buyable);
    rowNode(_row, "button_buy", buyable);
    rowNode(_row, "button", !_selected);
    rowNode(_row, "button_select", owned && !_selected);
    rowNode(_row, "button_info", _menuLocked && !owned);
    rowNode(_row, "locked", _menuLocked && !owned);
    rowNode(_row, "flag", _selected != 0);
    rowNode(_row, "selected", _selected != 0);
    if (_menu.object && _menuLocked)
        setObjectActive(_menu.object, owned);
}

// ---- Bank ----

void MenuShopExt::ItemBank::describe(ItemInfo& info) const {
    Item::describe(info);
    info.levelCount = 1;
    info.level = _once && !_available ? 0 : -1;
    info.price = _price;
    info.canBuy = _available;
}

void MenuShopExt::ItemBank::setLevel(int32_t level) { _available = _once ? (level < 0 ? 1 : 0) : 1; }

// Grants the pack once it is paid: coins (a negative price gives coins) and tickets, balances
// kept inside 32 bits.
static void grantPack(MenuShopExt* shop, MenuShopExt::ItemBank* bank) {
    const int64_t coins = (int64_t)shop->_coins - bank->_price;
    shop->_coins = (int32_t)std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, coins));
    shop->refreshCoins();
    const int64_t tickets = (int64_t)shop->_tickets + bank->_tickets;
    shop->_tickets = (int32_t)std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, tickets));
    shop->refreshTickets();
    if (bank->_once)
        bank->_available = 0;
}

int32_t MenuShopExt::ItemBank::buy(MenuShopExt* shop) {
    // A pack sold for real money is never had for coins: at a price of 0 or below the coin
    // path would hand it out for nothing, or even pay coins for it.
    if (!_available || isRealMoney() || !canPay(shop->_coins, _price))
        return 0;
    grantPack(shop, this);
    return 1;
}

int32_t MenuShopExt::ItemBank::credit(MenuShopExt* shop) {
    if (!_available || !isRealMoney())
        return 0;
    grantPack(shop, this);
    return 1;
}

void MenuShopExt::ItemBank::refresh(MenuShopExt* shop) {
    (void)shop;
    std::string text;
    if (_available) {
        if (_price <= 0) {
            const StoreProduct* product = StoreProduct::findById(_name);
            text = product ? StoreManager::instance().findProduct(product->code) : std::string("???");
        } else {
            text = formatWithText(translate("#text_bank_item_ticket_1"), std::to_string(_price));
        }
    }
    rowText(_row, 1, text);
    rowNode(_row, "button_buy", _available != 0);
}

// ---------------------------------------------------------------------------------------------
// The shop

MenuShopExt::Roster MenuShopExt::Roster::fromStage(const Stage* stage) {
    Roster roster;
    if (!stage)
        return roster;
    for (ActorCharacter* character : stage->getCharacters())
        if (character)
            roster.characters.push_back({character->_prefix, character->_skin});
    for (ActorPlayer* player : stage->getPlayers())
        if (player)
            roster.trains.push_back({player->_playerName, nullptr});
    for (LevelSkin* skin : stage->getSkins())
        if (skin)
            roster.skins.push_back({skin->_key, skin});
    return roster;
}

MenuShopExt::MenuShopExt(const std::string& name, Panel* panel, World* menuWorld,
                         PSParticleSystem* particles)
    : MenuExtension(name),
      _panel(panel),
      _menuWorld(menuWorld),
      _particles(particles),
      _faceAngle(22.5f * kDegrees),
      _faceAngleTop(-52.5f * kDegrees),
      _faceAngleDown(-127.5f * kDegrees),
      _angularVelocityDefault(-20.0f * kDegrees),
      _angularVelocityMax(720.0f * kDegrees) {
    if (_menuWorld) {
        _scene = _menuWorld->createScene("Shop", 0, 0);
        if (_scene)
            _scene->hide();
    }
    // A screen not yet sized would divide by zero: it is taken as square until then.
    const float w = IGame::hostWidth(), h = IGame::hostHeight();
    const float aspect = w > 0 && h > 0 ? w / h : 1.0f;
    _camera = new Camera(nullptr);
    _camera->setPerspective(menuFieldOfView(aspect), aspect, 1.0f, 150.0f);
    _camera->setPosition(Vector3(0, 0, -50));
    _camera->updateTransform();
}

MenuShopExt::~MenuShopExt() {
    for (Item* item : _items)
        delete item;
    for (Group* group : _groups)
        delete group;
    _items.clear();
    _groups.clear();
    _list.clear();
    if (_menuWorld && _scene)
        _menuWorld->releaseScene(_scene);
    if (_menuWorld && _menuWorld->getCamera() == _camera)
        _menuWorld->setCamera(nullptr);
    delete _camera;
    _camera = nullptr;
}

// ---- Presentation ----

void MenuShopExt::onShow(bool back) {
    if (_scene)
        _scene->show();
    if (_menuWorld) {
        _menuWorld->setCamera(_camera);
        if (_menuWorld->_renderTarget)
            _menuWorld->_renderTarget->_disabled = 0;
    }
    if (!back) {
        _shopTime = 0;
        _touching = 0;
        _dragMode = DragNone;
        _dragSum = Vector3();
        _dragVelocity = Vector3();
        _spunNode = nullptr;
    }
}

void MenuShopExt::onHide(bool) {
    _focus = -1;
    if (_targetSet) {
        _targetSet = 0;
        _scroll = _target;
    }
}

void MenuShopExt::onHidden() {
    if (_scene)
        _scene->hide();
    if (_menuWorld && _menuWorld->_renderTarget)
        _menuWorld->_renderTarget->_disabled = 1;
    handSelectionToGame(Stage::get());
}

Camera* MenuShopExt::interfaceCamera() const {
    UIObject* world = _panel ? _panel->getWorld() : nullptr;
    return world ? static_cast<World*>(world)->getCamera() : nullptr;
}

bool MenuShopExt::touchBegan(int32_t, const Vector3& point) {
    Camera* camera = interfaceCamera();
    if (!camera || !_objectUp || !_objectDown)
        return true;
    Vector3 up = _objectUp->getWorldPosition(), down = _objectDown->getWorldPosition();
    camera->project(up);
    camera->project(down);
    const float top = 0.5f * up.y + 0.5f, bottom = 0.5f * down.y + 0.5f;
    const float h = 1.0f - point.y;
    if (bottom < h && h < top) {
        _touching = 1;
        _dragMode = DragUndecided;
        _dragSum = Vector3();
        _spunNode = nullptr;
        _dragVelocity = Vector3();
        _lastPoint = Vector3(point.x, h, point.z);
        camera->unproject(_lastPoint);
        _focus = -1;
    }
    return true;
}

bool MenuShopExt::touchMoved(int32_t, const Vector3& point) {
    Camera* camera = interfaceCamera();
    if (!_touching || !camera)
        return _touching != 0;
    Vector3 q(point.x, 1.0f - point.y, point.z);
    camera->unproject(q);
    _dragSum = _dragSum + (q - _lastPoint);
    _lastPoint = q;
    // The first real movement decides the drag for good; a report without movement decides
    // nothing.
    if (_dragMode == DragUndecided && (_dragSum.x != 0 || _dragSum.z != 0))
        _dragMode = std::fabs(_dragSum.z) >= std::fabs(_dragSum.x) ? DragScroll : DragSpin;
    return _touching != 0;
}

bool MenuShopExt::touchEnded(int32_t, const Vector3&) {
    if (!_touching)
        return false;
    _touching = 0;
    _dragMode = DragNone;
    _spunNode = nullptr;
    return true;
}

int32_t MenuShopExt::focusListIndex(int32_t index) {
    if (index < 0 || index >= (int32_t)_list.size() || !_list[index])
        return 0;
    _focus = index;
    _touching = 0;
    _dragMode = DragNone;
    _dragSum = Vector3();
    _dragVelocity = Vector3();
    _spunNode = nullptr;
    return 1;
}

void MenuShopExt::layoutList(const Vector3& origin, float& total, float* focusOffset, int32_t focusIndex,
                             Node** probed, float probe) {
    float offset = 0;
    if (focusOffset)
        *focusOffset = 0;
    if (probed)
        *probed = nullptr;
    for (size_t i = 0; i < _list.size(); ++i) {
        if ((int32_t)i == focusIndex && focusOffset)
            *focusOffset = offset;
        Node* node = _list[i];
        if (!node) {
            offset += _spaceSeparator;
            continue;
        }
        if (node->_kind == KindGroup) {
            offset += _spaceNode;
            continue;
        }
        Item* item = static_cast<Item*>(node);
        const Vector2 span = node->extent();
        const float height = span.y - span.x;
        const float top = origin.z - offset;
        if (probed && !*probed && probe < top && probe > top - height)
            *probed = node;
        if (item->_row && item->_row->_node) {
            Object* root = item->_row->_node;
            const Matrix4& world = root->_transform->_world;
            const Vector3 rows[3] = {world.row3(0), world.row3(1), world.row3(2)};
            Vector3 position = world.getTranslation();
            position.z = top - span.y;
            root->_transform->setWorld(rows, position);
            root->updateTransform();
        }
        offset += height + _spaceNode;
    }
    total = offset;
}

void MenuShopExt::placeIcon(Object* icon, Object* placeholder, float angle) {
    if (!icon || !placeholder)
        return;
    const Matrix4& world = placeholder->_transform->_world;
    const Vector3 r0 = world.row3(0), r1 = world.row3(1), r2 = world.row3(2);
    const float c = std::cos(angle), s = std::sin(angle);
    const Vector3 rows[3] = {r0 * c + r1 * s, r1 * c - r0 * s, r2};
    icon->_transform->setWorld(rows, world.getTranslation());
    icon->updateTransform();
}

void MenuShopExt::placeObject(PanelItem* row, Object* object, const Vector3& centre, float scale, float angle) {
    XAssert(row && object ? 1 : 0, "menuShopExt && panelItem && object", __FILE__, __LINE__);
    if (!row || !object)
        return;
    Object* view = row->findNode("view");
    Camera* camera = interfaceCamera();
    if (!view || !camera || !_camera)
        return;
    Vector3 p = view->getWorldPosition();
    if (view->_bounds)
        p = (view->_bounds->_worldMin + view->_bounds->_worldMax) * 0.5f;
    camera->project(p);
    const float sx = p.x * 0.5f + 0.5f, sy = p.y * 0.5f + 0.5f;
    Vector3 w(sx, sy, 0.8f);
    _camera->unproject(w);
    const float t = std::max(0.0f, std::min(1.0f, sy));
    const float a = _faceAngle + _faceAngleDown + (_faceAngleTop - _faceAngleDown) * t;
    const float ca = std::cos(a), sa = std::sin(a), cb = std::cos(angle), sb = std::sin(angle);
    const Vector3 rows[3] = {Vector3(cb, sb * ca, sb * sa) * scale, Vector3(-sb, cb * ca, cb * sa) * scale,
                             Vector3(0, -sa, ca) * scale};
    const Vector3 position = w - (rows[0] * centre.x + rows[1] * centre.y + rows[2] * centre.z);
    object->_transform->setWorld(rows, position);
    object->updateTransform();
}

void MenuShopExt::update(float dt) {
    _shopTime += dt;
    if (!_objectUp || !_objectDown)
        return;
    Vector3 origin = _objectUp->getWorldPosition();
    origin.z += _scroll;
    float total = 0, focusOffset = 0;
    Node* probed = nullptr;
    const bool probe = _dragMode == DragSpin && !_spunNode;
    layoutList(origin, total, _focus >= 0 ? &focusOffset : nullptr, _focus, probe ? &probed : nullptr,
               _lastPoint.z);
    if (probe)
        _spunNode = probed;
    const float top = _objectUp->getWorldPosition().z, bottom = _objectDown->getWorldPosition().z;
    _targetSet = 0;
    if (_touching) {
        _dragVelocity = Vector3();
        if (_dragMode == DragScroll) {
            _dragVelocity.z = dt > 0 ? _dragSum.z / dt : 0.0f;
            _scroll += _dragSum.z;
        } else if (_dragMode == DragSpin) {
            _dragVelocity.x = dt > 0 ? _dragSum.x / dt : 0.0f;
            if (_spunNode)
                _spunNode->spin(_dragSum.x);
        }
        _dragSum = Vector3();
    } else {
        const float maxScroll = std::max(total - std::fabs(bottom - top), 0.0f);
        if (_scroll < 0) {
            _target = 0;
            _targetSet = 1;
        } else if (_scroll > maxScroll) {
            _target = maxScroll;
            _targetSet = 1;
        }
        if (_focus >= 0) {
            _target = std::min(maxScroll, focusOffset);
            _targetSet = 1;
        }
        if (_targetSet) {
            const float gap = _target - _scroll;
            float step = 10.0f * dt * gap;
            if (std::fabs(step) > std::fabs(gap))
                step = gap;
            _scroll += step;
        }
        _scroll += _dragVelocity.z * dt;
        _dragVelocity = _dragVelocity * std::pow(0.05f, dt);
    }
    if (!std::isfinite(_scroll))
        _scroll = 0;
    for (Node* node : _list)
        if (node)
            node->update(this, _shopTime, dt);
    clipToWindow(top, bottom);
}

namespace {

// The height of a node's middle: the centre of its mesh bounds, else its origin.
float middleHeight(Object* node) {
    if (node->_bounds)
        return (node->_bounds->_worldMin.z + node->_bounds->_worldMax.z) * 0.5f;
    return node->getWorldPosition().z;
}

// Whether the node and every node above it are active: an inactive node's tree stays hidden.
bool activeChain(const Object* node) {
    for (; node; node = node->_parent)
        if (!node->_active)
            return false;
    return true;
}

// Hides or shows a tree; shown again, its inactive nodes (a figure's game-only parts) stay hidden.
void setTreeHidden(Object* node, bool hidden) {
    if ((node->_hidden != 0) == hidden)
        return;
    node->setHidden(hidden);
    if (!hidden)
        hideInactiveObjects(node);
}

}  // namespace

void MenuShopExt::clipItem(Item* item, float top, float bottom) {
    if (!item || !item->_row)
        return;
    auto outside = [&](Object* node) {
        const float z = middleHeight(node);
        return !(z <= top && z >= bottom);
    };
    // Every text of the row: its lines and the captions of its buttons.
    std::vector<Object*> stack(1, item->_row->getNode());
    while (!stack.empty()) {
        Object* node = stack.back();
        stack.pop_back();
        if (!node)
            continue;
        if (Text* text = dynamic_cast<Text*>(node))
            setTreeHidden(text, outside(text) || !activeChain(text));
        stack.insert(stack.end(), node->_children.begin(), node->_children.end());
    }
    Object* icon = nullptr;
    Object* placeholder = nullptr;
    MenuObject* menu = nullptr;
    if (ItemItem* boost = dynamic_cast<ItemItem*>(item)) {
        icon = boost->_icon;
        placeholder = boost->_placeholder;
    } else if (ItemBank* bank = dynamic_cast<ItemBank*>(item)) {
        icon = bank->_icon;
        placeholder = bank->_placeholder;
    } else if (ItemObject* object = dynamic_cast<ItemObject*>(item)) {
        menu = &object->_menu;
    } else if (ItemCharacter* character = dynamic_cast<ItemCharacter*>(item)) {
        menu = &character->_menu;
    }
    if (icon && placeholder)
        setTreeHidden(icon, outside(placeholder) || !activeChain(icon));
    if (menu && menu->object && menu->object->_active) {
        Object* view = item->_row->findNode("view");
        setTreeHidden(menu->object, view && (outside(view) || !activeChain(view)));
    }
}

void MenuShopExt::clipToWindow(float top, float bottom) {
    // The covers above and below the window hide the panels of the rows that pass behind them,
    // but not what is drawn after them: texts are blended over everything, the spinning icons
    // turn edge-on through the covers and the figures are drawn over the whole interface. What
    // lies beyond the window is hidden instead.
    for (Node* node : _list) {
        if (!node)
            continue;
        if (node->_kind == KindGroup) {
            for (Item* member : static_cast<Group*>(node)->_members)
                clipItem(member, top, bottom);
            continue;
        }
        clipItem(static_cast<Item*>(node), top, bottom);
    }
}

int32_t MenuShopExt::tabButtonIndex(const Range& tab) const {
    if (tab.first < 0 || tab.last < tab.first)
        return -1;
    // A tab with only its heading shows its heading, not the next tab's.
    if (tab.last == tab.first)
        return tab.first;
    const int32_t next = _focus + 1;
    const int32_t start = _focus >= 0 && tab.first + 1 <= next && next <= tab.last ? next : tab.first + 1;
    for (int32_t i = start; i <= tab.last; ++i)
        if (hasAffordableItem(i, i) == 1)
            return i;
    return start;
}

int32_t MenuShopExt::tabEntryIndex(const Range& tab, int32_t selectedIndex) const {
    if (!tab.isEmpty())
        for (int32_t i = tab.first; i <= tab.last; ++i)
            if (hasAffordableItem(i, i) == 1)
                return i;
    return selectedIndex;
}

void MenuShopExt::reload() { reload(Roster::fromStage(Stage::get())); }

void MenuShopExt::setCoins(int32_t coins) {
    _coins = coins;
    refreshCoins();
}

void MenuShopExt::setTickets(int32_t tickets) {
    _tickets = tickets;
    refreshTickets();
}

MenuShopExt::Item* MenuShopExt::findItem(const std::string& name) const {
    if (name.empty())
        return nullptr;
    for (Item* item : _items)
        if (item->_name == name)
            return item;
    return nullptr;
}

int32_t MenuShopExt::describeItemAt(ItemInfo& info, int32_t index) const {
    if (index < 0 || index >= (int32_t)_items.size())
        return 0;
    _items[index]->describe(info);
    return 1;
}

int32_t MenuShopExt::describeItem(ItemInfo& info, const std::string& name) const {
    Item* item = findItem(name);
    if (!item)
        return 0;
    item->describe(info);
    return 1;
}

int32_t MenuShopExt::setItemState(const std::string& name, int32_t level) {
    Item* item = findItem(name);
    if (!item)
        return 0;
    item->setLevel(level);
    item->refresh(this);
    return 1;
}

static int32_t buyItem(MenuShopExt* shop, MenuShopExt::Item* item) {
    if (!item || item->canBuy() != 1 || item->buy(shop) != 1)
        return 0;
    item->refresh(shop);
    shop->refreshCoins();
    shop->refreshTickets();
    return 1;
}

int32_t MenuShopExt::buyItemByName(const std::string& name) { return buyItem(this, findItem(name)); }

static int32_t creditItem(MenuShopExt* shop, MenuShopExt::Item* item) {
    if (!item || item->_kind != MenuShopExt::KindBank)
        return 0;
    MenuShopExt::ItemBank* bank = static_cast<MenuShopExt::ItemBank*>(item);
    if (bank->credit(shop) != 1)
        return 0;
    bank->refresh(shop);
    shop->refreshCoins();
    shop->refreshTickets();
    // Paid with real money: the pack must outlive the program at once.
    SocialPlatform::instance().saveProfile();
    return 1;
}

int32_t MenuShopExt::creditItemByName(const std::string& name) { return creditItem(this, findItem(name)); }

int32_t MenuShopExt::refreshItemByName(const std::string& name) {
    Item* item = findItem(name);
    if (!item)
        return 0;
    item->refresh(this);
    return 1;
}

int32_t MenuShopExt::selectItemByName(const std::string& name) {
    Item* item = findItem(name);
    return item ? selectItem(item) : 0;
}

int32_t MenuShopExt::selectItem(Item* item) {
    if (!item || item->isSelected())
        return 0;
    int32_t index = -1;
    for (size_t i = 0; i < _list.size(); ++i) {
        Node* node = _list[i];
        if (!node || node->_kind != item->_kind || node->_kind == KindGroup)
            continue;
        Item* other = static_cast<Item*>(node);
        other->setSelected(false);
        other->refresh(this);
        if (other == item && index < 0)
            index = (int32_t)i;
    }
    item->setSelected(true);
    item->refresh(this);
    switch (item->_kind) {
    case KindCharacter:
        _characterIndex = index;
        _characterKey = item->_key;
        break;
    case KindTrain:
        _trainIndex = index;
        _trainKey = item->_key;
        break;
    case KindSkin:
        _skinIndex = index;
        _skinKey = item->_key;
        break;
    default:
        break;
    }
    return 1;
}

MenuShopExt::Item* MenuShopExt::findItemAtObject(Object* object) const {
    if (!object)
        return nullptr;
    for (Item* item : _items)
        if (item->_row && item->_row->_node && isObjectInTree(item->_row->_node, object))
            return item;
    return nullptr;
}

int32_t MenuShopExt::describeItemAtObject(ItemInfo& info, Object* object) const {
    Item* item = findItemAtObject(object);
    if (!item)
        return 0;
    item->describe(info);
    return 1;
}

int32_t MenuShopExt::buyItemAtObject(Object* object) { return buyItem(this, findItemAtObject(object)); }

int32_t MenuShopExt::creditItemAtObject(Object* object) { return creditItem(this, findItemAtObject(object)); }

int32_t MenuShopExt::selectItemAtObject(Object* object) {
    Item* item = findItemAtObject(object);
    return item ? selectItem(item) : 0;
}

void MenuShopExt::playBuyAnimation(Object* object) {
    Item* item = findItemAtObject(object);
    if (item && item->_row)
        item->_row->playAnimation("buy");
}

void MenuShopExt::playSelectAnimation(Object* object) {
    Item* item = findItemAtObject(object);
    if (item && item->_row)
        item->_row->playAnimation("select");
}

int32_t MenuShopExt::hasAffordableItem(int32_t first, int32_t last) const {
    const uint32_t a = (uint32_t)first, b = (uint32_t)last;
    const uint32_t length = (uint32_t)_list.size();
    const uint32_t low = std::min(a, b);
    if (length == 0 || low >= length)
        return 0;
    const uint32_t high = std::min(std::max(a, b), length - 1);
    for (uint32_t i = low; i <= high; ++i) {
        Node* node = _list[i];
        if (!node || !(node->_kind & KindBuyable))
            continue;
        Item* item = static_cast<Item*>(node);
        if (item->canBuy() != 1)
            continue;
        ItemInfo info;
        item->describe(info);
        if (info.price < 0 || info.price <= _coins)
            return 1;
    }
    return 0;
}

int32_t MenuShopExt::hasAffordableItem(const Range& tab) const {
    // An empty tab (first past last) would otherwise be read in the other order and answer for
    // its neighbours' entries.
    if (tab.isEmpty())
        return 0;
    return hasAffordableItem(tab.first, tab.last);
}

int32_t MenuShopExt::findListIndex(const std::string& name) const {
    if (name.empty())
        return -1;
    for (size_t i = 0; i < _list.size(); ++i)
        if (_list[i] && _list[i]->_name == name)
            return (int32_t)i;
    return -1;
}

void MenuShopExt::refreshCoins() {
    if (!_panel)
        return;
    _panel->setItemText("coins", -1, countText(_coins));
    const struct {
        const char* button;
        const Range* tab;
    } tabs[] = {{"boosts", &_boosts}, {"characters", &_characters}, {"trains", &_trains}, {"skins", &_skins}};
    for (const auto& tab : tabs)
        if (PanelItem* button = _panel->findItem(tab.button))
            button->setNodeVisible("available", hasAffordableItem(*tab.tab) == 1);
}

void MenuShopExt::refreshTickets() {
    if (_panel)
        _panel->setItemText("tickets", -1, countText(_tickets));
}

MenuShopExt::Selection MenuShopExt::selectionToHand(const Selection& current) const {
    Selection hand;
    if (!_characterKey.empty() && _characterKey != current.character)
        hand.character = _characterKey;
    if (!_trainKey.empty() && _trainKey != current.train)
        hand.train = _trainKey;
    if (!_skinKey.empty() && _skinKey != current.skin)
        hand.skin = _skinKey;
    return hand;
}

void MenuShopExt::handSelectionToGame(Stage* stage) const {
    if (!stage)
        return;
    Selection current;
    if (stage->getCharacter())
        current.character = stage->getCharacter()->_prefix;
    if (stage->getPlayer())
        current.train = stage->getPlayer()->_playerName;
    if (stage->getSkin())
        current.skin = stage->getSkin()->_key;
    const Selection hand = selectionToHand(current);
    if (!hand.character.empty())
        stage->selectCharacter(hand.character);
    if (!hand.train.empty())
        stage->selectPlayer(hand.train);
    if (!hand.skin.empty())
        stage->selectSkin(hand.skin);
}

}  // namespace Zelvan

// ---------------------------------------------------------------------------------------------
// Building the catalogue

namespace Zelvan {

namespace {

const char* const kRowTemplates[] = {"table_item", "table_object", "table_character",
                                     "table_train", "table_skin", "table_bank"};
enum RowTemplate { RowItem, RowObject, RowCharacter, RowTrain, RowSkin, RowBank, RowCount };

// What one build needs besides the shop: the templates of the panel.
struct Builder {
    MenuShopExt* shop;
    PanelItem* rows[RowCount] = {};

    // A copy of a template row: null when there is no template or the copy fails. A catalogue
    // without a panel builds rowless entries, so "made" says whether the entry may be created.
    PanelItem* copy(PanelItem* source, bool& made) {
        if (!shop->_panel) {
            made = true;
            return nullptr;
        }
        PanelItem* row = source ? shop->cloneItem(shop->_panel, source) : nullptr;
        made = row != nullptr;
        return row;
    }

    PanelItem* findTemplate(const std::string& name) const {
        return shop->_panel ? shop->_panel->findItem(name) : nullptr;
    }

    // A 3D menu object for the entry's section; "made" as for rows. Without a menu world the
    // entry has none.
    MenuShopExt::MenuObject menuObject(const std::string& section, LevelSkin* skin, bool& made) {
        MenuShopExt::MenuObject menu;
        menu.scale = ConfigStore::instance().getFloat(section + ".menuScale", 1.0f);
        if (!shop->_panel || !shop->_scene) {
            made = true;
            return menu;
        }
        menu.object = shop->createMenuActor(shop->_scene, shop->_particles, section, skin);
        made = menu.object != nullptr;
        if (menu.object) {
            // Lit as the rest of the shop's page.
            if (Page* page = shop->_panel->getPage())
                menu.object->setLights(page->_lights);
            Vector3 low, high;
            if (getObjectBounds(menu.object, false, low, high))
                menu.centre = (low + high) * 0.5f;
        }
        return menu;
    }
};

void setRowTexts(PanelItem* row, const std::string& section) {
    rowText(row, 0, translate(cfgString(section, ".textMenuName", "")));
}

void readTexts(MenuShopExt::Item* item, const std::string& section) {
    item->_textName = cfgString(section, ".textMenuName", "");
    item->_textDescription = cfgString(section, ".textMenuDescription", "");
}

// Prices of things sold for coins are never below 0: a negative one would pay the player.
int32_t coinPrice(const std::string& section) {
    return std::max(0, toCount(ConfigStore::instance().getFloat(section + ".coins", 0)));
}

}  // namespace

static MenuShopExt::Item* createItem(Builder& b, const std::string& word, const std::string& type,
                                     LevelSkin* skin) {
    MenuShopExt* shop = b.shop;
    ConfigStore& cfg = ConfigStore::instance();
    const std::string name = cfgString(word, ".name", word);
    bool made = false;

    if (type == "header") {
        PanelItem* row = b.copy(b.findTemplate(cfgString(word, ".item", word)), made);
        if (!made)
            return nullptr;
        MenuShopExt::ItemHeader* item = new MenuShopExt::ItemHeader(word, name, row);
        readTexts(item, word);
        return item;
    }
    if (type == "item" || type == "bank") {
        const bool bank = type == "bank";
        PanelItem* row = b.copy(b.rows[bank ? RowBank : RowItem], made);
        if (!made)
            return nullptr;
        setRowTexts(row, word);
        rowText(row, 2, std::string());
        Object* icon = rowFind(row, cfgString(word, ".icon", ""));
        Object* placeholder = rowFind(row, "icon00");
        if (icon)
            setObjectActive(icon, true);
        rowNode(row, "icon00", false);
        if (!bank) {
            MenuShopExt::ItemItem* item = new MenuShopExt::ItemItem(word, name, row);
            readTexts(item, word);
            item->_angle = shop->_angleStart;
            item->_icon = icon;
            item->_placeholder = placeholder;
            for (const std::string& price : cfg.getList(word + ".upgrade"))
                item->_prices.push_back(std::max(0, wordToCount(price)));
            item->refresh(shop);
            return item;
        }
        MenuShopExt::ItemBank* item = new MenuShopExt::ItemBank(word, name, row);
        readTexts(item, word);
        item->_angle = shop->_angleStart;
        item->_icon = icon;
        item->_placeholder = placeholder;
        item->_price = toCount(cfg.getFloat(word + ".coins", 0));
        item->_tickets = toCount(cfg.getFloat(word + ".tickets", 0));
        item->_once = cfg.getBool(word + ".one", false) ? 1 : 0;
        item->refresh(shop);
        std::string coinsText;
        if (item->_price < 0)
            coinsText = formatWithText(translate("#text_bank_item_coin_pack_coins"),
                                       std::to_string(-(int64_t)item->_price));
        rowText(row, 2, coinsText);
        return item;
    }
    if (type == "object" || type == "character" || type == "train" || type == "skin") {
        MenuShopExt::MenuObject menu = b.menuObject(word, type == "train" ? nullptr : skin, made);
        if (!made)
            return nullptr;
        const RowTemplate which = type == "object"      ? RowObject
                                  : type == "character" ? RowCharacter
                                  : type == "train"     ? RowTrain
                                                        : RowSkin;
        PanelItem* row = b.copy(b.rows[which], made);
        if (!made) {
            releaseMenuObject(menu);
            return nullptr;
        }
        if (type == "object") {
            MenuShopExt::ItemObject* item = new MenuShopExt::ItemObject(word, name, row);
            readTexts(item, word);
            item->_angle = shop->_angleStart;
            item->_menu = menu;
            return item;
        }
        setRowTexts(row, word);
        rowNode(row, "view", true);
        MenuShopExt::ItemCharacter* item;
        if (type == "train") {
            MenuShopExt::ItemTrain* train = new MenuShopExt::ItemTrain(word, name, row);
            train->_menuLocked = cfg.getBool(word + ".menuLocked", false) ? 1 : 0;
            item = train;
        } else if (type == "skin") {
            item = new MenuShopExt::ItemSkin(word, name, row);
        } else {
            item = new MenuShopExt::ItemCharacter(word, name, row);
        }
        readTexts(item, word);
        item->_angle = shop->_angleStart;
        item->_angularVelocity = shop->_angularVelocityDefault;
        item->_menu = menu;
        item->_price = coinPrice(word);
        if (type == "train") {
            static const char* const scores[] = {".menuSpeedScore", ".menuEnergyScore", ".menuBrakeScore",
                                                 ".menuJumpScore"};
            static const char* const prefixes[] = {"speed", "energy", "brake", "jump"};
            for (int s = 0; s < 4; ++s) {
                const float value = cfg.getFloat(word + scores[s], 0);
                const int32_t score = value > 0 ? toCount(value) : 0;
                for (int32_t n = 1; n <= 5; ++n)
                    rowNode(row, formatTemp("%s%02d", prefixes[s], (int)n), n <= score);
            }
        }
        item->refresh(shop);
        return item;
    }
    return nullptr;
}

void MenuShopExt::reload(const Roster& roster) {
    // The catalogue is made once; a second build would list every entry twice.
    if (!_built) {
        _built = true;
        build(roster);
    }
    refreshCoins();
    refreshTickets();
}

void MenuShopExt::build(const Roster& roster) {
    ConfigStore& cfg = ConfigStore::instance();
    const std::string& s = _name;

    // Presentation settings; angles are written in degrees.
    _spaceNode = cfg.getFloat(s + ".spaceNode", _spaceNode);
    _spaceSeparator = cfg.getFloat(s + ".spaceSeparator", _spaceSeparator);
    _pulseMin = cfg.getFloat(s + ".selectionPulseScaleMin", _pulseMin);
    _pulseMax = cfg.getFloat(s + ".selectionPulseScaleMax", _pulseMax);
    _pulseSpeed = cfg.getFloat(s + ".selectionPulseSpeed", _pulseSpeed);
    _faceAngle = cfg.getFloat(s + ".objectFaceAngle", _faceAngle / kDegrees) * kDegrees;
    _faceAngleTop = cfg.getFloat(s + ".objectFaceAngleTop", _faceAngleTop / kDegrees) * kDegrees;
    _faceAngleDown = cfg.getFloat(s + ".objectFaceAngleDown", _faceAngleDown / kDegrees) * kDegrees;
    _angleStart = cfg.getFloat(s + ".objectAngleStart", _angleStart / kDegrees) * kDegrees;
    _angularVelocityDefault =
        cfg.getFloat(s + ".objectAngularVelocityDefault", _angularVelocityDefault / kDegrees) * kDegrees;
    _angularVelocityMax =
        std::fabs(cfg.getFloat(s + ".objectAngularVelocityMax", _angularVelocityMax / kDegrees) * kDegrees);
    _ticketRow = toCount(cfg.getFloat(s + ".rowTicket", 0));

    if (_panel) {
        // The list is laid out between these two; the shop cannot show without them.
        const std::string up = cfgString(s, ".objectUp", "");
        const std::string down = cfgString(s, ".objectDown", "");
        _objectUp = _panel->findNode(up);
        if (!_objectUp) {
            Logger::error("%s.objectUp (%s) not found!", s.c_str(), up.c_str());
            XAssert(0, "false", __FILE__, __LINE__);
        }
        _objectDown = _panel->findNode(down);
        if (!_objectDown) {
            Logger::error("%s.objectDown (%s) not found!", s.c_str(), down.c_str());
            XAssert(0, "false", __FILE__, __LINE__);
        }
    }

    Builder b{this};
    for (int i = 0; i < RowCount; ++i)
        b.rows[i] = b.findTemplate(kRowTemplates[i]);
    PanelItem* headers[5] = {b.findTemplate("header_boosts"), b.findTemplate("header_characters"),
                             b.findTemplate("header_trains"), b.findTemplate("header_skins"),
                             b.findTemplate("header_bank")};

    for (const std::string& word : cfg.getList(s + ".items"))
        if (Item* item = createItem(b, word, cfgString(word, ".type", ""), nullptr))
            _items.push_back(item);

    for (const std::string& word : cfg.getList(s + ".groups")) {
        Group* group = new Group(word, cfgString(word, ".name", word));
        for (const std::string& member : cfg.getList(word + ".items")) {
            for (Item* item : _items) {
                if (item->_key == member) {
                    group->_members.push_back(item);
                    break;
                }
            }
        }
        _groups.push_back(group);
    }

    _boosts = _characters = _trains = _skins = _bank = Range();

    auto size = [this]() { return (int32_t)_list.size(); };
    auto show = [this](Node* node) {
        if (node && node->_kind != KindGroup)
            rowShow(static_cast<Item*>(node)->_row);
        _list.push_back(node);
    };
    auto addHeading = [&](PanelItem* source) {
        bool made = false;
        PanelItem* row = b.copy(source, made);
        if (!made)
            return;
        Item* heading = new ItemHeader("", "", row);
        _items.push_back(heading);
        show(heading);
    };
    // Entries from the game's own lists: characters, trains or skins.
    auto addEntries = [&](Range& range, PanelItem* heading, const std::vector<Roster::Entry>& entries,
                          const char* type) {
        range.first = size();
        addHeading(heading);
        for (const Roster::Entry& entry : entries) {
            if (Item* item = createItem(b, entry.name, type, entry.skin)) {
                _items.push_back(item);
                show(item);
            }
        }
        range.last = size() - 1;
    };

    for (const std::string& word : cfg.getList(s + ".list")) {
        if (word == "boosts_begin") {
            _boosts.first = size();
            addHeading(headers[0]);
        } else if (word == "boosts_end") {
            _boosts.last = size() - 1;
        } else if (word == "characters") {
            addEntries(_characters, headers[1], roster.characters, "character");
        } else if (word == "trains") {
            addEntries(_trains, headers[2], roster.trains, "train");
        } else if (word == "skins") {
            addEntries(_skins, headers[3], roster.skins, "skin");
        } else if (word == "bank") {
            _bank.first = size();
            addHeading(headers[4]);
            std::map<int32_t, std::string> products;
            StoreProduct::buildCodeMap(products);
            for (const auto& product : products)
                if (Item* item = findItem(product.second))
                    show(item);
            _bank.last = size() - 1;
        } else if (word == "separator") {
            _list.push_back(nullptr);
        } else {
            Node* found = nullptr;
            for (Item* item : _items) {
                if (item->_key == word) {
                    found = item;
                    break;
                }
            }
            if (found) {
                show(found);
                continue;
            }
            for (Group* group : _groups) {
                if (group->_key == word) {
                    for (Item* member : group->_members)
                        rowShow(member->_row);
                    _list.push_back(group);
                    break;
                }
            }
        }
    }

    _ticketRow += _bank.first;
}

}  // namespace Zelvan
