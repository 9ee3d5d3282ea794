#include "support_menu.h"

#include <filesystem>

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
#include "writer/ContentWriter.h"

namespace menutest {

namespace cw = contentwriter;

namespace {

const float kPiF = 3.14159265f;

const char* const kEventNames[] = {"onStart", "onStartDown", "onOrphan", "onPlay", "onShop", "onRow"};

cw::ObjectNodeDesc boxNode(std::vector<cw::Vertex>& v, std::vector<uint16_t>& i, const std::string& name,
                           const cw::Vec3& centre, const cw::Vec3& size, const cw::Properties& properties = {}) {
    const uint32_t firstVertex = (uint32_t)v.size();
    const uint16_t firstIndex = (uint16_t)i.size();
    cw::appendBox(v, i, cw::Vec3(0, 0, 0), size);
    cw::ObjectNodeDesc node;
    node.name = name;
    node.position = centre;
    cw::MaterialRangeDesc range;
    range.material = "plain";
    range.firstFloat = firstVertex * 11;
    range.floatCount = ((uint32_t)v.size() - firstVertex) * 11;
    range.firstIndex = firstIndex;
    range.indexCount = (uint16_t)(i.size() - firstIndex);
    node.ranges.push_back(range);
    node.properties = properties;
    return node;
}

// A flat box facing the camera (thin along Y, the depth axis of the pages).
std::vector<uint8_t> boxObject(const std::string& name, float width, float height,
                               const cw::Properties& properties = {}) {
    std::vector<cw::Vertex> v;
    std::vector<uint16_t> i;
    cw::ObjectFileDesc f;
    f.top = boxNode(v, i, name, cw::Vec3(), cw::Vec3(width, 0.2f, height), properties);
    f.mesh = cw::makeMesh(v, i);
    return cw::writeObjectFile(f);
}

// A button with a text child "label".
std::vector<uint8_t> labelledObject() {
    std::vector<cw::Vertex> v;
    std::vector<uint16_t> i;
    cw::ObjectFileDesc f;
    f.top = boxNode(v, i, "labelled", cw::Vec3(), cw::Vec3(2, 0.2f, 0.8f));
    cw::ObjectNodeDesc label;
    label.isText = true;
    label.name = "label";
    label.text = "Play";
    label.position = cw::Vec3(0, -0.2f, 0);
    label.scale = cw::Vec3(0.02f, 0.02f, 0.02f);
    label.size = 1;
    label.alignment = "CENTER";
    label.font = "dejavu_sans";
    f.top.children.push_back(label);
    f.mesh = cw::makeMesh(v, i);
    return cw::writeObjectFile(f);
}

// A scroll view holding one button row, nearer the camera than the list's back.
std::vector<uint8_t> listObject() {
    std::vector<cw::Vertex> v;
    std::vector<uint16_t> i;
    cw::ObjectFileDesc f;
    f.top = boxNode(v, i, "list", cw::Vec3(), cw::Vec3(3, 0.2f, 2), {{"class", "ScrollView"}});
    f.top.children.push_back(boxNode(v, i, "row", cw::Vec3(0, -0.3f, 0), cw::Vec3(2, 0.2f, 0.5f),
                                     {{"class", "Button"}, {"onTouchUpInside", "onRow"}}));
    f.mesh = cw::makeMesh(v, i);
    return cw::writeObjectFile(f);
}

// A box whose child spins through 24 key frames of its own, as object files may bring.
std::vector<uint8_t> spinnerObject() {
    std::vector<cw::Vertex> v;
    std::vector<uint16_t> i;
    cw::ObjectFileDesc f;
    f.top = boxNode(v, i, "spinner", cw::Vec3(), cw::Vec3(1, 0.2f, 1));
    cw::ObjectNodeDesc blade = boxNode(v, i, "blade", cw::Vec3(0, -0.2f, 0), cw::Vec3(0.8f, 0.1f, 0.2f));
    for (int k = 0; k < 24; ++k) {
        cw::ObjectKeyDesc key;
        key.position = cw::Vec3(0, -0.2f, 0);
        key.rotation = cw::Vec3(0, (float)k * kPiF / 12.0f, 0);
        blade.keys.push_back(key);
    }
    f.top.children.push_back(blade);
    f.mesh = cw::makeMesh(v, i);
    return cw::writeObjectFile(f);
}

// 36 key frames that keep the node where it stands: "in" 0-11, "idle" 12-23, "out" 24-35.
std::vector<cw::SceneKeyDesc> standingKeys(const cw::Vec3& position) {
    std::vector<cw::SceneKeyDesc> keys(36);
    for (cw::SceneKeyDesc& k : keys)
        k.position = position;
    return keys;
}

void camera(cw::BinarySceneWriter& s) {
    // Looking along +Y, Z up: screen x is world X and screen y world Z.
    s.camera("Camera", cw::Vec3(0, 0, 0), cw::Vec3(kPiF / 2, 0, 0), cw::Layers::bits(1), 1, 50);
}

std::vector<uint8_t> titlePage() {
    cw::BinarySceneWriter s("BIN1.1");
    const cw::Layers l = cw::Layers::bits(1);
    const cw::Vec3 none, one(1, 1, 1);
    camera(s);
    s.object("title_logo", "objects/ui", "logo", cw::Vec3(0, 10, 3), none, one, {}, {}, l,
             standingKeys(cw::Vec3(0, 10, 3)));
    s.object("btn_start", "objects/ui", "button", cw::Vec3(0, 10, 0), none, one,
             {{"class", "Button"}, {"onTouchUpInside", "onStart"}, {"onTouch", "onStartDown"}}, {}, l);
    s.object("btn_orphan", "objects/ui", "button", cw::Vec3(0, 10, -3), none, one,
             {{"class", "Button"}, {"onTouchUpInside", "onOrphan"}}, {}, l);
    s.empty("edge_left", cw::Vec3(-1, 10, -2), none, one, {{"align", "left"}}, {}, l);
    s.object("mark_left", "objects/ui", "mark", cw::Vec3(-1, 10, -2), none, one, {}, {"edge_left"}, l);
    return s.bytes();
}

std::vector<uint8_t> menuPage() {
    cw::BinarySceneWriter s("BIN1.1");
    const cw::Layers l = cw::Layers::bits(1);
    const cw::Vec3 none, one(1, 1, 1);
    camera(s);
    s.object("btn_play", "objects/ui", "labelled", cw::Vec3(0, 10, 2.5f), none, one,
             {{"class", "Button"}, {"onTouchUpInside", "onPlay"}}, {}, l);
    s.object("btn_shop", "objects/ui", "button", cw::Vec3(0, 10, 1), none, one,
             {{"class", "Button"}, {"onTouchUpInside", "onShop"}}, {}, l);
    s.object("list", "objects/ui", "list", cw::Vec3(0, 10, -2), none, one, {}, {}, l);
    s.object("spinner", "objects/ui", "spinner", cw::Vec3(2, 12, 3), none, one, {}, {}, l);
    s.empty("edge_right", cw::Vec3(1, 10, 3), none, one, {{"align", "right"}}, {}, l);
    s.object("mark_right", "objects/ui", "mark", cw::Vec3(1, 10, 3), none, one, {}, {"edge_right"}, l);
    return s.bytes();
}

std::vector<uint8_t> plainPage() {
    cw::BinarySceneWriter s("BIN1.1");
    const cw::Layers l = cw::Layers::bits(1);
    const cw::Vec3 none, one(1, 1, 1);
    camera(s);
    s.object("note", "objects/ui", "button", cw::Vec3(0, 10, 0), none, one,
             {{"class", "Button"}, {"onTouchUpInside", "onShop"}}, {}, l);
    return s.bytes();
}

const char* const kConfig = R"(
[test]
textScale = 0.3

[title]
pages = { titlePanel }

[menu]
pages = { menuPanel plainPanel }

[titlePanel]
name = title
sceneFile = scenes/ui_title.bin
items = { titleLogo titleStart titleMissing }

[titleLogo]
object = title_logo
name = logo
anims = { logoInAnim logoIdleAnim logoOutAnim }
conductors = { logoIn logoIdle logoOut }

[logoInAnim]
name = inAnim
frameBegin = 0
frameEnd = 11

[logoIdleAnim]
name = idleAnim
frameBegin = 12
frameEnd = 23
loop = true

[logoOutAnim]
name = outAnim
frameBegin = 24
frameEnd = 35

[logoIn]
name = in
animName = inAnim

[logoIdle]
name = idle
animName = idleAnim

[logoOut]
name = out
animName = outAnim

[titleStart]
object = btn_start
name = start
effects = { startGlow startSparks }
conductors = { startClick }

[startGlow]
particleName = smoke
autoPlay = true

[startSparks]
name = sparks
particleName = sparks

[startClick]
name = click
effectName = sparks

[titleMissing]
object = no_such_node

[menuPanel]
name = menu
sceneFile = scenes/ui_menu.bin
items = { menuPlay menuShop menuList menuSpinner }

[menuPlay]
object = btn_play
name = play
texts = { label no_such_text label }
nodes = { playLabelNode }

[playLabelNode]
node = label
name = caption
visible = true

[menuShop]
object = btn_shop
name = shop

[menuList]
object = list
name = list

[menuSpinner]
object = spinner
name = spinner
auto = false

[plainPanel]
name = plain
sceneFile = scenes/ui_plain.bin
items = { plainNote }

[plainNote]
object = note
name = note
auto = false
)";

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
    namespace fs = std::filesystem;
    const fs::path data = fs::path(testsupport::contentDir()) / "data";
    fs::create_directories(_dir.path() + "/data");
    fs::copy(data / "particles", _dir.path() + "/data/particles", fs::copy_options::recursive);
    fs::copy(data / "fonts", _dir.path() + "/data/fonts", fs::copy_options::recursive);
    _stores.reset(new testsupport::ScopedStores(_dir.path(), _dir.file("documents")));
    _oldGame = IGame::instance();
    IGame::setInstance(&_screen);
    frameTime().dt = 1.0f / 60.0f;
    ConfigStore::instance().resetForTests();

    writeData("materials/plain.txt", std::string("emit = 0.5\n"));
    writeData("objects/ui/logo.object", boxObject("logo", 2, 1));
    writeData("objects/ui/button.object", boxObject("button", 2, 0.8f));
    writeData("objects/ui/mark.object", boxObject("mark", 0.2f, 0.2f));
    writeData("objects/ui/labelled.object", labelledObject());
    writeData("objects/ui/list.object", listObject());
    writeData("objects/ui/spinner.object", spinnerObject());
    writeData("scenes/ui_title.bin", titlePage());
    writeData("scenes/ui_menu.bin", menuPage());
    writeData("scenes/ui_plain.bin", plainPage());
    loadConfig(kConfig);
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
