#include "game/menu/ZelvanMenuHudExt.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "engine/ConfigStore.h"
#include "game/ZelvanTexts.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelItem.h"

namespace Zelvan {

namespace {

const Vector4 kWhite(1, 1, 1, 1);
const Vector4 kCollected(1, 0.5f, 0, 1);
const Vector4 kRecording(1, 0, 0, 1);
const Vector4 kDebugRed(1, 0, 0, 1);
const Vector4 kDebugGrey(0.8f, 0.8f, 0.8f, 1);

// Icon nodes of the item "boost", by slot; slot 0 has none.
const char* const kBoostIcons[6] = {nullptr, "hit", "magnet", "turbo", "fps", "coin2x"};

std::string lowerCase(std::string s) {
    for (char& c : s)
        c = (char)std::tolower((unsigned char)c);
    return s;
}

std::string upperCase(std::string s) {
    for (char& c : s)
        c = (char)std::toupper((unsigned char)c);
    return s;
}

void restart(Countdown& countdown) {
    countdown.stop();
    countdown.start();
}

}  // namespace

MenuHudExt::MenuHudExt(const std::string& name, Menu* menu, Panel* panel) : MenuExtension(name) {
    _panel = panel;
    _menu = menu;
    _boostIcons.setPeriod(1.0f);
    _stargateFade.setDuration(1.0f);
    _messageWait.setDuration(2.0f);
    _messageDelay.setDuration(0.25f);
    _wordWait.setDuration(1.0f);
    loadConfig();
    initItems();
}

void MenuHudExt::loadConfig() {
    const ConfigStore& config = ConfigStore::instance();
    _progressbarSpeed = config.getFloat(_name + ".progressbarSpeed", _progressbarSpeed);
    _brakeFlash = config.getFloat(_name + ".brakeFlash", _brakeFlash);
    _stargateFade.setDuration(std::max(0.0f, config.getFloat(_name + ".stargateFadeTime", 1.0f)));
    _messageWait.setDuration(config.getFloat(_name + ".messageWait", _messageWait._duration));
    _messageDelay.setDuration(config.getFloat(_name + ".messageDelay", _messageDelay._duration));
    _wordWait.setDuration(config.getFloat(_name + ".wordWait", _wordWait._duration));
}

void MenuHudExt::initItems() {
    if (!_panel)
        return;
    _panel->setItemText("message", 0, "");
    _panel->setItemText("coins", 0, "0");
    _panel->setItemText("distance", 0, "0");
    _panel->showItem("boost", 0);
    setBar("energy", _energyShown);
    setBar("battery", _batteryShown);
    _panel->setItemText("debug_log", 0, "debug");
    _panel->setItemTextColor("debug_log", 0, kDebugRed);
    _panel->setItemColor("debug_level", kDebugGrey);
    _panel->setItemColor("debug_levelset", kDebugGrey);
    _panel->setItemText("debug_r", 0, "R");
    _panel->setItemText("debug_l", 0, "L");
    _panel->setItemText("debug_d", 0, "D");
}

void MenuHudExt::setItemShown(const std::string& name, bool shown) {
    PanelItem* item = _panel ? _panel->findItem(name) : nullptr;
    if (!item || item->isWanted() == shown)
        return;
    if (shown)
        item->show();
    else
        item->hide();
}

void MenuHudExt::setBar(const std::string& item, float value) {
    if (_menu && _panel)
        _menu->setProgressBar(_panel, item, value, value);
}

void MenuHudExt::queueTranslated(const char* key) {
    const TextContainer* texts = TextContainer::get();
    queueMessage(texts ? texts->translate(key) : std::string());
}

// ---- Panel notifications ----

void MenuHudExt::onShow(bool /*back*/) {
    _brakeFlashTime = 0;
    _brakeOn = false;
    if (_menu && _menu->_recording)
        _menu->resumeRecording();
}

void MenuHudExt::onHide(bool /*forward*/) {
    setItemShown("everyplay", false);
    setItemShown("message", false);
    setItemShown("word", false);
}

void MenuHudExt::onHidden() {
    if (_menu && _menu->_recording)
        _menu->pauseRecording();
}

void MenuHudExt::update(float dt) {
    if (!_panel)
        return;

    // 1. The brake icon blinks while braking.
    if (_brakeFlashTime >= 0) {
        if (PanelItem* brake = _panel->findItem("brake")) {
            _brakeFlashTime += dt;
            const float phase = std::fmod(_brakeFlashTime, 2.0f * _brakeFlash);
            const bool on = phase > _brakeFlash;
            brake->setNodeVisible("icon", on);
            brake->setNodeVisible("progressbar", on);
        }
    }

    // 2., 3. The bars move towards their targets.
    auto follow = [&](float& shown, float target, const char* item) {
        const float gap = target - shown;
        if (gap == 0)
            return;
        const float next = shown + _progressbarSpeed * dt * gap;
        if (gap > 0)
            shown = std::min(target, std::max(0.0f, next));
        else
            shown = std::min(100.0f, std::max(target, next));
        setBar(item, shown);
    };
    follow(_energyShown, _energyTarget, "energy");
    follow(_batteryShown, _batteryTarget, "battery");

    // 4. The stargate indicator fades with the stargate.
    if (PanelItem* stargate = _panel->findItem("stargate")) {
        _stargateFade.tick(dt);
        const float t = _stargateFade.time();
        const bool visible = (t > 0 && t <= _stargateFade._duration) || _stargateFade._rising;
        if (_stargateVisible.set(visible ? 1 : 0))
            setItemShown("stargate", visible);
        if (visible) {
            const float r = _stargateFade.ratio();
            stargate->setColor(Vector4(r, r, r, 1));
        }
    }

    // 5. One message at a time: in, messageWait in view, out, messageDelay, the next.
    if (PanelItem* message = _panel->findItem("message")) {
        const int32_t state = message->state();
        if (state == PanelItem::StateHidden) {
            _messageDelay.tick(dt);
            if (!_messageDelay.isRunning() && !_messages.empty()) {
                message->setText(0, _messages.front());
                message->show();
                _messages.pop_front();
                restart(_messageWait);
                restart(_messageDelay);
            }
        } else if (state == PanelItem::StateShown) {
            if (_messageWait.tick(dt) || !_messageWait.isRunning())
                message->hide();
        }
    }

    // 6. The word goes once it has stood for wordWait.
    if (_wordWait.tick(dt))
        setItemShown("word", false);

    // 7. The active boosts take turns on the boost icon.
    const bool changed = _boostIcons.tick(dt);
    const int32_t id = _boostIcons.current();
    if (id != 0 || changed) {
        if (PanelItem* boost = _panel->findItem("boost")) {
            if (changed) {
                setItemShown("boost", id != 0);
                for (int32_t i = 1; i <= 5; ++i)
                    boost->setNodeVisible(kBoostIcons[i], i == id);
            }
            const int32_t slot = (id >= 1 && id <= 5) ? id : 0;
            setBar("boost", _boostValue[slot]);
        }
    }

    // 8. The turbo and fps boosts' screen effects, shown and hidden as the boosts come and go.
    setItemShown("movie01", _boostValue[3] != 0);
    setItemShown("movie02", _boostValue[3] != 0);
    setItemShown("fps", _boostValue[4] != 0);
}

// ---- Run ----

void MenuHudExt::resetRun() {
    _energyShown = 0;
    _energyTarget = -1;
    _batteryShown = 0;
    _batteryTarget = -1;
    _stargateFade._rising = 0;
    _stargateFade._time = 0;
    _boostIcons.clear();
    _messageWait.stop();
    _messageDelay.stop();
    _messages.clear();
    _wordWait.stop();
    _word.clear();
    _missing.clear();
    setItemShown("boost", false);
}

void MenuHudExt::prepareRecordButton() {
    if (!_menu || !_menu->isRecordingSupported())
        return;
    _menu->stopRecording();
    setItemShown("everyplay", true);
    if (_panel)
        _panel->setItemColor("everyplay", kWhite);
}

void MenuHudExt::onRecordButton() {
    if (!_menu || !_menu->isRecordingSupported())
        return;
    _menu->startRecording();
    if (_menu->_recording && _panel)
        _panel->setItemColor("everyplay", kRecording);
}

// ---- Figures ----

void MenuHudExt::setCoins(int32_t coins) {
    if (coins == _coinsShown || !_panel)
        return;
    _coinsShown = coins;
    char text[16];
    std::snprintf(text, sizeof text, "%d", (int)coins);
    _panel->setItemText("coins", 0, text);
}

void MenuHudExt::setDistance(int32_t distance) {
    if (distance == _distanceShown || !_panel)
        return;
    _distanceShown = distance;
    char text[16];
    std::snprintf(text, sizeof text, "%d", (int)distance);
    _panel->setItemText("distance", 0, text);
}

void MenuHudExt::setEnergy(float percent) { _energyTarget = percent; }

void MenuHudExt::setBattery(float battery) { _batteryTarget = battery; }

void MenuHudExt::setBrake(float time, float charge) {
    if (!(time > 0)) {
        if (_brakeFlashTime >= 0) {
            if (PanelItem* brake = _panel ? _panel->findItem("brake") : nullptr) {
                brake->setNodeVisible("icon", true);
                brake->setNodeVisible("progressbar", true);
            }
        }
        _brakeFlashTime = -1;
    }
    const bool on = time + charge > 0;
    if (_brakeOn != on) {
        _brakeOn = on;
        _brakeFlashTime = time > 0 ? 0.0f : -1.0f;
    }
    if (!_menu || !_panel)
        return;
    if (time > 0)
        _menu->setProgressBar(_panel, "brake", time, time);
    else
        _menu->setProgressBar(_panel, "brake", 100.0f - charge, charge > 0 ? 0.0f : 100.0f);
}

void MenuHudExt::setBoostTime(int32_t id, float value) {
    float& old = _boostValue[id];
    if (value == old)
        return;
    if (old > 0 && !(value > 0))
        _boostIcons.remove(id);
    else if (!(old > 0) && value > 0)
        _boostIcons.add(id);
    old = value;
}

void MenuHudExt::setBoostTime1(float percent) { setBoostTime(1, percent); }
void MenuHudExt::setBoostTime2(float percent) { setBoostTime(2, percent); }
void MenuHudExt::setBoostTime3(float percent) { setBoostTime(3, percent); }
void MenuHudExt::setBoostTime4(float percent) { setBoostTime(4, percent); }
void MenuHudExt::setBoostTime5(float percent) { setBoostTime(5, percent); }

void MenuHudExt::setStargateActive(bool active) { _stargateFade._rising = active ? 1 : 0; }

std::string MenuHudExt::collectedLetters(const std::string& word, const std::string& missing) {
    std::string rest = lowerCase(missing);
    std::string collected;
    for (char c : word) {
        const size_t at = rest.find((char)std::tolower((unsigned char)c));
        if (at != std::string::npos)
            rest.erase(at, 1);
        else
            collected.push_back(c);
    }
    return collected;
}

void MenuHudExt::setWord(const std::string& word, const std::string& missing) {
    // A new word can come with the same missing letters as the last one (none, say): the word
    // counts as a change too.
    if (word == _word && missing == _missing)
        return;
    _word = word;
    _missing = missing;
    PanelItem* item = _panel ? _panel->findItem("word") : nullptr;
    if (!item)
        return;
    const std::string lower = lowerCase(word);
    const std::string upper = upperCase(word);
    std::string rest = lowerCase(collectedLetters(word, missing));
    const size_t places = item->getNamedNodes().size();
    const size_t count = std::min(word.size(), places);
    for (size_t i = 0; i < count; ++i) {
        const size_t at = rest.find(lower[i]);
        if (at != std::string::npos) {
            rest.erase(at, 1);
            item->setNodeColor((int32_t)i, kCollected);
        } else {
            item->setNodeColor((int32_t)i, kWhite);
        }
        item->setText((int32_t)i, PanelItem::literalText(std::string(1, upper[i])));
        item->setNodeVisible((int32_t)i, true);
    }
    for (size_t i = count; i < places; ++i)
        item->setNodeVisible((int32_t)i, false);
    setItemShown("word", true);
    restart(_wordWait);
}

// ---- Messages ----

void MenuHudExt::queueMessage(const std::string& text) {
    if (!text.empty())
        _messages.push_back(text);
}

void MenuHudExt::showStargateActivated() {
    queueTranslated("#text_menu_hud_stargateactivated");
    if (_panel)
        _panel->playItemAnimation("message", "stargateactivated");
}

void MenuHudExt::showStargateEnter() {
    if (_panel)
        _panel->playItemAnimation("message", "stargateenter");
}

void MenuHudExt::onNewWord() {}

void MenuHudExt::showWordCompleted() {
    queueTranslated("#text_menu_hud_completedword");
    if (_panel)
        _panel->playItemAnimation("message", "wordcompleted");
}

void MenuHudExt::showNewRecord() { queueTranslated("#text_menu_hud_newrecord"); }

void MenuHudExt::showPlayerDeath() {
    _messageWait.stop();
    _messages.clear();
    queueTranslated("#text_menu_player_death");
}

// ---- Debug ----

void MenuHudExt::setDebugVisible(bool visible) {
    if (visible == _debugVisible)
        return;
    _debugVisible = visible;
    for (const char* name : {"debug_log", "debug_levelset", "debug_level", "debug_r", "debug_d"})
        setItemShown(name, visible);
}

void MenuHudExt::setDebugLog(int32_t line, const std::string& text) {
    if (text == _debugLog)
        return;
    _debugLog = text;
    if (_panel)
        _panel->setItemText("debug_log", line, PanelItem::literalText(text));
}

void MenuHudExt::setDebugLevelSet(const std::string& name) {
    if (name == _debugLevelSet)
        return;
    _debugLevelSet = name;
    if (_panel)
        _panel->setItemText("debug_levelset", 0, PanelItem::literalText(name));
}

void MenuHudExt::setDebugLevel(const std::string& name) {
    if (name == _debugLevel)
        return;
    _debugLevel = name;
    if (_panel)
        _panel->setItemText("debug_level", 0, PanelItem::literalText(name));
}

}  // namespace Zelvan
