#include "game/menu/ZelvanMenuCreditsExt.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/ConfigStore.h"
#include "engine/ui/UIObject.h"
#include "engine/utils.h"
#include "engine_game/Camera.h"
#include "engine_game/Object.h"
#include "engine_game/Transform.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelItem.h"

namespace Zelvan {

namespace {
const char* const kSource = "source/game/menu/ZelvanMenuCreditsExt.cpp";
}

const char* const MenuCreditsExt::kCreditsText =
    "ZELVAN\n"
    "rails without end\n"
    "\n"
    "GAME DESIGN\n"
    "Mira Okonkwo\n"
    "Tobias Lindqvist\n"
    "\n"
    "PROGRAMMING\n"
    "Ana Ferreira\n"
    "Jonas Weber\n"
    "Kenji Mori\n"
    "Priya Raman\n"
    "\n"
    "ENGINE\n"
    "Lukas Brandt\n"
    "Sofia Marchetti\n"
    "\n"
    "ART DIRECTION\n"
    "Elena Petrova\n"
    "\n"
    "CHARACTERS AND TRAINS\n"
    "Omar Haddad\n"
    "Lea Fontaine\n"
    "Nils Eriksen\n"
    "\n"
    "LEVELS\n"
    "Carla Duarte\n"
    "Ivan Novak\n"
    "Hana Sato\n"
    "\n"
    "INTERFACE\n"
    "Maya Cohen\n"
    "Pavel Horak\n"
    "\n"
    "MUSIC\n"
    "Aurelio Conti\n"
    "\n"
    "SOUND EFFECTS\n"
    "Freya Holm\n"
    "Daniel Kowalski\n"
    "\n"
    "PRODUCTION\n"
    "Grace Adeyemi\n"
    "Martin Vogel\n"
    "\n"
    "QUALITY ASSURANCE\n"
    "Rosa Jimenez\n"
    "Felix Bauer\n"
    "Amira Nasser\n"
    "Theo Laurent\n"
    "\n"
    "LOCALISATION\n"
    "Ingrid Dahl\n"
    "Marco Rossi\n"
    "\n"
    "COMMUNITY\n"
    "Yuki Tanaka\n"
    "\n"
    "SPECIAL THANKS\n"
    "Our families\n"
    "Every player who rode the rails\n"
    "The night-shift coffee machine\n"
    "\n"
    "Made with care\n"
    "100%% on rails\n"
    "\n"
    "Thank you for playing!";

MenuCreditsExt* MenuCreditsExt::create(const std::string& name, Panel* panel) {
    return panel ? new MenuCreditsExt(name, panel) : nullptr;
}

MenuCreditsExt::MenuCreditsExt(const std::string& name, Panel* panel) : MenuExtension(name), _panel(panel) {
    const ConfigStore& cfg = ConfigStore::instance();
    _velocityDefault = cfg.getFloat(_name + ".velocityDefault", _velocityDefault);
    _velocityMax = std::fabs(cfg.getFloat(_name + ".velocityMax", _velocityMax));
    const float damp = cfg.getFloat(_name + ".velocityDamp", _velocityDamp);
    // A value that is not a number becomes 0.
    _velocityDamp = damp > 0.0f ? std::min(damp, 1.0f) : 0.0f;
    _objectUp = findMarker(".objectUp");
    _objectDown = findMarker(".objectDown");
}

Object* MenuCreditsExt::findMarker(const char* key) {
    const std::string name = ConfigStore::instance().getString(_name + key, "");
    Object* node = _panel ? _panel->findNode(name) : nullptr;
    if (!node) {
        Logger::error("%s%s (%s) not found!", _name.c_str(), key, name.c_str());
        XAssert(0, "false", kSource, __LINE__);
    }
    return node;
}

Object* MenuCreditsExt::scrollNode() const {
    PanelItem* item = _panel ? _panel->findItem("scroll") : nullptr;
    return item ? item->getNode() : nullptr;
}

Vector3 MenuCreditsExt::worldPoint(const Vector3& point) const {
    Vector3 p(point.x, 1.0f - point.y, point.z);
    Camera* camera = _panel && _panel->getWorld() ? _panel->getWorld()->getCamera() : nullptr;
    if (camera)
        camera->unproject(p);
    return p;
}

void MenuCreditsExt::onShow(bool) {
    _dragging = _moved = false;
    _velocity = _velocityDefault;
    _measured = false;
    _firstShown = _lastShown = -1;
    if (!_panel)
        return;
    _panel->setItemText("scroll", 0, kCreditsText);
    Object* node = scrollNode();
    if (!node || !_objectDown)
        return;
    // The text starts at the lower marker's height, where it is and as it is turned.
    const Matrix4& world = node->_transform->_world;
    Vector3 rows[3];
    for (int i = 0; i < 3; ++i)
        rows[i] = world.row3(i);
    Vector3 position = world.getTranslation();
    position.z = _objectDown->_transform->_world.getTranslation().z;
    node->_transform->setWorld(rows, position);
    node->updateTransform();
    // The whole text's extent, measured once: the lines outside the window are left out from now
    // on, so the shown text no longer spans it.
    Vector3 low, high;
    if (getObjectBounds(node, false, low, high)) {
        const float z = node->_transform->_world.getTranslation().z;
        _above = high.z - z;
        _below = low.z - z;
        _measured = true;
    }
    showWindow();
}

bool MenuCreditsExt::textExtent(float& bottom, float& top) const {
    Object* node = scrollNode();
    if (!node || !_measured)
        return false;
    const float z = node->_transform->_world.getTranslation().z;
    bottom = z + _below;
    top = z + _above;
    return true;
}

void MenuCreditsExt::showWindow() {
    float bottom = 0, top = 0;
    if (!_objectUp || !_objectDown || !textExtent(bottom, top))
        return;
    const std::string text(kCreditsText);
    std::vector<std::string> lines;
    for (size_t at = 0;;) {
        const size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    const int count = (int)lines.size();
    const float lineHeight = (top - bottom) / (float)count;
    if (!(lineHeight > 0))
        return;
    // Only lines wholly between the markers are shown: the text drawn over the page would pass
    // over the title and the button otherwise.
    const float up = _objectUp->_transform->_world.getTranslation().z;
    const float down = _objectDown->_transform->_world.getTranslation().z;
    const int first = std::max(0, (int)std::ceil((top - up) / lineHeight - 1e-3f));
    const int last = std::min(count - 1, (int)std::floor((top - down) / lineHeight + 1e-3f) - 1);
    if (first == _firstShown && last == _lastShown)
        return;
    _firstShown = first;
    _lastShown = last;
    std::string shown;
    for (int i = 0; i < count; ++i) {
        if (i)
            shown += '\n';
        if (i >= first && i <= last)
            shown += lines[(size_t)i];
    }
    _panel->setItemText("scroll", 0, shown);
}

bool MenuCreditsExt::touchBegan(int32_t, const Vector3& point) {
    _dragging = true;
    _moved = false;
    _drag = Vector3();
    _lastPoint = worldPoint(point);
    return true;
}

bool MenuCreditsExt::touchMoved(int32_t, const Vector3& point) {
    if (!_dragging)
        return false;
    _moved = true;
    const Vector3 p = worldPoint(point);
    _drag += p - _lastPoint;
    _lastPoint = p;
    return true;
}

bool MenuCreditsExt::touchEnded(int32_t, const Vector3&) {
    const bool was = _dragging;
    _dragging = _moved = false;
    return was;
}

void MenuCreditsExt::update(float dt) {
    float step;
    if (_moved) {
        // The text follows the finger exactly; the speed it leaves behind is bounded.
        const float velocity = dt != 0 ? _drag.z / dt : 0.0f;
        _velocity = std::max(-_velocityMax, std::min(_velocityMax, velocity));
        step = _drag.z;
        _drag = Vector3();
    } else {
        _velocity += (1.0f - std::pow(_velocityDamp, dt)) * (_velocityDefault - _velocity);
        step = _velocity * dt;
    }
    Object* node = scrollNode();
    if (!node)
        return;
    node->setPosition(node->getPosition() + Vector3(0, 0, step));
    node->updateTransform();
    float low = 0, high = 0;
    if (!_objectUp || !_objectDown || !textExtent(low, high))
        return;
    const float up = _objectUp->_transform->_world.getTranslation().z;
    const float down = _objectDown->_transform->_world.getTranslation().z;
    const float span = (up - down) + (high - low);
    if (up <= low)
        node->setPosition(node->getPosition() - Vector3(0, 0, span));
    else if (high <= down)
        node->setPosition(node->getPosition() + Vector3(0, 0, span));
    node->updateTransform();
    showWindow();
}

}  // namespace Zelvan
