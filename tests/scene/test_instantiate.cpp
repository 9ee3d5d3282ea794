// Nodes from object files: which class makes them, their meshes, children, texts, properties
// and animation.

#include <gtest/gtest.h>

#include "engine/render/Mesh.h"
#include "engine/render/ResourceManager.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/ObjectNode.h"
#include "engine_game/Scene.h"
#include "engine_game/Text.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "support_scene.h"
#include "support_world.h"

namespace {

using namespace worldtest;

Object* makeA(World*, Scene*, Object* p) { return new CountingObject(p, "A"); }
Object* makeB(World*, Scene*, Object* p) { return new CountingObject(p, "B"); }
Object* makeSource(World*, Scene*, Object* p) { return new CountingObject(p, "source"); }
Object* makeDefault(World*, Scene*, Object* p) { return new CountingObject(p, "default"); }

std::string tagOf(Object* n) {
    auto* c = dynamic_cast<CountingObject*>(n);
    return c ? c->tag : "plain";
}

struct ClassCase {
    const char* name;
    PropertyMap file;
    PropertyList scene;
    bool sourceRegistered;
    bool defaultFactory;
    bool underRoot;  // otherwise under a child node
    const char* expected;
};

const ClassCase kClassCases[] = {
    {"file_class", {{"class", "A"}}, {{"class", "B"}}, true, true, true, "A"},
    {"file_script", {{"script", "B"}}, {}, true, true, true, "B"},
    {"unregistered_file_class_lets_the_scene_choose", {{"class", "Zed"}}, {{"class", "B"}}, true, true, true, "B"},
    // Keys are walked in order: "class" comes before "script" and ends the file walk.
    {"file_walk_stops_at_the_first_key", {{"class", "Zed"}, {"script", "A"}}, {}, true, false, true, "source"},
    {"scene_walk_stops_at_the_first_key", {}, {{"script", "Zed"}, {"class", "B"}}, true, false, true, "source"},
    {"source_name", {}, {}, true, true, true, "source"},
    {"default_factory_for_top_level_nodes", {}, {}, false, true, true, "default"},
    {"no_default_factory_below_the_top", {}, {}, false, true, false, "plain"},
    {"registered_classes_below_the_top", {{"class", "A"}}, {}, false, true, false, "A"},
    {"plain_without_anything", {{"other", "A"}}, {{"x", "B"}}, false, false, true, "plain"},
};

class ClassChoice : public WorldFixture, public ::testing::WithParamInterface<ClassCase> {};

TEST_P(ClassChoice, Instantiate) {
    const ClassCase& c = GetParam();
    World* w = world();
    w->registerObjectClass("A", makeA);
    w->registerObjectClass("B", makeB);
    w->registerObjectClass("Zed", nullptr);
    if (c.sourceRegistered)
        w->registerObjectClass("things/thing.object", makeSource);
    if (c.defaultFactory)
        w->_defaultFactory = makeDefault;
    Scene* scene = w->createScene("s", 0, 0);
    Object* parent = scene->_root;
    if (!c.underRoot)
        parent = new Object(scene->_root);
    Object* node = w->instantiate(scene, parent, "things/thing.object", c.file, c.scene);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(tagOf(node), c.expected);
    EXPECT_EQ(node->_parent, parent);
}

INSTANTIATE_TEST_SUITE_P(Classes, ClassChoice, ::testing::ValuesIn(kClassCases),
                         [](const ::testing::TestParamInfo<ClassCase>& info) { return info.param.name; });

class Instantiation : public WorldFixture {};

TEST_F(Instantiation, ARegisteredNameKeepsItsFirstFactory) {
    world()->registerObjectClass("n", makeA);
    world()->registerObjectClass("n", makeB);
    EXPECT_EQ(world()->_objectClasses["n"], &makeA);
}

TEST_F(Instantiation, TopAndChildMeshes) {
    cw::ObjectFileDesc f = boxObject("top");
    cw::MaterialRangeDesc empty;
    empty.material = "plain";
    f.top.ranges.push_back(empty);  // no indices: no mesh on the top node
    cw::ObjectNodeDesc child;
    child.name = "child";
    child.position = cw::Vec3(1, 0, 0);
    child.ranges = {empty, f.top.ranges[0]};  // the empty one still gets a mesh here
    child.properties = {{"off", "4"}};
    cw::ObjectNodeDesc grandchild;
    grandchild.name = "grandchild";
    child.children.push_back(grandchild);
    f.top.children.push_back(child);
    writeObject("m.object", f);

    Scene* scene = world()->createScene("s", 0, 0);
    Object* node = place(scene, "m.object", "instance", Vector3(5, 0, 0));
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->_name, "instance");
    EXPECT_EQ(node->_sourceName, "m.object");
    EXPECT_EQ(node->_meshes.size(), 1u);
    Object* c = findNode(node, "child");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->_meshes.size(), 2u);
    EXPECT_EQ(c->_meshes[0]->getIndexCount(), 0);
    EXPECT_FLOAT_EQ(c->_meshes[1]->_visibilityDistanceSq, 16.0f);
    EXPECT_NE(findNode(c, "grandchild"), nullptr);
    // Children are not listed as scene nodes.
    EXPECT_EQ(scene->_nodes.size(), 1u);
    node->updateTransform();
    scenetest::expectVec(c->getWorldPosition(), Vector3(6, 0, 0));
}

