// Object files: every version and child kind, the cache, and damaged files.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/render/Geometry.h"
#include "engine/render/ResourceManager.h"
#include "engine_game/ObjectNode.h"
#include "engine_game/World.h"
#include "support_scene.h"
#include "support_world.h"

namespace {

using namespace worldtest;

struct ObjectCase {
    const char* name;
    std::function<cw::ObjectFileDesc()> make;
    std::function<void(World&, ObjectNode&)> check;
};

cw::ObjectNodeDesc textChild(const std::string& name, const std::string& text, float size,
                             const std::string& alignment, const std::string& font) {
    cw::ObjectNodeDesc c;
    c.isText = true;
    c.name = name;
    c.text = text;
    c.size = size;
    c.alignment = alignment;
    c.font = font;
    c.rotation = cw::Vec3(0.5f, 0, 0);
    c.scale = cw::Vec3(2, 2, 2);
    return c;
}

cw::ObjectNodeDesc plainChild(const std::string& name, const cw::Properties& properties = {}) {
    cw::ObjectNodeDesc c;
    c.name = name;
    c.position = cw::Vec3(1, 2, 3);
    c.rotation = cw::Vec3(0.1f, 0.2f, 0.3f);
    c.scale = cw::Vec3(4, 5, 6);
    cw::MaterialRangeDesc r;
    r.material = "none";
    r.firstIndex = 6;
    r.indexCount = 6;
    c.ranges.push_back(r);
    c.properties = properties;
    return c;
}

const ObjectCase kCases[] = {
    {"v0_untagged_children_have_no_kind",
     [] {
         cw::ObjectFileDesc f = boxObject("top", cw::Vec3(1, 1, 1), {{"a", "1"}}, 0);
         f.top.children.push_back(plainChild("child"));
         return f;
     },
     [](World&, ObjectNode& n) {
         EXPECT_EQ(n._version, 0);
         EXPECT_EQ(n._name, "top");
         ASSERT_EQ(n._children.size(), 1u);
         ObjectNode* c = n._children[0];
         EXPECT_EQ(c->_name, "child");
         EXPECT_EQ(c->_version, 0);
         EXPECT_EQ(c->_geometry, n._geometry);
         scenetest::expectVec(c->_position, Vector3(1, 2, 3));
         scenetest::expectVec(c->_scale, Vector3(4, 5, 6));
         ASSERT_EQ(c->_ranges.size(), 1u);
         EXPECT_EQ(c->_ranges[0].firstIndex, 6);
         EXPECT_TRUE(c->_texts.empty());
         EXPECT_EQ(*n.property("a"), "1");
         EXPECT_EQ(n._geometry->_indexCount, 36u);
     }},
    {"v1_text_child_keeps_scale_and_has_no_alignment_or_font",
     [] {
         cw::ObjectFileDesc f = boxObject("top", cw::Vec3(1, 1, 1), {}, 1);
         f.top.children.push_back(textChild("label", "100%", 3, "RIGHT", "big"));
         return f;
     },
     [](World&, ObjectNode& n) {
         EXPECT_EQ(n._version, 1);
         ASSERT_EQ(n._children.size(), 1u);
         ObjectNode* c = n._children[0];
         EXPECT_EQ(c->_name, "label");
         ASSERT_EQ(c->_texts.size(), 1u);
         EXPECT_EQ(c->_texts[0].text, "100%");
         EXPECT_EQ(c->_texts[0].alignment, "");
         EXPECT_EQ(c->_texts[0].font, "");
         scenetest::expectVec(c->_scale, Vector3(2, 2, 2));
         EXPECT_FLOAT_EQ(c->_rotation.x, 0.5f - 1.5707964f);
     }},
    {"v2_text_child_scaled_by_size_and_text_scale",
     [] {
         cw::ObjectFileDesc f = boxObject("top", cw::Vec3(1, 1, 1), {}, 2);
         f.top.children.push_back(textChild("label", "hi", 1, "RIGHT", "big"));
         return f;
     },
     [](World&, ObjectNode& n) {
         ASSERT_EQ(n._children.size(), 1u);
         ObjectNode* c = n._children[0];
         scenetest::expectVec(c->_scale, Vector3(1.6f, 1.6f, 1.6f));
         EXPECT_EQ(c->_texts[0].alignment, "RIGHT");
         EXPECT_EQ(c->_texts[0].font, "");
     }},
    {"v3_text_child_with_font",
     [] {
         cw::ObjectFileDesc f = boxObject("top", cw::Vec3(1, 1, 1), {}, 3);
         f.top.children.push_back(textChild("label", "hi", 2, "CENTER", "big"));
         f.top.children.push_back(plainChild("after"));
         return f;
     },
     [](World&, ObjectNode& n) {
         ASSERT_EQ(n._children.size(), 2u);
         scenetest::expectVec(n._children[0]->_scale, Vector3(3.2f, 3.2f, 3.2f));
         EXPECT_EQ(n._children[0]->_texts[0].font, "big");
         EXPECT_EQ(n._children[1]->_name, "after");
         EXPECT_EQ(n._version, 3);
         EXPECT_EQ(n._children[1]->_version, 3);
     }},
    {"v1_other_child_kinds_carry_a_node",
     [] {
         cw::ObjectFileDesc f = boxObject("top", cw::Vec3(1, 1, 1), {}, 1);
         cw::ObjectNodeDesc c = plainChild("seven", {{"off", "20"}});
         c.kind = 7;
         f.top.children.push_back(c);
         return f;
     },
     [](World&, ObjectNode& n) {
         ASSERT_EQ(n._children.size(), 1u);
         EXPECT_EQ(n._children[0]->_name, "seven");
         EXPECT_EQ(*n._children[0]->property("off"), "20");
     }},
    {"own_properties_come_first_and_keep_their_value",
     [] {
         cw::ObjectFileDesc f = boxObject("top", cw::Vec3(1, 1, 1), {{"k", "trailing"}, {"t", "2"}}, 2);
         f.top.properties = {{"k", "own"}, {"k", "again"}};
         return f;
     },
     [](World&, ObjectNode& n) {
         EXPECT_EQ(*n.property("k"), "own");
         EXPECT_EQ(*n.property("t"), "2");
     }},
    {"ranges_in_vertices_of_eleven_floats",
     [] {
         cw::ObjectFileDesc f = boxObject("top");
         cw::MaterialRangeDesc a;
         a.material = "none";
         a.firstFloat = 11;
         a.floatCount = 22;
         a.indexCount = 3;
         cw::MaterialRangeDesc b;
         b.material = "also_none";
         b.firstFloat = 33;
         b.floatCount = 10;
         f.top.ranges = {a, b};
         return f;
     },
     [](World&, ObjectNode& n) {
         ASSERT_EQ(n._ranges.size(), 2u);
         EXPECT_EQ(n._ranges[0].firstVertex, 1u);
         EXPECT_EQ(n._ranges[0].lastVertex, 2u);
         EXPECT_EQ(n._ranges[0].indexCount, 3);
         EXPECT_EQ(n._ranges[1].firstVertex, 3u);
         EXPECT_EQ(n._ranges[1].lastVertex, 3u);
         EXPECT_EQ(n._ranges[0].material, nullptr);  // no such material file
     }},
    {"key_frames",
     [] {
         cw::ObjectFileDesc f = boxObject("top");
         f.top.keys = {{cw::Vec3(1, 2, 3), cw::Vec3(0.1f, 0, 0)}, {cw::Vec3(4, 5, 6), cw::Vec3(0, 0.2f, 0)}};
         return f;
     },
     [](World&, ObjectNode& n) {
         ASSERT_NE(n._keys, nullptr);
         ASSERT_EQ(n._keys->size(), 2u);
         scenetest::expectVec((*n._keys)[1].position, Vector3(4, 5, 6));
         scenetest::expectVec((*n._keys)[1].angles, Vector3(0, 0.2f, 0));
         EXPECT_EQ((*n._keys)[1].value, 0.0f);
     }},
    {"decal_names_are_listed_once",
     [] {
         cw::ObjectFileDesc f = boxObject("top", cw::Vec3(1, 1, 1), {{"decal", "tar"}}, 1);
         f.top.children.push_back(plainChild("a", {{"decal", "tar"}}));
         f.top.children.push_back(plainChild("b", {{"decal", "oil"}}));
         return f;
     },
     [](World& w, ObjectNode&) {
         ASSERT_EQ(w._decalNames.size(), 2u);
         EXPECT_EQ(w._decalNames[0], "tar");
         EXPECT_EQ(w._decalNames[1], "oil");
     }},
    {"legacy_mesh_data",
     [] {
         std::vector<cw::Vertex> v;
         std::vector<uint16_t> i;
         cw::appendBox(v, i, cw::Vec3(0, 0, 0), cw::Vec3(2, 2, 2));
         cw::ObjectFileDesc f;
         f.version = 0;
         f.top.name = "legacy";
         f.top.ranges.push_back(cw::wholeRange("none", (uint32_t)v.size(), (uint32_t)i.size()));
         f.mesh = cw::makeLegacyMesh(v, i);
         return f;
     },
     [](World&, ObjectNode& n) {
         EXPECT_EQ(n._geometry->_vertexCount, 24u);
         EXPECT_EQ(n._geometry->_stride, 44u);
         EXPECT_EQ(n._ranges[0].lastVertex, 23u);
     }},
};

class ObjectFileCases : public WorldFixture, public ::testing::WithParamInterface<ObjectCase> {};

TEST_P(ObjectFileCases, Reads) {
    const ObjectCase& c = GetParam();
    const std::string path = std::string("objects/") + c.name + ".object";
    writeObject(path, c.make());
    ObjectNode* node = world()->loadObjectFile(path);
    ASSERT_NE(node, nullptr);
    c.check(*world(), *node);
}

INSTANTIATE_TEST_SUITE_P(Versions, ObjectFileCases, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ObjectCase>& info) { return info.param.name; });

