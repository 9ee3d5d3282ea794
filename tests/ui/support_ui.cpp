#include "support_ui.h"

#include "engine/ConfigStore.h"
#include "engine/clock.h"
#include "engine/font/TextFont.h"
#include "engine/render/ResourceManager.h"
#include "engine/ui/Page.h"
#include "engine/ui/UIObject.h"
#include "engine/ui/View.h"

namespace uitest {

PageWriter::PageWriter(bool withCamera) : _w("BIN1.1") {
    if (withCamera)
        camera("ui_camera", false, 2.0f);
}

PageWriter& PageWriter::camera(const std::string& name, bool perspective, float lens, const cw::Vec3& position) {
    _w.camera(name, position, kUpright, cw::Layers(), perspective ? 1 : 0, lens);
    return *this;
}

PageWriter& PageWriter::node(const std::string& name, const cw::Vec3& position, const cw::Properties& properties,
                             const std::string& object, const cw::Vec3& scale, const cw::Vec3& rotation,
                             const std::vector<std::string>& groups, const std::vector<cw::SceneKeyDesc>& keys) {
    _w.object(name, "ui", object, position, rotation, scale, properties, groups, cw::Layers(), keys);
    return *this;
}

PageWriter& PageWriter::empty(const std::string& name, const cw::Vec3& position, const cw::Properties& properties,
                              const std::vector<std::string>& groups) {
    _w.empty(name, position, cw::Vec3(), cw::Vec3(1, 1, 1), properties, groups, cw::Layers());
    return *this;
}

namespace {

cw::ObjectNodeDesc boxNode(const std::string& name, const cw::Properties& properties, uint32_t vertices,
                           uint32_t indices) {
    cw::ObjectNodeDesc node;
    node.name = name;
    node.properties = properties;
    node.ranges.push_back(cw::wholeRange("plain", vertices, indices));
    return node;
}

void addChildren(cw::ObjectNodeDesc& parent, const std::vector<ChildBox>& children, uint32_t vertices,
                 uint32_t indices) {
    for (const ChildBox& c : children) {
        cw::ObjectNodeDesc node = boxNode(c.name, c.properties, vertices, indices);
        node.position = c.position;
        node.scale = c.scale;
        addChildren(node, c.children, vertices, indices);
        parent.children.push_back(node);
    }
}

void releaseResources() {
    ResourceManager& rm = ResourceManager::instance();
    for (auto& entry : rm._fonts)
        delete entry.second;
    rm._fonts.clear();
    rm.resetForTests();
}

}  // namespace

cw::ObjectFileDesc boxes(const cw::Properties& top, const std::vector<ChildBox>& children) {
    std::vector<cw::Vertex> v;
    std::vector<uint16_t> i;
    cw::appendBox(v, i, cw::Vec3(0, 0, 0), cw::Vec3(1, 1, 1));
    cw::ObjectFileDesc f;
    f.top = boxNode("top", top, (uint32_t)v.size(), (uint32_t)i.size());
    addChildren(f.top, children, (uint32_t)v.size(), (uint32_t)i.size());
    f.mesh = cw::makeMesh(v, i);
    return f;
}

UiFixture::UiFixture() {
    _stores.reset(new testsupport::ScopedStores(_dir.path(), _dir.file("documents")));
    _oldGame = IGame::instance();
    IGame::setInstance(&_screen);
    _oldDt = frameTime().dt;
    writeData("materials/plain.txt", std::string("emit = 0.5\n"));
    writeObject("box", boxes({}));
}

UiFixture::~UiFixture() {
    delete _ui;
    _ui = nullptr;
    releaseResources();
    ConfigStore::instance().resetForTests();
    IGame::setInstance(_oldGame);
    frameTime().dt = _oldDt;
}

UIObject* UiFixture::ui() {
    if (!_ui)
        _ui = new UIObject();
    return _ui;
}

Page* UiFixture::load(const std::string& name, const PageWriter& page, UiEventHandler* handler) {
    writeData("pages/" + name, page.bytes());
    return ui()->loadPage("pages/" + name, handler);
}

void UiFixture::writeData(const std::string& path, const std::vector<uint8_t>& bytes) {
    testsupport::writeFile(_dir.path() + "/data/" + path, bytes);
}

void UiFixture::writeData(const std::string& path, const std::string& text) {
    testsupport::writeFile(_dir.path() + "/data/" + path, text);
}

void UiFixture::writeObject(const std::string& name, const cw::ObjectFileDesc& file) {
    writeData("ui/" + name + ".object", cw::writeObjectFile(file));
}

void UiFixture::frame(float dt) {
    frameTime().dt = dt;
    ui()->update();
}

Object* findNode(Object* top, const std::string& name) {
    if (!top)
        return nullptr;
    if (top->_name == name)
        return top;
    for (Object* child : top->_children)
        if (Object* found = findNode(child, name))
            return found;
    return nullptr;
}

View* findView(Page* page, const std::string& name) {
    for (View* view : page->_views)
        if (view->_name == name)
            return view;
    return nullptr;
}

}  // namespace uitest
