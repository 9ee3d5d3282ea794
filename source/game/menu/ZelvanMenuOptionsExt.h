#pragma once
// The options screen: the music and sound switches and volumes (percent), shown in the captions
// of the items "music" and "sound" and passed to the stage. A finger that goes down on the music
// or sound button selects that control (the button's down event calls selectControl); dragging it
// sideways sets the volume (a drag across the whole screen width changes it by the container's
// first drag multiplier, 100 by default) and switches it on, a tap toggles it. The four values
// live as long as the extension; the loader and the profile restore them through the setters.

#include <cstdint>
#include <string>

#include "game/menu/ZelvanMenuExtension.h"

class Panel;

namespace Zelvan {

class Menu;

class MenuOptionsExt : public MenuExtension {
public:
    enum Control { ControlNone = 0, ControlMusic = 1, ControlSound = 2 };

    // Null without a menu or panel.
    static MenuOptionsExt* create(const std::string& name, Menu* menu, Panel* panel);
    MenuOptionsExt(const std::string& name, Menu* menu, Panel* panel);

    // The control the current touch drives (ControlMusic or ControlSound).
    void selectControl(int32_t control);
    // The caption with the value as a whole percentage, and the stage's volume (value / 100).
    void showMusic(float value);
    void showSound(float value);
    void setMusicOn(bool on);
    void setMusicVolume(float volume);
    void setSoundOn(bool on);
    void setSoundVolume(float volume);
    // The stage's volumes from the four values (after an advertisement or a video); the captions
    // stay.
    void applyVolumes();

    void onShow(bool back) override;
    void onHide(bool forward) override;
    void onHidden() override;
    bool acceptsTouchOverView() override { return true; }
    bool touchBegan(int32_t finger, const Vector3& point) override;
    bool touchMoved(int32_t finger, const Vector3& point) override;
    bool touchEnded(int32_t finger, const Vector3& point) override;

    bool isMusicOn() const { return _musicOn; }
    float getMusicVolume() const { return _musicVolume; }
    bool isSoundOn() const { return _soundOn; }
    float getSoundVolume() const { return _soundVolume; }
    int32_t getControl() const { return _control; }

    Panel* _panel = nullptr;
    Menu* _menu = nullptr;
    bool _musicOn = true;
    float _musicVolume = 100.0f;
    bool _soundOn = true;
    float _soundVolume = 100.0f;
    int32_t _control = ControlNone;
    bool _moved = false;
    Vector3 _lastPoint;

private:
    void showValue(const char* item, const char* captionKey, float value);
};

}  // namespace Zelvan