class ObjectFiles : public WorldFixture {};

TEST_F(ObjectFiles, LoadedOnceAndCachedByPath) {
    writeObject("a.object", boxObject("a"));
    ObjectNode* first = world()->loadObjectFile("a.object");
    ASSERT_NE(first, nullptr);
    // Gone from the disk: the cache answers.
    std::remove(_dir.file("data/a.object").c_str());
    EXPECT_EQ(world()->loadObjectFile("a.object"), first);
}

TEST_F(ObjectFiles, MissingFileIsNotCached) {
    scenetest::LogCapture log;
    EXPECT_EQ(world()->loadObjectFile("late.object"), nullptr);
    EXPECT_EQ(world()->_objectFiles.count("late.object"), 0u);
    writeObject("late.object", boxObject("late"));
    EXPECT_NE(world()->loadObjectFile("late.object"), nullptr);
}

// Every cut of a file short of its end is an error: nothing is cached and nothing is read past
// the bytes the file holds (the sanitizer build checks the latter).
TEST_F(ObjectFiles, EveryTruncationFails) {
    for (int version = 0; version <= 3; ++version) {
        cw::ObjectFileDesc f = boxObject("top", cw::Vec3(1, 1, 1), {{"p", "q"}}, version);
        f.top.keys = {{cw::Vec3(1, 2, 3), cw::Vec3(0, 0, 0)}};
        f.top.properties = {{"own", "x"}};
        f.top.children.push_back(plainChild("child", {{"c", "d"}}));
        if (version >= 1)
            f.top.children.push_back(textChild("label", "text", 1, "LEFT", "font"));
        const std::vector<uint8_t> bytes = cw::writeObjectFile(f);
        for (size_t length = 0; length < bytes.size(); ++length) {
            const std::string path = "cut/v" + std::to_string(version) + "_" + std::to_string(length) + ".object";
            writeData(path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + length));
            scenetest::LogCapture log;
            EXPECT_EQ(world()->loadObjectFile(path), nullptr) << path;
            EXPECT_FALSE(log.lines.empty()) << path;
        }
        const std::string whole = "cut/v" + std::to_string(version) + "_whole.object";
        writeData(whole, bytes);
        EXPECT_NE(world()->loadObjectFile(whole), nullptr) << whole;
        EXPECT_TRUE(world()->_objectFiles.size() == (size_t)version + 1);
    }
}

