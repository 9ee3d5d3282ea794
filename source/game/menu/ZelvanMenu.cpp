// The menu controller: construction and loading, the panel queue and back history, the message
// box, progress bars, the run flow and the per-frame update.

#include "game/menu/ZelvanMenu.h"

#include <algorithm>
#include <cstdio>

#include "engine/ConfigStore.h"
#include "engine/platform.h"
#include "engine/render/RenderTarget.h"
#include "engine/utils.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"
#include "game/ZelvanTexts.h"
#include "game/actors/ZelvanActor.h"
#include "game/actors/ZelvanActorMenu.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/menu/ZelvanMenuCreditsExt.h"
#include "game/menu/ZelvanMenuHudExt.h"
#include "game/menu/ZelvanMenuLoaderExt.h"
#include "game/menu/ZelvanMenuMainExt.h"
#include "game/menu/ZelvanMenuMapExt02.h"
#include "game/menu/ZelvanMenuMissionExt.h"
#include "game/menu/ZelvanMenuOptionsExt.h"
#include "game/menu/ZelvanMenuPauseExt.h"
#include "game/menu/ZelvanMenuResultsExt.h"
#include "game/menu/ZelvanMenuReviveExt.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/menu/ZelvanMenuSurpriseExt.h"
#include "engine/online/SocialPlatform.h"
#include "game/menu/ZelvanMenuTutorialExt.h"
#include "game/menu/ZelvanMenuWorldExt.h"
#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelContainer.h"
#include "game/menu/ZelvanPanelItem.h"
#include "game/stage/ZelvanControl.h"
#include "game/stage/ZelvanStage.h"
#include "game/stage/ZelvanStageCamera.h"
#include "game/track/ZelvanLevelSet.h"

