#include "game/menu/ZelvanMenuResultsExt.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/ConfigStore.h"
#include "engine/IGame.h"
#include "engine/online/SocialPlatform.h"
#include "engine/render/RenderTarget.h"
#include "engine/services.h"
#include "engine/ui/Page.h"
#include "engine/ui/UIObject.h"
#include "engine/utils.h"
#include "engine_game/Camera.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/ZelvanTexts.h"
#include "game/actors/ZelvanActorCharacter.h"
#include "game/actors/ZelvanActorMenu.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanMenuMapExt02.h"
#include "game/menu/ZelvanMenuMissionExt.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelItem.h"
#include "game/profile/ZelvanFriendProfile.h"
#include "game/stage/ZelvanStage.h"
#include "game/track/ZelvanLevelSkin.h"

namespace Zelvan {

namespace {

const float kDegrees = 3.14159265358979f / 180.0f;
const char* const kCategory = "menu results";

std::string translated(const std::string& key) {
    TextContainer* texts = TextContainer::get();
    return texts ? texts->translate(key) : key;
}

void send(const char* action, const std::string& label, int32_t value = 1) {
    sendAnalyticsEvent(kCategory, action, label.c_str(), value);
}

// A float as the whole number analytics and labels show, held to what an int32 can take.
int32_t whole(float value) {
    if (!(value > -2147483648.0f))
        return value != value ? 0 : INT32_MIN;
    if (value >= 2147483647.0f)
        return INT32_MAX;
    return (int32_t)value;
}

ActorPlayer* runTrain() {
    Stage* stage = Stage::get();
    return stage ? stage->getPlayer() : nullptr;
}

}  // namespace

float MenuResultsExt::fieldOfView(float aspect) { return menuFieldOfView(aspect); }

MenuResultsExt::MenuResultsExt(const std::string& name, Menu* menu, Panel* panel, World* menuWorld,
                               PSParticleSystem* particles)
    : MenuExtension(name), _panel(panel), _menu(menu), _menuWorld(menuWorld), _particles(particles) {
    if (_menuWorld) {
        _scene = _menuWorld->createScene("Map", 0, 0);
        if (_scene)
            _scene->hide();
    }
    const float width = IGame::hostWidth();
    const float height = IGame::hostHeight();
    const float aspect = height > 0 ? width / height : 1.0f;
    _camera = new Camera(nullptr);
    _camera->setPerspective(fieldOfView(aspect), aspect, 1.0f, 150.0f);
    _camera->setPosition(Vector3(0, 0, -50));
    _camera->updateTransform();

    ConfigStore& cfg = ConfigStore::instance();
    _menuScale = cfg.getFloat(name + ".menuScale", 1.0f);
    _objectScale = cfg.getFloat(name + ".objectScale", 1.0f);
    _objectFaceAngle = cfg.getFloat(name + ".objectFaceAngle", -45.0f) * kDegrees;
    _objectAngleStart = cfg.getFloat(name + ".objectAngleStart", -135.0f) * kDegrees;
    _objectAngularVelocity = cfg.getFloat(name + ".objectAngularVelocity", -20.0f) * kDegrees;
    _levelSkinDefault = cfg.getString(name + ".levelSkinDefault", "");
    _angle = _objectAngleStart;
}

MenuResultsExt::~MenuResultsExt() {
    releaseFigure();
    if (_menuWorld && _scene)
        _menuWorld->releaseScene(_scene);
    if (_menuWorld && _menuWorld->getCamera() == _camera)
        _menuWorld->setCamera(nullptr);
    delete _camera;
}

int32_t MenuResultsExt::rankingRows() const {
    PanelItem* table = _panel ? _panel->findItem("table") : nullptr;
    if (!table)
        return 0;
    const int32_t lines = (int32_t)table->getTexts().size();
    return lines > 2 ? (lines - 2) / 3 : 0;
}

void MenuResultsExt::sendRunAnalytics() {
    send("open", "");
    MenuMapExt02* map = _menu ? _menu->getMapExt() : nullptr;
    // The region the run was on: the one paid for.
    if (const MenuMapExt02::Continent* continent = map ? map->getCurrent() : nullptr)
        send("continent", translated(continent->textName.empty() ? continent->name : continent->textName));
    if (MenuShopExt* shop = _menu ? _menu->getShopExt() : nullptr) {
        const std::vector<MenuShopExt::Node*>& list = shop->getList();
        const struct {
            int32_t index;
            const char* action;
        } picks[] = {{shop->_trainIndex, "train"}, {shop->_characterIndex, "character"}};
        for (const auto& pick : picks) {
            if (pick.index < 0 || pick.index >= (int32_t)list.size())
                continue;
            MenuShopExt::Item* item = dynamic_cast<MenuShopExt::Item*>(list[(size_t)pick.index]);
            if (!item)
                continue;
            MenuShopExt::ItemInfo info;
            item->describe(info);
            send(pick.action, translated(info.displayName));
        }
    }
    ActorPlayer* train = runTrain();
    if (!train)
        return;
    send("coins", formatString("%d", whole(train->_goods.get("coins")._amount)));
    send("distance", formatString("%d", whole(train->_goods._distance)));
    static const char* const counters[][2] = {
        {"analyticsBoostLetter", "boost letter"},       {"analyticsBoostMagnet", "boost magnets"},
        {"analyticsBoostBrake", "boost brakes"},        {"analyticsBoostHit", "boost hits"},
        {"analyticsBoostFps", "boost fpss"},            {"analyticsBoostCoinBig", "boost big coins"},
        {"analyticsBoostTurbo", "boost turbo"},         {"analyticsBoostBattery", "boost battery"},
        {"analyticsBoostCoinDoubler", "boost coin doubler"}, {"analyticsBoostFruit", "boost fruits"},
        {"analyticsBoostRepair", "boost repairs"},      {"analyticsBrake", "player brakes"},
        {"analyticsStargate", "stargate enter"},
    };
    for (const auto& counter : counters)
        send(counter[1], formatString("%d", whole(train->_goods.get(counter[0])._amount)));
}

void MenuResultsExt::writeTable() {
    ActorPlayer* train = runTrain();
    _distance = train ? train->_goods._distance : 0.0f;
    const float runCoins = train ? train->_goods.get("coins")._amount + 0.5f : 0.0f;
    const int32_t coins = runCoins > 0 ? whole(runCoins) : 0;
    PanelItem* table = _panel->findItem("table");
    if (!table)
        return;
    table->setText(0, formatString("%dm", whole(_distance)));
    table->setText(1, formatString("%d", coins));

    const int32_t rows = rankingRows();
    std::vector<RankingEntry> ranking;
    if (MenuMissionExt* missions = _menu ? _menu->getMissionExt() : nullptr) {
        const FriendProfile* own = dynamic_cast<const FriendProfile*>(SocialPlatform::instance().getMyProfile());
        ranking = buildFriendsRanking(own, missions->_gamecenter, (size_t)rows);
    }
    for (int32_t i = 0; i < rows; ++i) {
        const int32_t line = 3 * i + 2;
        if ((size_t)i < ranking.size()) {
            table->setText(line, formatString("%d.", i + 1));
            // Names come from the network: never a format.
            table->setText(line + 1, PanelItem::literalText(ranking[(size_t)i].first));
            table->setText(line + 2, formatString("%um", ranking[(size_t)i].second));
        } else {
            table->setText(line, "");
            table->setText(line + 1, "");
            table->setText(line + 2, "");
        }
    }
}

void MenuResultsExt::refreshBadges() {
    MenuShopExt* shop = _menu ? _menu->getShopExt() : nullptr;
    _panel->setItemText("coins", 0, formatString("%d", shop ? shop->getCoins() : 0));
    // The missions screen has no maps yet: the mission button keeps its look.
    if (shop) {
        if (PanelItem* item = _panel->findItem("shop")) {
            const bool any = shop->hasAffordableItem(shop->_boosts) || shop->hasAffordableItem(shop->_characters) ||
                             shop->hasAffordableItem(shop->_trains) || shop->hasAffordableItem(shop->_skins);
            item->setNodeVisible("available", any);
        }
    }
}

void MenuResultsExt::releaseFigure() {
    if (!_figure)
        return;
    Stage* stage = Stage::get();
    if (stage && !_levelSkinDefault.empty())
        if (LevelSkin* skin = stage->findSkin(_levelSkinDefault))
            _figure->setSkin(skin);
    if (_figure->_pool)
        _figure->_pool->release(_figure);
    _figure = nullptr;
}

void MenuResultsExt::refreshFigure() {
    Stage* stage = Stage::get();
    ActorCharacter* character = stage ? stage->getCharacter() : nullptr;
    if (character == _shownCharacter)
        return;
    _shownCharacter = character;
    releaseFigure();
    if (!character || !_scene)
        return;
    _figure = createMenuActor(_scene, _particles, character->_prefix, character->_skin);
    if (!_figure)
        return;
    if (Page* page = _panel->getPage())
        _figure->setLights(page->_lights);
    Vector3 low, high;
    if (getObjectBounds(_figure, false, low, high))
        _centre = (low + high) * 0.5f;
}

void MenuResultsExt::onShow(bool back) {
    if (!back)
        sendRunAnalytics();
    if (_scene)
        _scene->show();
    if (_menuWorld) {
        _menuWorld->setCamera(_camera);
        if (_menuWorld->_renderTarget)
            _menuWorld->_renderTarget->_disabled = 0;
    }
    if (!_panel)
        return;
    if (!back)
        writeTable();
    if (_menu)
        _menu->collectRunGoods();
    refreshBadges();
    // A recording of the run just ended becomes the one the playback button shows.
    if (_menu)
        _menu->stopRecording();
    _panel->showItem("everyplay", _menu && _menu->_recordingAvailable ? 1 : 0);
    refreshFigure();
    _angle = _objectAngleStart;
    if (_menu) {
        _menu->showBanner(this);
        if (!back)
            _menu->showInterstitial();
    }
}

void MenuResultsExt::update(float dt) {
    if (!_figure || !_panel)
        return;
    PanelItem* table = _panel->findItem("table");
    Object* view = table ? table->findNode("view") : nullptr;
    if (!view)
        return;
    _angle += _objectAngularVelocity * dt;

    Vector3 p = view->getWorldPosition();
    Vector3 low, high;
    if (getObjectBounds(view, false, low, high))
        p = (low + high) * 0.5f;
    Camera* uiCamera = _panel->getWorld() ? _panel->getWorld()->getCamera() : nullptr;
    if (!uiCamera)
        return;
    uiCamera->project(p);
    Vector3 at((p.x + 1.0f) * 0.5f, (p.y + 1.0f) * 0.5f, 0.8f);
    _camera->unproject(at);

    const float s = _menuScale * _objectScale;
    const float ca = std::cos(_objectFaceAngle), sa = std::sin(_objectFaceAngle);
    const float cb = std::cos(_angle), sb = std::sin(_angle);
    const Vector3 rows[3] = {Vector3(s * cb, s * sb * ca, s * sb * sa), Vector3(-s * sb, s * cb * ca, s * cb * sa),
                             Vector3(0, -s * sa, s * ca)};
    const Vector3 position = at - (rows[0] * _centre.x + rows[1] * _centre.y + rows[2] * _centre.z);
    if (_figure->_transform) {
        _figure->_transform->setWorld(rows, position);
        _figure->updateTransform();
    }
}

void MenuResultsExt::onHide(bool) {
    if (_panel)
        _panel->showItem("everyplay", 0);
}

void MenuResultsExt::onHidden() {
    if (_scene)
        _scene->hide();
    if (_menuWorld) {
        if (_menuWorld->getCamera() == _camera)
            _menuWorld->setCamera(nullptr);
        if (_menuWorld->_renderTarget)
            _menuWorld->_renderTarget->_disabled = 1;
    }
    if (_menu) {
        _menu->hideBanner(this);
        _menu->hideInterstitial();
    }
}

}  // namespace Zelvan
