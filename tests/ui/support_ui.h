#pragma once
// Helpers of the interface tests: a bundle in a temporary folder with small object files, binary
// page files written with the content writer, an interface world, and a recording event.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/math.h"
#include "engine/ui/UiEvent.h"
#include "engine_game/Object.h"
#include "writer/ContentWriter.h"

class Page;
class UIObject;
class View;

namespace uitest {

namespace cw = contentwriter;

// An event that counts its runs and remembers the view that fired it last.
class CountingEvent : public UiEvent {
public:
    explicit CountingEvent(const char* name) : UiEvent(name) {}
    void execute(View* view) override {
        ++runs;
        last = view;
    }
    int runs = 0;
    View* last = nullptr;
};

// A page file: the interface camera looks along +Y from (0, -10, 0), screen x along world X and
// screen y along world Z. Orthographic with height 2 on a square screen, world X and Z from -1 to
// 1 span the screen: world (x, _, z) shows at screen ((x + 1) / 2, (z + 1) / 2).
class PageWriter {
public:
    explicit PageWriter(bool camera = true);
    // Another camera (orthographic, lens = height, or perspective, lens = field of view).
    PageWriter& camera(const std::string& name, bool perspective, float lens,
                       const cw::Vec3& position = cw::Vec3(0, -10, 0));
    // A node from an object file below "ui/" (default: the unit box at a fifth of its size).
    PageWriter& node(const std::string& name, const cw::Vec3& position, const cw::Properties& properties = {},
                     const std::string& object = "box", const cw::Vec3& scale = cw::Vec3(0.2f, 0.2f, 0.2f),
                     const cw::Vec3& rotation = cw::Vec3(), const std::vector<std::string>& groups = {},
                     const std::vector<cw::SceneKeyDesc>& keys = {});
    PageWriter& empty(const std::string& name, const cw::Vec3& position, const cw::Properties& properties,
                      const std::vector<std::string>& groups = {});
    const std::vector<uint8_t>& bytes() const { return _w.bytes(); }

private:
    cw::BinarySceneWriter _w;
};

// Euler angles that turn a node's local Y onto world Z (the screen's vertical), as page nodes
// that scroll are turned; the camera is turned the same way.
const cw::Vec3 kUpright(1.5707964f, 0, 0);

// One child box of an object file: a unit box at a position, scaled, with properties.
struct ChildBox {
    ChildBox(const std::string& name, const cw::Vec3& position, const cw::Vec3& scale,
             const cw::Properties& properties, const std::vector<ChildBox>& children = {})
        : name(name), position(position), scale(scale), properties(properties), children(children) {}
    std::string name;
    cw::Vec3 position;
    cw::Vec3 scale{1, 1, 1};
    cw::Properties properties;
    std::vector<ChildBox> children;
};

// An object file of unit boxes: the top node with its properties and the children given.
cw::ObjectFileDesc boxes(const cw::Properties& top, const std::vector<ChildBox>& children = {});

class UiFixture : public ::testing::Test {
protected:
    UiFixture();
    ~UiFixture() override;

    // The interface world, made on first use.
    UIObject* ui();
    // Writes the page below "data/pages/" and loads it.
    Page* load(const std::string& name, const PageWriter& page, UiEventHandler* handler = nullptr);
    void writeData(const std::string& path, const std::vector<uint8_t>& bytes);
    void writeData(const std::string& path, const std::string& text);
    // Writes an object file as "data/ui/<name>.object".
    void writeObject(const std::string& name, const cw::ObjectFileDesc& file);
    // One interface update (frame time dt).
    void frame(float dt = 1.0f / 60.0f);

    testsupport::TempDir _dir;
    std::unique_ptr<testsupport::ScopedStores> _stores;
    testsupport::FixedSizeGame _screen{1000, 1000};
    IGame* _oldGame = nullptr;
    UIObject* _ui = nullptr;
    float _oldDt = 0;
};

// The first node of the tree with that name.
Object* findNode(Object* top, const std::string& name);
// The view of that name in the page's list.
View* findView(Page* page, const std::string& name);

// Screen point of world (x, z) under the fixture's orthographic camera.
inline Vector3 screenOf(float x, float z) { return Vector3((x + 1) * 0.5f, (z + 1) * 0.5f, 0.5f); }

}  // namespace uitest