namespace Zelvan {

namespace {

std::string translated(const char* key) {
    TextContainer* texts = TextContainer::get();
    return texts ? texts->translate(key) : std::string(key);
}

}  // namespace

// ---- Construction ----

Menu* Menu::create() {
    Menu* menu = new Menu();
    menu->init();
    return menu;
}

Menu::Menu() {}

void Menu::init() {
    // 1. The events, in the order pages expect them.
#define ZELVAN_MENU_EVENT_ADD(event) events.push_back(&_##event);
    ZELVAN_MENU_EVENTS(ZELVAN_MENU_EVENT_ADD)
#undef ZELVAN_MENU_EVENT_ADD

    // 2.
    loadConfig("menu");

    // 3.
    _menuWorld = new World(0);
    _menuWorld->_defaultFactory = &ActorMenu::create;

    // 4.
    _panelContainer = PanelContainer::create(this, "menu");

    // 5. The menu world draws over the interface only while the shop, map or results show it.
    if (_panelContainer) {
        if (RenderTarget* target = _menuWorld->_renderTarget) {
            target->_name = "shop";
            target->_external = 1;
            target->_flags = 11;
            target->_clearOnBegin = 0;
            target->_clearMask = 0;
            target->_sortType = 4;
            target->_disabled = 1;
        }
        _particleEvent._menu = this;
        _particles = _menuWorld->createParticleSystem("particles");
        if (_particles)
            _particles->_eventHandler = &_particleEvent;
    } else {
        delete _menuWorld;
        _menuWorld = nullptr;
    }

    // 6.
    StoreManager::instance().addHandler(this, 0);
}

Menu::~Menu() {
    if (_particles && _menuWorld)
        _menuWorld->destroyParticleSystem(_particles);
    _particles = nullptr;

    delete _loaderExt;
    _loaderExt = nullptr;
    delete _worldExt;
    _worldExt = nullptr;
    delete _tutorialExt;
    _tutorialExt = nullptr;
    delete _mainExt;
    _mainExt = nullptr;
    delete _optionsExt;
    _optionsExt = nullptr;
    delete _creditsExt;
    _creditsExt = nullptr;
    delete _shopExt;
    _shopExt = nullptr;
    delete _mapExt;
    _mapExt = nullptr;
    delete _missionExt;
    _missionExt = nullptr;
    delete _hudExt;
    _hudExt = nullptr;
    delete _reviveExt;
    _reviveExt = nullptr;
    delete _surpriseExt;
    _surpriseExt = nullptr;
    delete _resultsExt;
    _resultsExt = nullptr;
    delete _pauseExt;
    _pauseExt = nullptr;

    delete _panelContainer;
    _panelContainer = nullptr;
    delete _menuWorld;
    _menuWorld = nullptr;

    StoreManager::instance().removeHandler(this);
    _history.clear();
    _panelQueue.clear();
}

void Menu::loadConfig(const std::string& prefix) {
    ConfigStore& cfg = ConfigStore::instance();
    _cameraName = cfg.getString(prefix + ".cameraName", _cameraName.c_str());
    _musicFile = cfg.getString(prefix + ".musicFile", _musicFile.c_str());
    const float rate = cfg.getFloat(prefix + ".rateGameNum", (float)_rateGameNum);
    _rateGameNum = rate > 1.0f ? (int32_t)rate : 1;
    Vector4* colours[3] = {&_progressColour1, &_progressColour2, &_progressColour3};
    for (int i = 0; i < 3; ++i) {
        std::string current;
        Vector4ToString(current, *colours[i]);
        char key[32];
        std::snprintf(key, sizeof key, ".progressbarColor%d", i + 1);
        // A text of fewer than four numbers keeps the current value of the missing components.
        Vector4FromString(*colours[i], cfg.getString(prefix + key, current.c_str()));
    }
}

void Menu::loadTitle() {
    if (!_panelContainer)
        return;
    _panelContainer->load("title");
    if (Panel* panel = _panelContainer->findPanel("loading")) {
        _loaderExt = new MenuLoaderExt("menu_loader_extension", panel);
        panel->addExtension(_loaderExt);
    }
}

void Menu::loadPanels() {
    if (!_panelContainer)
        return;
    _panelContainer->load("menu");
    if (Panel* message = _panelContainer->findPanel("message"))
        if (PanelItem* text = message->findItem("message_text"))
            text->setText(-1, "");

    PanelContainer* c = _panelContainer;
    Stage* stage = Stage::get();
    World* stageWorld = stage ? stage->getWorld() : nullptr;
    if (Panel* panel = c->findPanel("pause")) {
        _pauseExt = new MenuPauseExt("menu_pause_extension", panel);
        panel->addExtension(_pauseExt);
    }
    if (Panel* panel = c->findPanel("results")) {
        _resultsExt = new MenuResultsExt("menu_results_extension", this, panel, _menuWorld, _particles);
        panel->addExtension(_resultsExt);
    }
    if (Panel* panel = c->findPanel("hud")) {
        _hudExt = new MenuHudExt("menu_hud_extension", this, panel);
        panel->addExtension(_hudExt);
    }
    if (Panel* panel = c->findPanel("revive")) {
        _reviveExt = new MenuReviveExt("menu_revive_extension", this, panel);
        panel->addExtension(_reviveExt);
    }
    if (Panel* panel = c->findPanel("surprise")) {
        _surpriseExt = new MenuSurpriseExt("menu_surprise_extension", this, panel);
        panel->addExtension(_surpriseExt);
    }
    _worldExt = new MenuWorldExt("menu_world_extension");
    if (Panel* panel = c->findPanel("mission")) {
        _missionExt = new MenuMissionExt("menu_mission_extension", this, panel, stageWorld, nullptr);
        panel->addExtension(_missionExt);
        panel->addExtension(_worldExt);
    }
    if (Panel* panel = c->findPanel("map")) {
        _mapExt = new MenuMapExt02("menu_map_extension02", this, panel, _menuWorld, _particles);
        panel->addExtension(_mapExt);
        panel->addExtension(_worldExt);
    }
    if (Panel* panel = c->findPanel("credits")) {
        _creditsExt = new MenuCreditsExt("menu_credits_extension", panel);
        panel->addExtension(_creditsExt);
        panel->addExtension(_worldExt);
    }
    if (Panel* panel = c->findPanel("shop")) {
        _shopExt = new MenuShopExt("menu_shop_extension", panel, _menuWorld, _particles);
        panel->addExtension(_shopExt);
        panel->addExtension(_worldExt);
    }
    if (Panel* panel = c->findPanel("options")) {
        _optionsExt = new MenuOptionsExt("menu_options_extension", this, panel);
        panel->addExtension(_optionsExt);
        panel->addExtension(_worldExt);
    }
    if (Panel* panel = c->findPanel("main")) {
        _mainExt = new MenuMainExt("menu_main_extension", this, panel, _worldExt);
        panel->addExtension(_mainExt);
        panel->addExtension(_worldExt);
    }
    if (Panel* panel = c->findPanel("tutorial")) {
        _tutorialExt = new MenuTutorialExt("menu_tutorial_extension", this, panel, _worldExt);
        panel->addExtension(_tutorialExt);
        panel->addExtension(_worldExt);
    }
}

float Menu::getTextScale() const {
    return _panelContainer ? _panelContainer->_textScale : 0.3f;
}

// ---- Panels ----

void Menu::resetInputEdges() {
    if (Stage* stage = Stage::get())
        if (Control* control = stage->getControl())
            control->beginFrame();
}

void Menu::presentPanel(const PanelEntry& entry) {
    resetInputEdges();
    entry.panel->show(entry.back);
    // The program's summary and screenshots follow the screens a player sees.
    const std::string& name = entry.panel->_name;
    std::vector<std::string>& visited = runReport().screensVisited;
    if (std::find(visited.begin(), visited.end(), name) == visited.end())
        visited.push_back(name);
    runReport().screenShown = name;
    requestScreenshot(name.c_str());
}

bool Menu::showPanel(const std::string& name, bool back) {
    if (!_panelContainer)
        return false;
    Panel* panel = _panelContainer->findPanel(name);
    if (!panel)
        return false;
    const PanelEntry entry{panel, back};
    const bool now = _panelQueue.empty();
    _panelQueue.push_back(entry);
    if (now)
        presentPanel(entry);
    updateTouchGate();
    return true;
}

bool Menu::goToPanel(const std::string& name, bool back) {
    const bool hadPanel = !_panelQueue.empty();
    const std::string last = hadPanel ? _panelQueue.back().panel->_name : std::string();
    const bool shown = showPanel(name, back);
    if (hadPanel && shown)
        _history.push_back(last);
    return shown;
}

bool Menu::goBack(bool back) {
    if (_history.empty())
        return false;
    const std::string name = _history.back();
    showPanel(name, back);
    _history.pop_back();
    return true;
}

bool Menu::dropHistory() {
    if (_history.empty())
        return false;
    _history.pop_back();
    return true;
}

std::string Menu::currentPanelName() const {
    return _panelQueue.empty() ? std::string() : _panelQueue.front().panel->_name;
}

void Menu::showMessage(int32_t kind, const std::string& caption, const std::string& text, MessageAnswer answer) {
    if (_panelContainer) {
        _panelContainer->setItemVisible("message", "message_ok", kind == MessageOk);
        _panelContainer->setItemVisible("message", "message_yes", kind == MessageYesNo);
        _panelContainer->setItemVisible("message", "message_no", kind == MessageYesNo);
        _panelContainer->setItemText("message", "message_text", 0, caption);
        _panelContainer->setItemText("message", "message_text", 2, text);
    }
    _messageAnswer = answer;
    goToPanel("message", false);
}

void Menu::answerMessage(int32_t answer) {
    MessageAnswer call;
    call.swap(_messageAnswer);
    if (call)
        call(this, answer);
}

void Menu::closeMessage(int32_t) { goBack(true); }

Vector4 Menu::progressColour(float colourValue) const {
    const float t = colourValue > 100.0f ? 2.0f : std::max(colourValue, 0.0f) * 0.02f;
    const Vector4& a = t < 1.0f ? _progressColour1 : _progressColour2;
    const Vector4& b = t < 1.0f ? _progressColour2 : _progressColour3;
    const float f = t < 1.0f ? t : t - 1.0f;
    return Vector4(a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.z + (b.z - a.z) * f, a.w + (b.w - a.w) * f);
}

void Menu::setProgressBar(Panel* panel, const std::string& itemName, float fill, float colourValue) {
    PanelItem* item = panel ? panel->findItem(itemName) : nullptr;
    Object* node = item ? item->findNode("progressbar") : nullptr;
    if (!node)
        return;
    const float intensity = fill > 100.0f ? 1.0f : std::max(fill, 0.0f) * 0.01f;
    setMeshUniformFloat(node, nullptr, "progressbarIntensity", intensity);
    setMeshUniformVector4(node, nullptr, "meshColor", progressColour(colourValue));
}

// ---- Per frame ----

void Menu::updateTouchGate() {
    if (_panelContainer)
        _panelContainer->setChangePending(isChangePending());
}

void Menu::touchBegan(int32_t finger, const Vector3& point) {
    if (_panelContainer)
        _panelContainer->touchBegan(finger, point);
}

void Menu::touchMoved(int32_t finger, const Vector3& point) {
    if (_panelContainer)
        _panelContainer->touchMoved(finger, point);
}

void Menu::touchEnded(int32_t finger, const Vector3& point) {
    if (_panelContainer)
        _panelContainer->touchEnded(finger, point);
}

namespace {

// A panel that has no automatic item never becomes active; waiting for it would hold the queue
// for good, so it counts as settled.
bool hasSettled(Panel* panel) {
    if (panel->isActive())
        return true;
    for (const PanelItem* item : panel->_items)
        if (item->isAutomatic())
            return false;
    return true;
}

}  // namespace

void Menu::update(float dt) {
    if (!_panelContainer)
        return;
    // 2. The front panel leaves once it has settled.
    if (_panelQueue.size() >= 2 && hasSettled(_panelQueue.front().panel))
        _panelQueue.front().panel->hide(!_panelQueue[1].back);
    // 3.
    _panelContainer->update(dt);
    // 4. Once it is gone, the next one comes: one change a frame.
    if (_panelQueue.size() >= 2 && !_panelQueue.front().panel->isVisible()) {
        _panelQueue.pop_front();
        presentPanel(_panelQueue.front());
        _panelContainer->update(dt);
    }
    updateTouchGate();
    // 5., 6.
    if (_menuWorld && _menuWorld->_renderTarget && !_menuWorld->_renderTarget->_disabled)
        _menuWorld->update();
    if (_particles && _menuWorld && _menuWorld->getCamera()) {
        _particles->update(dt, _menuWorld->getCamera());
        _particles->buildGeometry();
    }
}

void Menu::ParticleEvent::onEmitterReleased(PSEmitter* emitter, PSParticleSystem* system) {
    if (!_menu || system != _menu->_particles || !_menu->_menuWorld)
        return;
    for (Scene* scene : _menu->_menuWorld->_scenes) {
        if (!scene->_shown || !scene->_root)
            continue;
        for (Object* object : scene->_root->_children)
            if (object->_typeId >= TypeActor && static_cast<Actor*>(object)->forgetParticleInstance(emitter, system))
                return;
    }
}

// ---- Run flow ----

void Menu::enterMainMenu() {
    Stage* stage = Stage::get();
    if (stage) {
        stage->resetRun();
        stage->setState(Stage::StateStanding);
        // Entering again (from a run's end or the pause) must not leave the earlier entry behind.
        if (_cameraHandle)
            stage->popCamera(_cameraHandle);
        _cameraHandle = stage->pushCamera(Stage::CameraMenu, stage->findCamera(_cameraName));
        if (_cameraHandle && stage->getStageCamera())
            stage->getStageCamera()->reset();
        stage->setMusicTrack(_musicFile);
    }
    _history.clear();
    if (_tutorialDue) {
        _tutorialDue = false;
        showPanel("tutorial", false);
    } else {
        showPanel("main", false);
    }
}

void Menu::prepareNewRun() {
    if (Stage* stage = Stage::get())
        stage->popCamera(_cameraHandle);
    _cameraHandle = 0;
    _reviveAvailable = true;
    _recordingAvailable = false;
    if (_hudExt) {
        _hudExt->resetRun();
        _hudExt->prepareRecordButton();
        _hudExt->queueMessage(translated("#text_menu_hud_start"));
    }
}

void Menu::startRun() {
    prepareNewRun();
    if (Stage* stage = Stage::get())
        stage->startRun();
    _history.clear();
    showPanel("hud", false);
}

void Menu::restartRun() {
    prepareNewRun();
    if (Stage* stage = Stage::get())
        stage->resetRun();
    _history.clear();
    showPanel("hud", false);
}

void Menu::continueRun() {
    Stage* stage = Stage::get();
    if (stage)
        stage->popCamera(_cameraHandle);
    _cameraHandle = 0;
    _reviveAvailable = false;
    if (_hudExt) {
        _hudExt->resetRun();
        _hudExt->queueMessage(translated("#text_menu_hud_retry"));
    }
    if (stage)
        stage->retryRun();
    _history.clear();
    showPanel("hud", false);
}

void Menu::pauseRun() {
    Stage* stage = Stage::get();
    if (!stage || stage->getState() != Stage::StateRunning)
        return;
    stage->setState(Stage::StatePaused);
    goToPanel("pause", false);
}

void Menu::startTutorial() {
    Stage* stage = Stage::get();
    if (!stage)
        return;
    const std::string name = ConfigStore::instance().getString("level.tutorialLevelSet", "");
    if (!stage->changeLevelGroupSet(name))
        return;
    if (_worldExt)
        _worldExt->clearSpin();
    startRun();
}

void Menu::showRunEnd() {
    Stage* stage = Stage::get();
    ActorPlayer* train = stage ? stage->getPlayer() : nullptr;
    const bool surprises = train && train->_goods.get("surprises")._amount > 0;
    // The screens in the order they come; each leaves with a step back to the next one. A screen
    // whose panel is missing is passed over, so that neither the crash nor a step back leaves the
    // player on nothing.
    std::vector<const char*> screens;
    if (_reviveAvailable)
        screens.push_back("revive");
    if (surprises)
        screens.push_back("surprise");
    screens.push_back("results");
    for (size_t i = 0; i < screens.size();) {
        if (_panelContainer && _panelContainer->findPanel(screens[i])) {
            ++i;
            continue;
        }
        Logger::error("[Menu::showRunEnd] no panel \"%s\"; it is passed over", screens[i]);
        screens.erase(screens.begin() + (std::ptrdiff_t)i);
    }
    // The later screens go into the history only once the first is on its way.
    if (!screens.empty() && goToPanel(screens[0], false))
        for (size_t next = screens.size() - 1; next > 0; --next)
            _history.push_back(screens[next]);
    if (stage)
        stage->setState(Stage::StateStanding);
}

namespace {

// A run counter taken out of the run: half up, nothing for amounts at or below zero, held to what
// a total can take.
int32_t takeRunCount(GoodsCounter& counter) {
    const double amount = (double)counter._amount + 0.5;
    counter._amount = 0;
    if (!(amount > 0))
        return 0;
    return amount >= 2147483647.0 ? 2147483647 : (int32_t)amount;
}

int32_t addClamped(int32_t total, int32_t add) {
    const int64_t sum = (int64_t)total + (int64_t)add;
    return sum > 2147483647 ? 2147483647 : (int32_t)sum;
}

}  // namespace

void Menu::collectRunGoods() {
    Stage* stage = Stage::get();
    if (ActorPlayer* train = stage ? stage->getPlayer() : nullptr) {
        const float distance = train->_goods._distance;
        // The bests, then the run's way along the current mission map.
        if (_missionExt)
            _missionExt->addRunDistance(distance);
        train->_goods._distance = 0;
        const int32_t coins = takeRunCount(train->_goods.get("coins"));
        const int32_t tickets = takeRunCount(train->_goods.get("tickets"));
        if (_shopExt) {
            _shopExt->setCoins(addClamped(_shopExt->getCoins(), coins));
            _shopExt->setTickets(addClamped(_shopExt->getTickets(), tickets));
        }
    }
    SocialPlatform::instance().saveProfile();
}

}  // namespace Zelvan