TEST_F(Instantiation, FileKeysAnimateAChildHolderAndSceneKeysTheNode) {
    cw::ObjectFileDesc f = boxObject("anim");
    f.top.keys = {{cw::Vec3(0, 0, 0), cw::Vec3()}, {cw::Vec3(1, 0, 0), cw::Vec3()}};
    writeObject("anim.object", f);
    Scene* scene = world()->createScene("s", 0, 0);

    Object* a = place(scene, "anim.object", "a");
    ASSERT_EQ(a->_children.size(), 1u);
    Object* holder = a->_children[0];
    EXPECT_EQ(holder->_name, "a");
    EXPECT_TRUE(a->_meshes.empty());
    EXPECT_EQ(holder->_meshes.size(), 1u);
    ASSERT_NE(holder->_animation, nullptr);
    EXPECT_EQ(holder->_animation->_keys, world()->loadObjectFile("anim.object")->_keys);

    KeyFrameList keys(3);
    Object* b = world()->createObject(scene, "anim.object", "b", PropertyList(), 0, kIdentityRows, Vector3(),
                                      Vector3(1, 1, 1), &keys);
    EXPECT_TRUE(b->_children.empty());
    EXPECT_EQ(b->_meshes.size(), 1u);
    ASSERT_NE(b->_animation, nullptr);
    EXPECT_EQ(b->_animation->_keys, &keys);
    EXPECT_EQ(scene->_animations.size(), 2u);
    world()->deleteObject(b);  // the keys live on the stack
}

TEST_F(Instantiation, EngineProperties) {
    world()->registerObjectClass("p.object", countingFactory);
    cw::ObjectFileDesc f = boxObject("p", cw::Vec3(1, 1, 1), {{"off", "3"}, {"noblock", "1"}, {"ground", "1"},
                                                             {"invisible", "1"}, {"zz", "last"}});
    cw::ObjectNodeDesc child;
    child.name = "child";
    f.top.children.push_back(child);
    writeObject("p.object", f);
    Scene* scene = world()->createScene("s", 0, 0);
    Object* node = world()->createObject(scene, "p.object", "n", {{"from", "scene"}}, 0, kIdentityRows, Vector3(),
                                         Vector3(1, 1, 1), nullptr);
    auto* c = static_cast<CountingObject*>(node);
    EXPECT_FLOAT_EQ(node->_meshes[0]->_visibilityDistanceSq, 9.0f);
    EXPECT_EQ(node->_blocking, 0);
    EXPECT_EQ(node->_children[0]->_blocking, 0);
    EXPECT_EQ(node->_typeId, 100);
    EXPECT_EQ(node->_hidden, 1);
    EXPECT_EQ(node->_meshes[0]->_hidden, 1);
    EXPECT_EQ(c->inits, 1);
    const std::vector<std::string> want = {"from=scene", "ground=1", "invisible=1", "noblock=1", "off=3", "zz=last"};
    EXPECT_EQ(c->properties, want);

    writeObject("g.object", boxObject("g"));
    EXPECT_EQ(place(scene, "g.object", "invisible_ground")->_typeId, 100);
    EXPECT_EQ(place(scene, "g.object", "visible_ground")->_typeId, 0);
}

TEST_F(Instantiation, TextChildrenShowTheirTextLiterally) {
    cw::ObjectFileDesc f = boxObject("sign", cw::Vec3(1, 1, 1), {}, 3);
    cw::ObjectNodeDesc label;
    label.isText = true;
    label.name = "label";
    label.text = "100% %d %s";
    label.size = 1;
    label.alignment = "CENTER";
    label.font = "nofont";
    f.top.children.push_back(label);
    writeObject("sign.object", f);
    Object* node = place(world()->createScene("s", 0, 0), "sign.object", "sign");
    Text* text = dynamic_cast<Text*>(findNode(node, "label"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->_text, "100% %d %s");
    EXPECT_EQ(text->_alignH, 1);
    scenetest::expectVec(text->getScale(), Vector3(0.8f, 0.8f, 0.8f));
}

TEST_F(Instantiation, TwoInstancesReadTheFileOnce) {
    writeObject("once.object", boxObject("once"));
    Object* a = place(nullptr, "once.object", "a");
    std::remove(_dir.file("data/once.object").c_str());
    Object* b = place(nullptr, "once.object", "b");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->_meshes[0]->_geometry, b->_meshes[0]->_geometry);
    EXPECT_EQ(place(nullptr, "never.object", "c"), nullptr);
}

TEST_F(Instantiation, CharacterMeshesShareTheirRangeAdjacency) {
    writeObject("characters/hero.object", boxObject("hero"));
    Object* a = place(nullptr, "characters/hero.object", "a");
    Object* b = place(nullptr, "characters/hero.object", "b");
    ASSERT_NE(a->_meshes[0]->_adjacency, nullptr);
    EXPECT_EQ(a->_meshes[0]->_adjacency, b->_meshes[0]->_adjacency);
    writeObject("props/box.object", boxObject("box"));
    EXPECT_EQ(place(nullptr, "props/box.object", "c")->_meshes[0]->_adjacency, nullptr);
}

}  // namespace
