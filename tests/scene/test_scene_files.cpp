// Scene files: the text reader's line kinds and the binary reader's headers and records, with
// damaged files of both.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "engine/ConfigStore.h"
#include "engine/plat_linux/PlatformPaths.h"
#include "engine/render/Mesh.h"
#include "engine/render/RenderTarget.h"
#include "engine_game/Camera.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Light.h"
#include "engine_game/Scene.h"
#include "engine_game/Text.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "support_scene.h"
#include "support_world.h"

namespace {

using namespace worldtest;

const char* const kObjectPath = "objects/props/box.object";

std::string layerWords(uint32_t mask) {
    std::string s = "layers=[ ";
    for (int i = 0; i < 19; ++i)
        s += (mask >> i) & 1 ? "True " : "False ";
    return s + "]";
}

class SceneFileTest : public WorldFixture {
protected:
    SceneFileTest() { writeObject(kObjectPath, boxObject("box")); }

    Scene* loadText(const std::string& text) {
        writeData("scenes/test.txt", text);
        return world()->loadScene("scenes/test.txt", 1, 0);
    }
    Scene* loadBinary(const std::vector<uint8_t>& bytes) {
        writeData("scenes/test.bin", bytes);
        return world()->loadScene("scenes/test.bin", 1, 0);
    }
};

// ---------------------------------------------------------------------------------------------
// Text scenes

struct TextCase {
    const char* name;
    std::function<std::string()> text;
    std::function<void(World&, Scene&, const scenetest::LogCapture&)> check;
    std::function<void(FixedScreen&)> screen = nullptr;
};

float aspectRow(const Camera* c) { return c->_projection.at(1, 1) / c->_projection.at(0, 0); }

const TextCase kTextCases[] = {
    {"empty_file", [] { return std::string(); },
     [](World& w, Scene& s, const scenetest::LogCapture&) {
         ASSERT_NE(s._root, nullptr);
         EXPECT_EQ(s._root->_name, "Level");
         EXPECT_TRUE(s._nodes.empty());
         EXPECT_EQ(w.getCamera(), nullptr);
     }},
    {"perspective_camera", [] { return std::string("CAMERA cam PERSP 1 2 3 0 0 0 60\n"); },
     [](World& w, Scene& s, const scenetest::LogCapture&) {
         ASSERT_EQ(s._cameras.size(), 1u);
         Camera* c = s._cameras[0];
         EXPECT_EQ(c->_name, "cam");
         EXPECT_EQ(w.getCamera(), c);
         EXPECT_EQ(w._renderTarget->_camera, c);
         EXPECT_EQ(c->_parent, s._root);
         EXPECT_NEAR(c->_fov, degToRad(60), 1e-5f);
         EXPECT_NEAR(aspectRow(c), 800.0f / 600.0f, 1e-4f);
         scenetest::expectVec(c->getPosition(), Vector3(1, 2, 3));
     }},
    {"orthographic_camera", [] { return std::string("CAMERA cam ORTHO 0 0 0 0 0 0 8"); },
     [](World&, Scene& s, const scenetest::LogCapture&) {
         ASSERT_EQ(s._cameras.size(), 1u);
         EXPECT_FLOAT_EQ(s._cameras[0]->_orthoWidth, 8);
         EXPECT_FLOAT_EQ(s._cameras[0]->_orthoHeight, 6);
     }},
    {"camera_without_lens_gets_a_default", [] { return std::string("CAMERA cam PERSP 0 0 0 0 0 0\n"); },
     [](World&, Scene& s, const scenetest::LogCapture& log) {
         ASSERT_EQ(s._cameras.size(), 1u);
         EXPECT_NEAR(s._cameras[0]->_fov, degToRad(45), 1e-5f);
         EXPECT_TRUE(scenetest::allFinite(s._cameras[0]->_inverseProjection));
         EXPECT_TRUE(log.contains("no usable lens"));
     }},
    {"zero_screen_height_gives_a_square_aspect", [] { return std::string("CAMERA cam PERSP 0 0 0 0 0 0 50\n"); },
     [](World&, Scene& s, const scenetest::LogCapture& log) {
         ASSERT_EQ(s._cameras.size(), 1u);
         EXPECT_NEAR(aspectRow(s._cameras[0]), 1.0f, 1e-5f);
         EXPECT_TRUE(scenetest::allFinite(s._cameras[0]->_projection));
         EXPECT_TRUE(log.contains("no aspect"));
     },
     [](FixedScreen& screen) { screen.height = 0; }},
    {"later_cameras_only_join_the_list",
     [] { return std::string("CAMERA a PERSP 0 0 0 0 0 0 50\nCAMERA b ORTHO 0 0 0 0 0 0 5\n"); },
     [](World& w, Scene& s, const scenetest::LogCapture&) {
         ASSERT_EQ(s._cameras.size(), 2u);
         EXPECT_EQ(w.getCamera(), s._cameras[0]);
         EXPECT_EQ(s.findCamera("b"), s._cameras[1]);
     }},
    {"camera_animation_reads_the_value_channel",
     [] { return std::string("CAMERA cam PERSP 0 0 0 0 0 0 50\nanimation 2\n0 7 1 2 3 0 0 0\n1 8 4 5 6 0 0 1\n"); },
     [](World&, Scene& s, const scenetest::LogCapture&) {
         ASSERT_EQ(s._cameras.size(), 1u);
         KeyFramePlayer* p = s._cameras[0]->_animation;
         ASSERT_NE(p, nullptr);
         ASSERT_EQ(p->_keys->size(), 2u);
         EXPECT_EQ((*p->_keys)[1].value, 8);
         scenetest::expectVec((*p->_keys)[1].position, Vector3(4, 5, 6));
         EXPECT_EQ(s._animations.size(), 1u);
     }},
    {"light_with_layers",
     [] { return "LIGHT sun 1 2 3 0.5 0.6 0.7 1.4 0.3 " + layerWords(5) + "\n"; },
     [](World&, Scene& s, const scenetest::LogCapture&) {
         ASSERT_EQ(s._lights.size(), 1u);
         Light* l = s._lights[0];
         EXPECT_EQ(l->_name, "sun");
         EXPECT_EQ(l->_layerMask, 5u);
         EXPECT_FLOAT_EQ(l->_energy, 1.4f * 0.71428573f);
         EXPECT_FLOAT_EQ(l->_secondFactor, 0.3f);
         scenetest::expectVec(l->_lightColor, Vector3(0.5f, 0.6f, 0.7f));
         scenetest::expectVec(l->getPosition(), Vector3(1, 2, 3));
     }},
    {"short_lines_are_skipped",
     [] { return std::string("LIGHT sun 1 2 3\nEMPTY e 1 2 3\nname box objects/props 1 2 3\n\n   \n"); },
     [](World&, Scene& s, const scenetest::LogCapture&) {
         EXPECT_TRUE(s._lights.empty());
         EXPECT_TRUE(s._empties.empty());
         EXPECT_TRUE(s._nodes.empty());
     }},
    {"object_line_with_layers_and_groups",
     [] { return "crate box objects/props 1 2 3 0 0 1.5 2 2 2 " + layerWords(6) + " groups = [ a b ]\n"; },
     [](World&, Scene& s, const scenetest::LogCapture&) {
         Object* n = s.findObject("crate");
         ASSERT_NE(n, nullptr);
         EXPECT_EQ(n->_sourceName, kObjectPath);
         EXPECT_EQ(n->_layerMask, 6u);
         scenetest::expectVec(n->getPosition(), Vector3(1, 2, 3));
         scenetest::expectVec(n->getScale(), Vector3(2, 2, 2));
         ASSERT_EQ(s.getGroup("a").size(), 1u);
         EXPECT_EQ(s.getGroup("b")[0], n);
         EXPECT_EQ(s.getGroupNames().size(), 2u);
         // No lights in the scene: every slot holds the default light.
         ASSERT_EQ(n->_lights.size(), 4u);
     }},
    {"lists_on_the_next_line_are_not_taken",
     [] {
         return "crate box objects/props 0 0 0 0 0 0 1 1 1\nEMPTY e 0 0 0 0 0 0 1 1 1 " + layerWords(1) +
                " groups = [ g ] properties = [ ( k = v ) ]\nEMPTY f 0 0 0 0 0 0 1 1 1\n";
     },
     [](World&, Scene& s, const scenetest::LogCapture&) {
         Object* n = s.findObject("crate");
         ASSERT_NE(n, nullptr);
         EXPECT_EQ(n->_layerMask, 0u);
         ASSERT_EQ(s.getGroup("g").size(), 1u);
         EXPECT_EQ(s.getGroup("g")[0]->_name, "e");
         ASSERT_EQ(s._empties.count("f"), 1u);
         EXPECT_TRUE(s._empties["f"]->properties.empty());
     }},
    {"animation_count_zero_is_consumed",
     [] { return std::string("crate box objects/props 0 0 0 0 0 0 1 1 1\nanimation 0\nnext box objects/props 0 0 0 0 0 0 1 1 1\n"); },
     [](World&, Scene& s, const scenetest::LogCapture&) {
         ASSERT_NE(s.findObject("crate"), nullptr);
         EXPECT_EQ(s.findObject("crate")->_animation, nullptr);
         EXPECT_NE(s.findObject("next"), nullptr);
     }},
    {"object_animation",
     [] {
         return std::string(
             "crate box objects/props 0 0 0 0 0 0 1 1 1\nanimation 3\n0 1 0 0 0 0 0\n1 2 0 0 0 0 0\n2 3 0 0 0 0 1\n"
             "after box objects/props 0 0 0 0 0 0 1 1 1\n");
     },
     [](World&, Scene& s, const scenetest::LogCapture&) {
         Object* n = s.findObject("crate");
         ASSERT_NE(n, nullptr);
         ASSERT_NE(n->_animation, nullptr);
         ASSERT_EQ(n->_animation->_keys->size(), 3u);
         scenetest::expectVec((*n->_animation->_keys)[2].position, Vector3(3, 0, 0));
         EXPECT_FLOAT_EQ((*n->_animation->_keys)[2].angles.z, 1);
         EXPECT_NE(s.findObject("after"), nullptr);
     }},
    {"animation_count_beyond_the_file",
     [] { return std::string("crate box objects/props 0 0 0 0 0 0 1 1 1\nanimation 1000000\n0 1 0 0 0 0 0\n"); },
     [](World&, Scene& s, const scenetest::LogCapture&) {
         Object* n = s.findObject("crate");
         ASSERT_NE(n, nullptr);
         ASSERT_NE(n->_animation, nullptr);
         EXPECT_EQ(n->_animation->_keys->size(), 1u);
     }},
    {"missing_object_is_logged_and_its_animation_consumed",
     [] {
         return std::string("gone nothing objects\\props 0 0 0 0 0 0 1 1 1\nanimation 1\n"
                            "crate box objects/props 0 0 0 0 0 0 1 1 1\nafter box objects/props 0 0 0 0 0 0 1 1 1\n");
     },
     [](World&, Scene& s, const scenetest::LogCapture& log) {
         EXPECT_TRUE(log.contains("Failed to load object: objects/props/nothing.object"));
         EXPECT_EQ(s.findObject("crate"), nullptr);  // it was the key line
         EXPECT_NE(s.findObject("after"), nullptr);
     }},
    {"empty_with_properties_and_groups",
     [] {
         return std::string(
             "EMPTY spot 1 2 3 0 0 0 1 1 1 properties = [ ( a = 1 ) ( b = 2 ) ( a = 3 ) ] groups = [ g ]\n"
             "EMPTY spot 9 9 9 0 0 0 1 1 1\n");
     },
     [](World& w, Scene& s, const scenetest::LogCapture&) {
         ASSERT_EQ(s._empties.size(), 1u);
         EmptyEntry* e = s._empties["spot"];
         EXPECT_EQ(e->properties.size(), 2u);
         EXPECT_EQ(e->properties["a"], "1");
         EXPECT_EQ(e->properties["b"], "2");
         EXPECT_EQ(w.findEmpty("spot"), e->node);
         scenetest::expectVec(e->node->getPosition(), Vector3(1, 2, 3));
         EXPECT_EQ(s.getGroup("g").size(), 1u);
         EXPECT_TRUE(s._nodes.empty());
     }},
    {"property_pairs_stop_at_the_first_bad_one",
     [] { return std::string("EMPTY spot 0 0 0 0 0 0 1 1 1 properties = [ ( a = 1 ) ( broken ) ( c = 3 ) ]\n"); },
     [](World&, Scene& s, const scenetest::LogCapture&) {
         ASSERT_EQ(s._empties.size(), 1u);
         EXPECT_EQ(s._empties["spot"]->properties.size(), 1u);
     }},
    {"long_words_are_read_whole",
     [] {
         std::string longName(5000, 'n');
         return "CAMERA " + longName + " PERSP 0 0 0 0 0 0 50\n" + longName + " " + longName + " " + longName +
                " 0 0 0 0 0 0 1 1 1 groups = [ " + longName + " ]\nEMPTY " + longName +
                " 0 0 0 0 0 0 1 1 1 properties = [ ( " + longName + " = " + longName + " ) ]\n";
     },
     [](World&, Scene& s, const scenetest::LogCapture& log) {
         ASSERT_EQ(s._cameras.size(), 1u);
         EXPECT_EQ(s._cameras[0]->_name.size(), 5000u);
         EXPECT_TRUE(log.contains("Failed to load object"));
         ASSERT_EQ(s._empties.size(), 1u);
         EXPECT_EQ(s._empties.begin()->second->properties.begin()->second.size(), 5000u);
     }},
    {"carriage_returns_and_a_last_line_without_end",
     [] { return std::string("LIGHT a 0 0 0 1 1 1 1 1\r\nEMPTY e 0 0 0 0 0 0 1 1 1\r\nLIGHT b 0 0 0 1 1 1 1 1"); },
     [](World&, Scene& s, const scenetest::LogCapture&) {
         EXPECT_EQ(s._lights.size(), 2u);
         EXPECT_EQ(s._empties.count("e"), 1u);
     }},
    {"loaded_nodes_get_the_first_four_lights",
     [] {
         return std::string("LIGHT a 0 0 0 1 1 1 1 1\ncrate box objects/props 0 0 0 0 0 0 1 1 1\n");
     },
     [](World& w, Scene& s, const scenetest::LogCapture&) {
         Object* n = s.findObject("crate");
         ASSERT_NE(n, nullptr);
         ASSERT_EQ(n->_lights.size(), 4u);
         EXPECT_EQ(n->_lights[0], s._lights[0]);
         EXPECT_EQ(n->_lights[1], w._defaultLight);
         EXPECT_EQ(n->_meshes[0]->_lights[0], s._lights[0]);
     }},
};

class TextScenes : public SceneFileTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(TextScenes, Read) {
    const TextCase& c = GetParam();
    if (c.screen)
        c.screen(_screen);
    scenetest::LogCapture log;
    Scene* scene = loadText(c.text());
    ASSERT_NE(scene, nullptr);
    c.check(*world(), *scene, log);
}

INSTANTIATE_TEST_SUITE_P(Lines, TextScenes, ::testing::ValuesIn(kTextCases),
                         [](const ::testing::TestParamInfo<TextCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------------
// Binary scenes

struct BinaryCase {
    const char* name;
    std::function<std::vector<uint8_t>()> bytes;
    std::function<void(World&, Scene&, const scenetest::LogCapture&)> check;
    const char* config = nullptr;  // configuration text loaded first
};

const cw::Layers kLayer3 = cw::Layers::bits(3);

std::vector<cw::SceneKeyDesc> twoKeys() {
    cw::SceneKeyDesc a, b;
    a.value = 1;
    a.position = cw::Vec3(1, 0, 0);
    b.value = 2;
    b.position = cw::Vec3(2, 0, 0);
    b.rotation = cw::Vec3(0, 0, 1);
    return {a, b};
}

const BinaryCase kBinaryCases[] = {
    {"empty_body", [] { return cw::BinarySceneWriter("BINARY").bytes(); },
     [](World& w, Scene& s, const scenetest::LogCapture& log) {
         EXPECT_TRUE(s._nodes.empty());
         EXPECT_EQ(s._root->_name, "Level");
         EXPECT_EQ(w._objectsHaveProperties, 0);
         EXPECT_TRUE(log.lines.empty());
     }},
    {"BINARY_objects_have_no_property_block",
     [] {
         cw::BinarySceneWriter s("BINARY");
         s.object("crate", "objects/props", "box", cw::Vec3(1, 2, 3), cw::Vec3(), cw::Vec3(1, 1, 1), {}, {"g"}, kLayer3);
         s.light("sun", cw::Vec3(0, 0, 1), cw::Vec3(1, 1, 1), 1, 1, kLayer3);
         return s.bytes();
     },
     [](World& w, Scene& s, const scenetest::LogCapture&) {
         EXPECT_EQ(w._objectsHaveProperties, 0);
         EXPECT_EQ(w._emptiesHaveAnimation, 0);
         Object* n = s.findObject("crate");
         ASSERT_NE(n, nullptr);
         EXPECT_EQ(n->_layerMask, 3u);
         EXPECT_EQ(s.getGroup("g").size(), 1u);
         EXPECT_EQ(s._lights.size(), 1u);
     }},
    {"BIN1_0_objects_have_properties_and_empties_no_keys",
     [] {
         cw::BinarySceneWriter s("BIN1.0");
         s.object("crate", "objects/props", "box", cw::Vec3(), cw::Vec3(), cw::Vec3(1, 1, 1), {{"off", "3"}, {"k", "v"}},
                  {}, kLayer3, {{0, cw::Vec3(5, 0, 0), cw::Vec3()}});
         s.empty("e", cw::Vec3(1, 1, 1), cw::Vec3(), cw::Vec3(2, 2, 2), {{"a", "1"}, {"a", "2"}}, {"eg"}, kLayer3);
         s.light("sun", cw::Vec3(0, 0, 1), cw::Vec3(1, 1, 1), 1, 1, kLayer3);
         return s.bytes();
     },
     [](World& w, Scene& s, const scenetest::LogCapture&) {
         EXPECT_EQ(w._objectsHaveProperties, 1);
         EXPECT_EQ(w._emptiesHaveAnimation, 0);
         Object* n = s.findObject("crate");
         ASSERT_NE(n, nullptr);
         ASSERT_NE(n->_animation, nullptr);
         EXPECT_EQ(n->_animation->_keys->size(), 1u);
         ASSERT_EQ(s._empties.count("e"), 1u);
         EXPECT_EQ(s._empties["e"]->properties["a"], "1");
         EXPECT_EQ(s._empties["e"]->keys, nullptr);
         EXPECT_EQ(s._empties["e"]->node->_layerMask, 3u);
         EXPECT_EQ(s.getGroup("eg").size(), 1u);
         EXPECT_EQ(s._lights.size(), 1u);
     }},
    {"BIN1_1_empties_have_keys",
     [] {
         cw::BinarySceneWriter s("BIN1.1");
         s.empty("e", cw::Vec3(), cw::Vec3(), cw::Vec3(1, 1, 1), {}, {}, kLayer3, twoKeys());
         s.empty("none", cw::Vec3(), cw::Vec3(), cw::Vec3(1, 1, 1), {}, {}, kLayer3);
         return s.bytes();
     },
     [](World& w, Scene& s, const scenetest::LogCapture&) {
         EXPECT_EQ(w._emptiesHaveAnimation, 1);
         ASSERT_NE(s._empties["e"]->keys, nullptr);
         EXPECT_EQ(s._empties["e"]->keys->size(), 2u);
         EXPECT_EQ(s._empties["e"]->node->_animation, nullptr);
         EXPECT_EQ(s._empties["none"]->keys, nullptr);
     }},
    {"cameras",
     [] {
         cw::BinarySceneWriter s("BIN1.1");
         s.camera("persp", cw::Vec3(0, -5, 1), cw::Vec3(), kLayer3, 1, 90, twoKeys());
         s.camera("ortho", cw::Vec3(), cw::Vec3(), kLayer3, 0, 6);
         return s.bytes();
     },
     [](World& w, Scene& s, const scenetest::LogCapture&) {
         ASSERT_EQ(s._cameras.size(), 2u);
         EXPECT_EQ(w.getCamera(), s._cameras[0]);
         EXPECT_NEAR(s._cameras[0]->_fov, kPi / 2, 1e-5f);
         EXPECT_EQ(s._cameras[0]->_layerMask, 3u);
         ASSERT_NE(s._cameras[0]->_animation, nullptr);
         EXPECT_EQ((*s._cameras[0]->_animation->_keys)[1].value, 2);
         EXPECT_FLOAT_EQ(s._cameras[1]->_orthoWidth, 8);
         EXPECT_FLOAT_EQ(s._cameras[1]->_orthoHeight, 6);
     }},
    {"camera_projection_2_ends_the_file",
     [] {
         cw::BinarySceneWriter s("BIN1.1");
         s.light("before", cw::Vec3(), cw::Vec3(1, 1, 1), 1, 1, kLayer3);
         s.camera("bad", cw::Vec3(), cw::Vec3(), kLayer3, 2, 6);
         s.light("after", cw::Vec3(), cw::Vec3(1, 1, 1), 1, 1, kLayer3);
         return s.bytes();
     },
     [](World& w, Scene& s, const scenetest::LogCapture& log) {
         EXPECT_TRUE(s._cameras.empty());
         EXPECT_EQ(w.getCamera(), nullptr);
         ASSERT_EQ(s._lights.size(), 1u);
         EXPECT_EQ(s._lights[0]->_name, "before");
         EXPECT_TRUE(log.contains("projection 2"));
     }},
    {"unknown_record_ends_the_file",
     [] {
         cw::BinarySceneWriter s("BIN1.1");
         s.light("before", cw::Vec3(), cw::Vec3(1, 1, 1), 1, 1, kLayer3);
         s.out().u16(9);
         s.light("after", cw::Vec3(), cw::Vec3(1, 1, 1), 1, 1, kLayer3);
         return s.bytes();
     },
     [](World&, Scene& s, const scenetest::LogCapture& log) {
         EXPECT_EQ(s._lights.size(), 1u);
         EXPECT_TRUE(log.contains("unknown record type 9"));
     }},
    {"missing_object_still_consumes_its_record",
     [] {
         cw::BinarySceneWriter s("BIN1.1");
         s.object("gone", "objects\\props", "nothing", cw::Vec3(), cw::Vec3(), cw::Vec3(1, 1, 1), {{"a", "b"}},
                  {"g1", "g2"}, kLayer3, twoKeys());
         s.light("after", cw::Vec3(), cw::Vec3(1, 1, 1), 1, 1, kLayer3);
         return s.bytes();
     },
     [](World&, Scene& s, const scenetest::LogCapture& log) {
         EXPECT_TRUE(log.contains("Failed to load object: objects/props/nothing.object"));
         EXPECT_TRUE(s._nodes.empty());
         EXPECT_TRUE(s._groups.empty());
         EXPECT_EQ(s._lights.size(), 1u);
     }},
    {"lights_as_in_the_file_without_the_switch",
     [] {
         cw::BinarySceneWriter s("BIN1.1");
         s.light("sun", cw::Vec3(1, 2, 3), cw::Vec3(0.1f, 0.2f, 0.3f), 1.4f, 0.5f, kLayer3);
         return s.bytes();
     },
     [](World&, Scene& s, const scenetest::LogCapture&) {
         ASSERT_EQ(s._lights.size(), 1u);
         scenetest::expectVec(s._lights[0]->_lightColor, Vector3(0.1f, 0.2f, 0.3f));
         EXPECT_FLOAT_EQ(s._lights[0]->_energy, 1.4f * 0.71428573f);
         EXPECT_EQ(s._lights[0]->_layerMask, 3u);
     }},
    {"lights_recoloured_for_environment_1",
     [] {
         cw::BinarySceneWriter s("BIN1.1");
         s.light("sun", cw::Vec3(1, 2, 3), cw::Vec3(0.1f, 0.2f, 0.3f), 1.4f, 0.5f, kLayer3);
         s.light("moon", cw::Vec3(1, 2, 3), cw::Vec3(0.1f, 0.2f, 0.3f), 1.4f, 0.5f, kLayer3);
         return s.bytes();
     },
     [](World&, Scene& s, const scenetest::LogCapture&) {
         ASSERT_EQ(s._lights.size(), 2u);
         scenetest::expectVec(s._lights[0]->_lightColor, Vector3(1, 0.5f, 0.25f));
         EXPECT_FLOAT_EQ(s._lights[0]->_energy, 2.0f * 0.71428573f);
         scenetest::expectVec(s._lights[1]->_lightColor, Vector3(0.1f, 0.2f, 0.3f));
         EXPECT_FLOAT_EQ(s._lights[1]->_energy, 1.4f * 0.71428573f);
     },
     "[lights]\nenabled = 1\nenv1_sun_color = { 1 0.5 0.25 }\nenv1_sun_energy = 2\nenv2_moon_energy = 9\n"},
    {"text_record",
     [] {
         cw::BinarySceneWriter s("BIN1.1");
         s.text(cw::Vec3(1, 2, 3), cw::Vec3(), cw::Vec3(1, 1, 1), "title", "50% off", 2, "RIGHT", "missing",
                {"texts"});
         return s.bytes();
     },
     [](World& w, Scene& s, const scenetest::LogCapture&) {
         Object* n = s.findObject("title");
         ASSERT_NE(n, nullptr);
         Text* t = dynamic_cast<Text*>(n);
         ASSERT_NE(t, nullptr);
         EXPECT_EQ(t->_text, "50% off");
         EXPECT_EQ(t->_alignH, 2);
         EXPECT_EQ(t->_parent, s._root);
         for (int i = 0; i < 3; ++i)
             EXPECT_NEAR(t->_transform->_local.row3(i).length(), 1.6f, 1e-5f);
         scenetest::expectVec(t->getPosition(), Vector3(1, 2, 3));
         EXPECT_EQ(s.getGroup("texts").size(), 1u);
         EXPECT_EQ(std::count(w._objects.begin(), w._objects.end(), n), 1);
     }},
    {"group_count_beyond_the_file",
     [] {
         cw::BinarySceneWriter s("BINARY");
         s.light("before", cw::Vec3(), cw::Vec3(1, 1, 1), 1, 1, kLayer3);
         cw::LEWriter& w = s.out();
         w.u16(2);
         w.str16("n");
         w.str16("objects/props");
         w.str16("box");
         for (int i = 0; i < 9; ++i)
             w.f32(0);
         w.u16(0xFFFF);
         return s.bytes();
     },
     [](World&, Scene& s, const scenetest::LogCapture& log) {
         EXPECT_TRUE(s._nodes.empty());
         EXPECT_EQ(s._lights.size(), 1u);
         EXPECT_TRUE(log.contains("object group count 65535"));
     }},
    {"key_count_beyond_the_file",
     [] {
         cw::BinarySceneWriter s("BIN1.1");
         cw::LEWriter& w = s.out();
         w.u16(4);
         w.str16("e");
         for (int i = 0; i < 9; ++i)
             w.f32(0);
         w.u16(0);
         w.u16(0);
         for (int i = 0; i < 19; ++i)
             w.u16(0);
         w.s16(0x7FFF);
         return s.bytes();
     },
     [](World&, Scene& s, const scenetest::LogCapture& log) {
         EXPECT_TRUE(s._empties.empty());
         EXPECT_TRUE(log.contains("key frame count 32767"));
     }},
    {"string_longer_than_the_file",
     [] {
         cw::BinarySceneWriter s("BIN1.1");
         s.out().u16(3);
         s.out().u16(0xFFFF);
         s.out().raw("abc");
         return s.bytes();
     },
     [](World&, Scene& s, const scenetest::LogCapture& log) {
         EXPECT_TRUE(s._lights.empty());
         EXPECT_TRUE(log.contains("light name claims 65535 bytes"));
     }},
};

class BinaryScenes : public SceneFileTest, public ::testing::WithParamInterface<BinaryCase> {};

TEST_P(BinaryScenes, Read) {
    const BinaryCase& c = GetParam();
    if (c.config) {
        writeData("configs/lights.txt", std::string(c.config));
        ConfigStore::instance().loadFile("configs/lights.txt", nullptr);
    }
    scenetest::LogCapture log;
    Scene* scene = loadBinary(c.bytes());
    ASSERT_NE(scene, nullptr);
    c.check(*world(), *scene, log);
}

INSTANTIATE_TEST_SUITE_P(Records, BinaryScenes, ::testing::ValuesIn(kBinaryCases),
                         [](const ::testing::TestParamInfo<BinaryCase>& info) { return info.param.name; });

class SceneFiles : public SceneFileTest {};

// Every cut of a binary scene: a cut at a record boundary is a shorter valid file; any other
// cut is a logged error that keeps the records before it.
TEST_F(SceneFiles, EveryTruncationOfABinarySceneIsSafe) {
    cw::BinarySceneWriter s("BIN1.1");
    std::vector<size_t> boundaries = {s.bytes().size()};
    s.camera("cam", cw::Vec3(), cw::Vec3(), kLayer3, 1, 50, twoKeys());
    boundaries.push_back(s.bytes().size());
    s.light("sun", cw::Vec3(), cw::Vec3(1, 1, 1), 1, 1, kLayer3);
    boundaries.push_back(s.bytes().size());
    s.object("crate", "objects/props", "box", cw::Vec3(), cw::Vec3(), cw::Vec3(1, 1, 1), {{"k", "v"}}, {"g"}, kLayer3,
             twoKeys());
    boundaries.push_back(s.bytes().size());
    s.empty("e", cw::Vec3(), cw::Vec3(), cw::Vec3(1, 1, 1), {{"k", "v"}}, {"g"}, kLayer3, twoKeys());
    boundaries.push_back(s.bytes().size());
    s.text(cw::Vec3(), cw::Vec3(), cw::Vec3(1, 1, 1), "t", "text", 1, "LEFT", "f", {"g"});
    boundaries.push_back(s.bytes().size());
    const std::vector<uint8_t> bytes = s.bytes();

    for (size_t length = 0; length <= bytes.size(); ++length) {
        const std::string path = "cut/" + std::to_string(length) + ".bin";
        writeData(path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + length));
        scenetest::LogCapture log;
        Scene* scene = world()->loadScene(path, 1, 0);
        const size_t whole = std::upper_bound(boundaries.begin(), boundaries.end(), length) - boundaries.begin();
        const size_t made = scene->_cameras.size() + scene->_lights.size() + scene->_empties.size() +
                            scene->_nodes.size();
        if (length < 6) {
            EXPECT_EQ(made, 0u) << length;  // read as text
            continue;
        }
        EXPECT_EQ(made, whole - 1) << length;
        const bool atBoundary = std::find(boundaries.begin(), boundaries.end(), length) != boundaries.end();
        EXPECT_EQ(log.contains("[World::loadBinary]"), !atBoundary) << length;
    }
}

// The same key list in a text line and in a binary record give the same node.
TEST_F(SceneFiles, TextAndBinaryAgree) {
    cw::BinarySceneWriter s("BIN1.1");
    s.object("crate", "objects/props", "box", cw::Vec3(1, 2, 3), cw::Vec3(0.1f, 0.2f, 0.3f), cw::Vec3(1, 2, 3), {},
             {"g"}, cw::Layers::bits(5));
    Scene* binary = loadBinary(s.bytes());
    Scene* text = loadText("crate box objects/props 1 2 3 0.1 0.2 0.3 1 2 3 " + layerWords(5) + " groups = [ g ]\n");
    Object* a = binary->findObject("crate");
    Object* b = text->findObject("crate");
    ASSERT_TRUE(a && b);
    scenetest::expectMatrix(a->_transform->_local, b->_transform->_local);
    EXPECT_EQ(a->_layerMask, b->_layerMask);
}

}  // namespace