struct HostileCase {
    const char* name;
    std::function<std::vector<uint8_t>()> bytes;
    const char* message;
};

// A node header of the given counts followed by nothing else of substance.
std::vector<uint8_t> nodeHeader(uint16_t materials, uint16_t firstLength) {
    cw::LEWriter w;
    w.raw("v1.2", 4);
    w.str16("top");
    w.u16(materials);
    w.u16(firstLength);
    w.raw(std::string(40, '\0'));
    return w.bytes;
}

std::vector<uint8_t> deepFile(int depth) {
    cw::LEWriter w;
    for (int d = 0; d <= depth; ++d) {
        if (d > 0)
            for (int k = 0; k < 9; ++k)
                w.f32(1.0f);
        w.str16("n");
        w.u16(0);
        w.u16(0);
        w.u16(d < depth ? 1 : 0);
    }
    w.u16(0);  // trailing properties
    std::vector<cw::Vertex> v;
    std::vector<uint16_t> i;
    cw::appendBox(v, i, cw::Vec3(0, 0, 0), cw::Vec3(1, 1, 1));
    cw::writeMeshData(w, cw::makeMesh(v, i));
    return w.bytes;
}

const HostileCase kHostile[] = {
    {"material_count_beyond_the_file", [] { return nodeHeader(0xFFFF, 4); }, "material count"},
    {"key_count_beyond_the_file", [] { return nodeHeader(0, 0xFFFF); }, "key frame count"},
    {"name_longer_than_the_file",
     [] {
         cw::LEWriter w;
         w.raw("v1.2", 4);
         w.u16(0xFFFF);
         w.raw("abc");
         return w.bytes;
     },
     "node name"},
    {"child_count_beyond_the_file",
     [] {
         cw::LEWriter w;
         w.raw("v1.2", 4);
         w.str16("top");
         w.u16(0);
         w.u16(0);
         w.u16(0);       // own properties
         w.u16(0xFFFF);  // children
         w.raw(std::string(100, '\0'));
         return w.bytes;
     },
     "child count"},
    {"property_count_beyond_the_file",
     [] {
         cw::LEWriter w;
         w.raw("v1.0", 4);
         w.str16("top");
         w.u16(0);
         w.u16(0);
         w.u16(0x8000);
         return w.bytes;
     },
     "property count"},
    {"children_nested_too_deep", [] { return deepFile(1000); }, "nested deeper"},
    {"range_past_the_indices",
     [] {
         cw::ObjectFileDesc f = boxObject("top");
         f.top.ranges[0].firstIndex = 30;
         f.top.ranges[0].indexCount = 12;
         return cw::writeObjectFile(f);
     },
     "passes the 36 indices"},
    {"child_range_past_the_indices",
     [] {
         cw::ObjectFileDesc f = boxObject("top");
         cw::ObjectNodeDesc c = plainChild("child");
         c.ranges[0].firstIndex = 36;
         c.ranges[0].indexCount = 3;
         f.top.children.push_back(c);
         return cw::writeObjectFile(f);
     },
     "passes the 36 indices"},
    {"index_past_the_vertices",
     [] {
         cw::ObjectFileDesc f = boxObject("top");
         f.mesh.indices[5] = 500;
         return cw::writeObjectFile(f);
     },
     "mesh data"},
};

class HostileObjectFiles : public WorldFixture, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileObjectFiles, AreLoggedErrors) {
    const HostileCase& c = GetParam();
    const std::string path = std::string("bad/") + c.name + ".object";
    writeData(path, c.bytes());
    scenetest::LogCapture log;
    EXPECT_EQ(world()->loadObjectFile(path), nullptr);
    EXPECT_TRUE(log.contains(c.message)) << (log.lines.empty() ? std::string("(no log)") : log.lines.back());
    EXPECT_EQ(world()->_objectFiles.count(path), 0u);
}

INSTANTIATE_TEST_SUITE_P(Damaged, HostileObjectFiles, ::testing::ValuesIn(kHostile),
                         [](const ::testing::TestParamInfo<HostileCase>& info) { return info.param.name; });

TEST_F(ObjectFiles, NestingUpToTheLimitReads) {
    writeData("deep.object", deepFile(World::MaxObjectNodeDepth));
    ObjectNode* n = world()->loadObjectFile("deep.object");
    ASSERT_NE(n, nullptr);
    int depth = 0;
    while (!n->_children.empty()) {
        n = n->_children[0];
        ++depth;
    }
    EXPECT_EQ(depth, (int)World::MaxObjectNodeDepth);
}

}  // namespace
