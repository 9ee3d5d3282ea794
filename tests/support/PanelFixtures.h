#pragma once
// Two small page sets for the panel tests and benchmarks, made with the content writers:
// "title" (a logo that animates in, idles in a loop and animates out; a start button with
// effects and a "click"; a button in no item; a group aligned to the top left corner) and
// "menu" (a labelled button, a second button, a scroll view holding a button row, a spinner whose
// object file brings looping key frames, a group aligned to the right edge; a panel "plain"
// without automatic items). Header only, so tests and benchmarks share it.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "writer/ContentWriter.h"

namespace panelfixtures {

namespace cw = contentwriter;

const float kPiF = 3.14159265f;

inline cw::ObjectNodeDesc boxNode(std::vector<cw::Vertex>& v, std::vector<uint16_t>& i, const std::string& name,
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
inline std::vector<uint8_t> boxObject(const std::string& name, float width, float height,
                               const cw::Properties& properties = {}) {
    std::vector<cw::Vertex> v;
    std::vector<uint16_t> i;
    cw::ObjectFileDesc f;
    f.top = boxNode(v, i, name, cw::Vec3(), cw::Vec3(width, 0.2f, height), properties);
    f.mesh = cw::makeMesh(v, i);
    return cw::writeObjectFile(f);
}

// A button with a text child "label".
inline std::vector<uint8_t> labelledObject() {
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
inline std::vector<uint8_t> listObject() {
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
inline std::vector<uint8_t> spinnerObject() {
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
inline std::vector<cw::SceneKeyDesc> standingKeys(const cw::Vec3& position) {
    std::vector<cw::SceneKeyDesc> keys(36);
    for (cw::SceneKeyDesc& k : keys)
        k.position = position;
    return keys;
}

inline void camera(cw::BinarySceneWriter& s) {
    // Looking along +Y, Z up: screen x is world X and screen y world Z.
    s.camera("Camera", cw::Vec3(0, 0, 0), cw::Vec3(kPiF / 2, 0, 0), cw::Layers::bits(1), 1, 50);
}

inline std::vector<uint8_t> titlePage() {
    cw::BinarySceneWriter s("BIN1.1");
    const cw::Layers l = cw::Layers::bits(1);
    const cw::Vec3 none, one(1, 1, 1);
    camera(s);
    s.object("title_logo", "objects/ui", "logo", cw::Vec3(0, 10, 3), none, one, {}, {}, l,
             standingKeys(cw::Vec3(0, 10, 3)));
    s.object("btn_start", "objects/ui", "start", cw::Vec3(0, 10, 0), none, one,
             {{"class", "Button"}, {"onTouchUpInside", "onStart"}, {"onTouch", "onStartDown"}}, {}, l);
    s.object("btn_orphan", "objects/ui", "button", cw::Vec3(0, 10, -3), none, one,
             {{"class", "Button"}, {"onTouchUpInside", "onOrphan"}}, {}, l);
    s.empty("edge_left", cw::Vec3(-1, 10, -2), none, one, {{"align", "left,top"}}, {}, l);
    s.object("mark_left", "objects/ui", "mark", cw::Vec3(-1, 10, -2), none, one, {}, {"edge_left"}, l);
    return s.bytes();
}

inline std::vector<uint8_t> menuPage() {
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

inline std::vector<uint8_t> plainPage() {
    cw::BinarySceneWriter s("BIN1.1");
    const cw::Layers l = cw::Layers::bits(1);
    const cw::Vec3 none, one(1, 1, 1);
    camera(s);
    s.object("note", "objects/ui", "button", cw::Vec3(0, 10, 0), none, one,
             {{"class", "Button"}, {"onTouchUpInside", "onShop"}}, {}, l);
    return s.bytes();
}

inline const char* panelConfig() {
    return R"(
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

// The start button's object brings its effects (they are read under the object file only).
[objects/ui/start.object]
effects = { startGlow startSparks }

[titleStart]
object = btn_start
name = start
conductors = { startClick }

[startGlow]
particleName = glow
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
}


// Writes every file of the two sets below root + "/data/", with copies of the sample content's
// particle and font folders.
inline void writeBundle(const std::string& root) {
    namespace fs = std::filesystem;
    const fs::path content = fs::path(testsupport::contentDir()) / "data";
    const std::string data = root + "/data/";
    fs::create_directories(data);
    fs::copy(content / "particles", data + "particles", fs::copy_options::recursive);
    fs::copy(content / "fonts", data + "fonts", fs::copy_options::recursive);
    // An emitter that never stops, so panels always hold live emitters while shown.
    std::string emitters = testsupport::readFile(data + "particles/emitters.txt");
    emitters += R"(
[layer] {
    name = fixture_glow
    sprite_geom = particles/puff.object
    particles_per_sec = 20 20
    life_times_rnd = 0.2 0.3 : 0.5 0.8 : 0.5 0.8
    sizes = anim4_rnd 0.3 0.4 : 0.6 0.8 : 0.9 1.1 : 1.2 1.4
    argb_colors = anim4 0 90 90 90 : 120 110 110 110 : 60 120 120 120 : 0 130 130 130
    sphere_emitter { inclination = 0 30 azimuth = 0 360 radius = 0 0.2 speed = 0.4 0.8 }
}
[emitter] {
    name = glow
    add_layer fixture_glow
}
)";
    testsupport::writeFile(data + "particles/emitters.txt", emitters);
    testsupport::writeFile(data + "materials/plain.txt", std::string("emit = 0.5\n"));
    testsupport::writeFile(data + "objects/ui/logo.object", boxObject("logo", 2, 1));
    testsupport::writeFile(data + "objects/ui/button.object", boxObject("button", 2, 0.8f));
    testsupport::writeFile(data + "objects/ui/start.object", boxObject("start", 2, 0.8f));
    testsupport::writeFile(data + "objects/ui/mark.object", boxObject("mark", 0.2f, 0.2f));
    testsupport::writeFile(data + "objects/ui/labelled.object", labelledObject());
    testsupport::writeFile(data + "objects/ui/list.object", listObject());
    testsupport::writeFile(data + "objects/ui/spinner.object", spinnerObject());
    testsupport::writeFile(data + "scenes/ui_title.bin", titlePage());
    testsupport::writeFile(data + "scenes/ui_menu.bin", menuPage());
    testsupport::writeFile(data + "scenes/ui_plain.bin", plainPage());
    testsupport::writeFile(data + "configs/panels.txt", std::string(panelConfig()));
}

}  // namespace panelfixtures
