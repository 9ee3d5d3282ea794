#include "game/menu/ZelvanMenuOptionsExt.h"

#include <algorithm>

#include "engine/utils.h"
#include "game/ZelvanTexts.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelContainer.h"
#include "game/stage/ZelvanStage.h"

namespace Zelvan {

namespace {

float clampVolume(float v) { return std::min(100.0f, std::max(0.0f, v)); }

}  // namespace

MenuOptionsExt* MenuOptionsExt::create(const std::string& name, Menu* menu, Panel* panel) {
    return menu && panel ? new MenuOptionsExt(name, menu, panel) : nullptr;
}

MenuOptionsExt::MenuOptionsExt(const std::string& name, Menu* menu, Panel* panel)
    : MenuExtension(name), _panel(panel), _menu(menu) {}

void MenuOptionsExt::selectControl(int32_t control) {
    _control = control;
    _moved = false;
}

void MenuOptionsExt::showValue(const char* item, const char* captionKey, float value) {
    if (!_panel)
        return;
    TextContainer* texts = TextContainer::get();
    const std::string caption = texts ? texts->translate(captionKey) : std::string(captionKey);
    // The text is a format itself: "%%%%" comes out as "%%" here and as one '%' on screen.
    _panel->setItemText(item, 0, formatString("%s%d%%%%", caption.c_str(), (int)value));
}

void MenuOptionsExt::showMusic(float value) {
    showValue("music", "#text_menu_options_music", value);
    if (Stage* stage = Stage::get())
        stage->setMusicVolume(value * 0.01f);
}

void MenuOptionsExt::showSound(float value) {
    showValue("sound", "#text_menu_options_sound", value);
    if (Stage* stage = Stage::get())
        stage->setSoundVolume(value * 0.01f);
}

void MenuOptionsExt::setMusicOn(bool on) {
    if (on == _musicOn)
        return;
    _musicOn = on;
    showMusic(on ? _musicVolume : 0.0f);
}

void MenuOptionsExt::setMusicVolume(float volume) {
    _musicVolume = volume;
    if (_musicOn)
        showMusic(volume);
}

void MenuOptionsExt::setSoundOn(bool on) {
    if (on == _soundOn)
        return;
    _soundOn = on;
    showSound(on ? _soundVolume : 0.0f);
}

void MenuOptionsExt::setSoundVolume(float volume) {
    _soundVolume = volume;
    if (_soundOn)
        showSound(volume);
}

void MenuOptionsExt::applyVolumes() {
    Stage* stage = Stage::get();
    if (!stage)
        return;
    stage->setMusicVolume(_musicOn ? _musicVolume * 0.01f : 0.0f);
    stage->setSoundVolume(_soundOn ? _soundVolume * 0.01f : 0.0f);
}

// A control chosen by a touch that the panel never finished (it hid under the finger) must not
// drive the next touch, which may begin off the volume buttons.
void MenuOptionsExt::onShow(bool) {
    _control = ControlNone;
    _moved = false;
    if (_menu)
        _menu->showBanner(this);
}

void MenuOptionsExt::onHide(bool) {
    _control = ControlNone;
    _moved = false;
}

void MenuOptionsExt::onHidden() {
    if (_menu)
        _menu->hideBanner(this);
}

bool MenuOptionsExt::touchBegan(int32_t, const Vector3& point) {
    _moved = false;
    _lastPoint = point;
    return _control != ControlNone;
}

bool MenuOptionsExt::touchMoved(int32_t, const Vector3& point) {
    if (_control == ControlNone)
        return false;
    _moved = true;
    const float dx = point.x - _lastPoint.x;
    _lastPoint = point;
    PanelContainer* container = _menu ? _menu->getPanelContainer() : nullptr;
    const float m = container ? container->getScrollMul().x : 100.0f;
    if (_control == ControlSound) {
        _soundOn = true;
        const float old = _soundVolume;
        _soundVolume = clampVolume(_soundVolume + m * dx);
        showSound(_soundVolume);
        if ((int)old != (int)_soundVolume && _panel)
            _panel->playItemAnimation("sound", "change");
    } else if (_control == ControlMusic) {
        _musicOn = true;
        _musicVolume = clampVolume(_musicVolume + m * dx);
        showMusic(_musicVolume);
    }
    return true;
}

bool MenuOptionsExt::touchEnded(int32_t, const Vector3&) {
    const bool selected = _control != ControlNone;
    if (!_moved) {
        // A tap toggles; a volume below one point turns the control back on at full volume.
        if (_control == ControlSound) {
            if (_soundVolume >= 1.0f) {
                _soundOn = !_soundOn;
                showSound(_soundOn ? _soundVolume : 0.0f);
            } else {
                _soundOn = true;
                _soundVolume = 100.0f;
                showSound(100.0f);
            }
        } else if (_control == ControlMusic) {
            if (_musicVolume >= 1.0f) {
                _musicOn = !_musicOn;
                showMusic(_musicOn ? _musicVolume : 0.0f);
            } else {
                _musicOn = true;
                _musicVolume = 100.0f;
                showMusic(100.0f);
            }
        }
    }
    _control = ControlNone;
    _moved = false;
    return selected;
}

}  // namespace Zelvan
