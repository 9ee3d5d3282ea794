#include "support_menu.h"

#include "engine/ConfigStore.h"
#include "engine/IGame.h"
#include "engine/clock.h"
#include "engine/font/TextFont.h"
#include "engine/render/ResourceManager.h"
#include "engine_game/Camera.h"
#include "engine_game/Object.h"
#include "engine_game/Transform.h"
#include "engine/bounds.h"
#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelContainer.h"
#include "game/menu/ZelvanPanelItem.h"
#include "PanelFixtures.h"

namespace menutest {

namespace {

const char* const kEventNames[] = {"onStart", "onStartDown", "onOrphan", "onPlay", "onShop", "onRow"};

}  // namespace

void releaseResources() {
    ResourceManager& rm = ResourceManager::instance();
    for (auto& entry : rm._fonts)
        delete entry.second;
    rm._fonts.clear();
    rm.resetForTests();
}

RecordingHandler::RecordingHandler() {
    for (const char* name : kEventNames) {
        owned.emplace_back(new CountingEvent(name));
        events.push_back(owned.back().get());
    }
}

int RecordingHandler::runs(const std::string& name) const {
    for (const auto& e : owned)
        if (name == e->name)
            return e->runs;
    ADD_FAILURE() << "no event " << name;
    return -1;
}

CountingEvent* RecordingHandler::event(const std::string& name) const {
    for (const auto& e : owned)
        if (name == e->name)
            return e.get();
    return nullptr;
}

void RecordingHandler::clear() {
    for (auto& e : owned)
        e->runs = 0;
}

int RecordingExtension::count(const std::string& call) const {
    int n = 0;
    for (const std::string& c : calls)
        n += c == call ? 1 : 0;
    return n;
}

PanelFixture::PanelFixture() {
    panelfixtures::writeBundle(_dir.path());
    _stores.reset(new testsupport::ScopedStores(_dir.path(), _dir.file("documents")));
    _oldGame = IGame::instance();
    IGame::setInstance(&_screen);
    frameTime().dt = 1.0f / 60.0f;
    ConfigStore::instance().resetForTests();
    ConfigStore::instance().loadFile("configs/panels.txt", "");
}

PanelFixture::~PanelFixture() {
    destroyContainer();
    releaseResources();
    ConfigStore::instance().resetForTests();
    IGame::setInstance(_oldGame);
}

Zelvan::PanelContainer* PanelFixture::container() {
    if (!_container)
        _container = Zelvan::PanelContainer::create(&_handler, "test");
    return _container;
}

Zelvan::PanelContainer* PanelFixture::loadBoth() {
    container()->load("title");
    container()->load("menu");
    return _container;
}

void PanelFixture::destroyContainer() {
    delete _container;
    _container = nullptr;
}

void PanelFixture::frame(int count) {
    for (int i = 0; i < count; ++i)
        container()->update(1.0f / 60.0f);
}

Vector3 PanelFixture::screenOf(const Vector3& world) const {
    Camera* camera = _container->getCamera();
    Vector3 p = world;
    camera->project(p);
    return Vector3(p.x * 0.5f + 0.5f, p.y * 0.5f + 0.5f, 0);
}

Vector3 PanelFixture::fingerAt(Object* node) const {
    EXPECT_NE(node, nullptr);
    if (!node)
        return Vector3();
    Vector3 centre = node->getWorldPosition();
    if (node->_bounds)
        centre = (node->_bounds->_worldMin + node->_bounds->_worldMax) * 0.5f;
    const Vector3 s = screenOf(centre);
    return Vector3(s.x, 1.0f - s.y, 0);
}

Vector3 PanelFixture::fingerAt(const std::string& p, const std::string& n) const { return fingerAt(node(p, n)); }

void PanelFixture::tap(const Vector3& finger) {
    press(finger);
    frame();
    lift(finger);
    frame();
}

void PanelFixture::press(const Vector3& finger) { _container->touchBegan(0, finger); }
void PanelFixture::drag(const Vector3& finger) { _container->touchMoved(0, finger); }
void PanelFixture::lift(const Vector3& finger) { _container->touchEnded(0, finger); }

Panel* PanelFixture::panel(const std::string& name) const {
    Panel* p = _container ? _container->findPanel(name) : nullptr;
    EXPECT_NE(p, nullptr) << name;
    return p;
}

PanelItem* PanelFixture::item(const std::string& p, const std::string& i) const {
    Panel* owner = panel(p);
    PanelItem* found = owner ? owner->findItem(i) : nullptr;
    EXPECT_NE(found, nullptr) << p << "/" << i;
    return found;
}

Object* PanelFixture::node(const std::string& p, const std::string& n) const {
    Panel* owner = panel(p);
    return owner ? owner->findNode(n) : nullptr;
}

void PanelFixture::loadConfig(const std::string& text) {
    const std::string name = "configs/test" + std::to_string(_configCount++) + ".txt";
    writeData(name, text);
    ConfigStore::instance().loadFile(name.c_str(), "");
}

void PanelFixture::writeData(const std::string& path, const std::vector<uint8_t>& bytes) {
    testsupport::writeFile(_dir.path() + "/data/" + path, bytes);
}

void PanelFixture::writeData(const std::string& path, const std::string& text) {
    testsupport::writeFile(_dir.path() + "/data/" + path, text);
}

}  // namespace menutest
