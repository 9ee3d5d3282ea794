#include "game/menu/ZelvanMenuSurpriseExt.h"

#include <cmath>

#include "engine/ConfigStore.h"
#include "engine/random.h"
#include "engine/render/PSParticleSystem.h"
#include "engine/utils.h"
#include "engine_game/Object.h"
#include "game/ZelvanTexts.h"
#include "game/actors/ZelvanActorAnimator.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanConductors.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelContainer.h"
#include "game/menu/ZelvanPanelItem.h"
#include "game/stage/ZelvanStage.h"

namespace Zelvan {

namespace {

const float kDegrees = 3.14159265358979f / 180.0f;

// The item's node of that name, else the item's own object; null without the item.
Object* turningNode(Panel* panel, const char* name) {
    PanelItem* item = panel->findItem(name);
    if (!item)
        return nullptr;
    Object* node = item->findNode(name);
    return node ? node : item->getNode();
}

// Turns the node about its own Y axis, keeping its position; its scale becomes 1.
void turn(Object* node, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    Matrix4 m;
    m.setRow3(0, Vector3(c, 0, -s));
    m.setRow3(1, Vector3(0, 1, 0));
    m.setRow3(2, Vector3(s, 0, c));
    m.setTranslation(node->getPosition());
    node->setMatrix(m);
}

}  // namespace

// ---- Script steps ----

bool MenuSurpriseExt::JobVisible::update(float) {
    if (_item) {
        if (_visible)
            _item->show();
        else
            _item->hide();
    }
    return false;
}

bool MenuSurpriseExt::JobConductor::update(float) {
    if (!_item)
        return false;
    // A finished job starts nothing more: starting its conductor once again would replay the
    // idle animation over the opening.
    if (_stopped)
        return false;
    ActorAnimator* animator = _item->getAnimator();
    if (_started && animator && animator->isPlaying())
        return true;
    _started = true;
    if (ConductorContainer* conductors = _item->getConductors())
        if (!_conductor.empty())
            conductors->start(_conductor, 0, -1.0f);
    return _waitForEnd;
}

bool MenuSurpriseExt::JobWait::update(float dt) {
    _countdown.tick(dt);
    return _countdown.isRunning();
}

bool MenuSurpriseExt::JobSelectPop::update(float) {
    if (_menu)
        _menu->goBack(false);
    return false;
}

// ---- The extension ----

bool MenuSurpriseExt::isGiftGoods(const std::string& goods) {
    return goods == "coins" || goods == "tickets" || goods == "battery";
}

MenuSurpriseExt::MenuSurpriseExt(const std::string& name, Menu* menu, Panel* panel) : MenuExtension(name) {
    _panel = panel;
    _menu = menu;
    ConfigStore& cfg = ConfigStore::instance();
    _starsAngularVelocity = cfg.getFloat(name + ".starsAngularVelocity", -1.0f) * kDegrees;
    _rayAngularVelocity = cfg.getFloat(name + ".rayAngularVelocity", 2.0f) * kDegrees;
    if (!panel)
        return;
    _stars = turningNode(panel, "stars");
    _ray = turningNode(panel, "ray");
    loadGifts();

    PanelItem* box = panel->findItem("box");
    _jobs.push_back(new JobConductor(box, "wait", true, false));
    _jobs.push_back(new JobConductor(box, "open", false, false));
    _jobs.push_back(new JobVisible(panel->findItem("message"), true));
    _jobs.push_back(new JobConductor(box, "", false, true));
    _jobs.push_back(new JobWait(2.0f));
    _jobs.push_back(new JobSelectPop(menu));
    _jobIndex = _jobs.size();
}

MenuSurpriseExt::~MenuSurpriseExt() {
    for (Job* job : _jobs)
        delete job;
}

void MenuSurpriseExt::loadGifts() {
    PanelItem* box = _panel->findItem("box");
    if (!box)
        return;
    ConfigStore& cfg = ConfigStore::instance();
    for (const std::string& entry : cfg.getList(_name + ".randomGifts")) {
        Gift gift;
        gift.node = box->findNode(cfg.getString(entry + ".node", ""));
        if (!gift.node)
            continue;
        gift.goods = cfg.getString(entry + ".goods", "");
        // Any other counter is cleared with the run before anything moves it into the totals,
        // so the player would be shown a gift that never arrives.
        if (!isGiftGoods(gift.goods)) {
            Logger::error("surprise box: gift \"%s\" names the goods \"%s\", which no run keeps; it is left out",
                          entry.c_str(), gift.goods.c_str());
            continue;
        }
        gift.targetNode = box->findNode(cfg.getString(entry + ".nodeTarget", ""));
        gift.textName = cfg.getString(entry + ".textName", "");
        gift.addNum = cfg.getFloat(entry + ".addNum", 1.0f);
        const float chance = cfg.getFloat(entry + ".acChance", 1.0f);
        gift.acChance = chance > 0.0f ? chance : 0.0f;
        setObjectActive(gift.node, false);
        _gifts.push_back(gift);
    }
}

int32_t MenuSurpriseExt::drawGift() const {
    if (_gifts.empty())
        return -1;
    double total = 0;
    for (const Gift& gift : _gifts)
        total += gift.acChance;
    double x = total * motherRandom().nextDouble();
    for (size_t i = 0; i < _gifts.size(); ++i) {
        x -= _gifts[i].acChance;
        if (!(x > 0.0))
            return (int32_t)i;
    }
    // Rounding left a little over after the last subtraction: the draw belongs to the last gift
    // that can be drawn at all.
    for (size_t i = _gifts.size(); i-- > 0;)
        if (_gifts[i].acChance > 0.0f)
            return (int32_t)i;
    return 0;
}

void MenuSurpriseExt::onShow(bool back) {
    _jobIndex = 0;
    _starsAngle = _rayAngle = 0;
    for (Job* job : _jobs)
        job->begin();
    if (!_panel)
        return;
    _panel->showItem("button", 1);

    for (const Gift& gift : _gifts)
        setObjectActive(gift.node, false);
    // Returning to the box (a message over it) shows the gift already credited, not a second one.
    const bool again = back && _drawn >= 0;
    if (!again)
        _drawn = drawGift();
    if (_drawn < 0)
        return;
    const Gift& gift = _gifts[(size_t)_drawn];
    setObjectActive(gift.node, true);
    TextContainer* texts = TextContainer::get();
    const std::string name = texts ? texts->translate(gift.textName.c_str()) : gift.textName;
    _panel->setItemText("message", 0, name);
    if (again)
        return;
    Stage* stage = Stage::get();
    if (ActorPlayer* train = stage ? stage->getPlayer() : nullptr) {
        GoodsCounter& counter = train->_goods.get(gift.goods);
        counter._amount += counter._multiplier * gift.addNum;
    }
}

void MenuSurpriseExt::onHide(bool) {
    if (_panel)
        _panel->showItem("message", 0);
    _jobIndex = _jobs.size();
}

void MenuSurpriseExt::update(float dt) {
    if (_jobIndex < _jobs.size() && !_jobs[_jobIndex]->update(dt))
        ++_jobIndex;
    if (_stars) {
        _starsAngle += _starsAngularVelocity * dt;
        turn(_stars, _starsAngle);
    }
    if (_ray) {
        _rayAngle += _rayAngularVelocity * dt;
        turn(_ray, _rayAngle);
    }
}

void MenuSurpriseExt::onHidden() {
    if (!_menu || !_menu->getPanelContainer())
        return;
    if (PSParticleSystem* particles = _menu->getPanelContainer()->getParticleSystem())
        particles->removeAllEmitters();
}

void MenuSurpriseExt::open() {
    if (_panel)
        _panel->showItem("button", 0);
    if (!_jobs.empty())
        _jobs.front()->finish();
}

}  // namespace Zelvan
