// Material files: every key, the texture entries and their suffixes, and each content error
// with its message (the entry skipped, parsing going on).

#include <gtest/gtest.h>

#include <functional>

#include "engine/render/Material.h"
#include "engine/render/ResourceManager.h"
#include "engine/render/Shader.h"
#include "engine/render/Texture.h"
#include "support_RenderFixtures.h"

using namespace renderfixtures;
using testsupport::writeFile;

namespace {

// A bundle in a temporary folder holding two textures and a shader.
class MaterialFiles : public ::testing::Test {
protected:
    MaterialFiles() : _stores(_bundle.path(), _documents.path()) {
        std::vector<uint8_t> tga = tgaHeader(2, 4, 4, 24);
        std::vector<uint8_t> px = pattern(4, 4, 3);
        tga.insert(tga.end(), px.begin(), px.end());
        writeFile(_bundle.file("data/textures/a.tga"), tga);
        writeFile(_bundle.file("data/textures/b c.tga"), tga);
        writeFile(_bundle.file("data/shaders/s.shader"), std::string("// shader\n"));
        ResourceManager::instance().resetForTests();
    }
    ~MaterialFiles() override { ResourceManager::instance().resetForTests(); }

    // Parses text as a material; errors of the material parser collected in order.
    Material* load(const std::string& text) {
        static int n = 0;
        std::string name = "materials/m" + std::to_string(++n) + ".txt";
        writeFile(_bundle.file("data/" + name), text);
        LogCapture log;
        Material* m = ResourceManager::instance().getMaterial(name);
        _errors.clear();
        _allErrors = log.errors();
        for (const std::string& e : _allErrors)
            if (e.rfind("[Material::load] ", 0) == 0)
                _errors.push_back(e);
        return m;
    }

    Texture* texture(const char* name) { return ResourceManager::instance()._textures[name]; }

    testsupport::TempDir _bundle, _documents;
    testsupport::ScopedStores _stores;
    std::vector<std::string> _errors, _allErrors;
};

typedef std::vector<std::string> Lines;

}  // namespace

TEST_F(MaterialFiles, EmptyFileKeepsEveryDefault) {
    Material* m = load("");
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(Vector4(1, 1, 1, 1), m->_colour);
    EXPECT_EQ(BlendNone, m->_blendMode);
    EXPECT_EQ(CullBack, m->_cullMode);
    EXPECT_EQ(nullptr, m->_shader);
    EXPECT_EQ(1, m->_depthWrite);
    EXPECT_EQ(1, m->_depthTest);
    EXPECT_EQ(1, m->_colorWrite);
    EXPECT_EQ(0, m->_alphatestEnabled);
    EXPECT_EQ(0.2f, m->_emit);
    EXPECT_EQ(0, m->_uvAnimSpeed);
    EXPECT_EQ(0u, m->_uvAnimWidth);
    EXPECT_TRUE(m->_textures.empty());
    EXPECT_EQ(0, m->_orderID);
    EXPECT_TRUE(_allErrors.empty());
}

TEST_F(MaterialFiles, EveryKeySetsItsField) {
    Material* m = load(
        "shader = shaders/s.shader\n"
        "// textures and their sampling\n"
        "texture0 = textures/a.tga\n"
        "texture1 = \"textures/b c.tga\"  // quoted: the name holds a space\n"
        "texture0_addressMode = clamp\n"
        "texture1_maxAniso = 8\n"
        "texture0_generateMipMap = true\n"
        "texture1_colorizer = 1\n"
        "blendMode = additive\n"
        "cullMode = front\n"
        "depthWrite = false\n"
        "colorWrite = 0\n"
        "depthTest = false\n"
        "emit = 0.75\n"
        "uvAnimWidth = 4\n"
        "uvAnimNumberOfFrames = 10\n"
        "uvAnimSpeed = 12.5\n"
        "uvAnimScrollSpeedU = 0.25\n"
        "uvAnimScrollSpeedV = -0.5\n"
        "alphatestEnabled = true\n"
        "orderID = -7\n");
    ASSERT_NE(nullptr, m);
    EXPECT_TRUE(_allErrors.empty()) << _allErrors[0];
    EXPECT_EQ(ResourceManager::instance().getShader("shaders/s.shader"), m->_shader);
    ASSERT_EQ(2u, m->_textures.size());
    EXPECT_EQ(texture("textures/a.tga"), m->_textures[0]);
    EXPECT_EQ(texture("textures/b c.tga"), m->_textures[1]);
    EXPECT_EQ(AddressClamp, m->_textures[0]->_addressMode);
    EXPECT_EQ(8.0f, m->_textures[1]->_maxAniso);
    EXPECT_EQ(3, m->_textures[0]->_levelCount);  // 4x4 -> 2x2 -> 1x1
    EXPECT_EQ(TextureRGBColorizer, m->_textures[1]->_format);
    EXPECT_EQ(BlendAdditive, m->_blendMode);
    EXPECT_EQ(CullFront, m->_cullMode);
    EXPECT_EQ(0, m->_depthWrite);
    EXPECT_EQ(0, m->_colorWrite);
    EXPECT_EQ(0, m->_depthTest);
    EXPECT_EQ(0.75f, m->_emit);
    EXPECT_EQ(4u, m->_uvAnimWidth);
    EXPECT_EQ(10u, m->_uvAnimNumberOfFrames);
    EXPECT_EQ(12.5f, m->_uvAnimSpeed);
    EXPECT_EQ(0.25f, m->_uvAnimScrollSpeedU);
    EXPECT_EQ(-0.5f, m->_uvAnimScrollSpeedV);
    EXPECT_EQ(1, m->_alphatestEnabled);
    EXPECT_EQ(-7, m->_orderID);
}

TEST_F(MaterialFiles, KeysAndModeWordsMatchByPrefix) {
    struct Case {
        const char* text;
        std::function<void(const Material&)> check;
        Lines errors;
    };
    std::vector<Case> cases = {
        {"blendMode = premult_alpha_blend", [](const Material& m) { EXPECT_EQ(BlendPremultAlpha, m._blendMode); }, {}},
        {"blendMode = alpha_blend", [](const Material& m) { EXPECT_EQ(BlendAlpha, m._blendMode); }, {}},
        {"blendMode = alpha_blending", [](const Material& m) { EXPECT_EQ(BlendAlpha, m._blendMode); }, {}},
        {"blendMode = additive\nblendMode = nonetheless", [](const Material& m) { EXPECT_EQ(BlendNone, m._blendMode); }, {}},
        {"cullModeX = none", [](const Material& m) { EXPECT_EQ(CullNone, m._cullMode); }, {}},
        {"cullMode = backside", [](const Material& m) { EXPECT_EQ(CullBack, m._cullMode); }, {}},
        {"shaderX = shaders/s.shader", [](const Material& m) { EXPECT_NE(nullptr, m._shader); }, {}},
        {"emitter = 0.5", [](const Material& m) { EXPECT_EQ(0.5f, m._emit); }, {}},
        {"orderIDs = 3", [](const Material& m) { EXPECT_EQ(0, m._orderID); },
         {"[Material::load] invalid token: orderIDs", "[Material::load] invalid token: =",
          "[Material::load] invalid token: 3"}},
        {"texture256 = textures/a.tga", [](const Material& m) { EXPECT_EQ(1u, m._textures.size()); }, {}},
        {"texture0 = textures/a.tga\ntexture+1 = textures/a.tga",
         [](const Material& m) { EXPECT_EQ(2u, m._textures.size()); }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Material* m = load(c.text);
        ASSERT_NE(nullptr, m);
        c.check(*m);
        EXPECT_EQ(c.errors, _errors);
    }
}

TEST_F(MaterialFiles, EachContentErrorIsLoggedAndTheEntrySkipped) {
    struct Case {
        const char* name;
        const char* text;
        Lines errors;
        std::function<void(const Material&)> check;
    };
    std::vector<Case> cases = {
        {"unknown key", "sparkle = 1\nemit = 0.5",
         {"[Material::load] invalid token: sparkle", "[Material::load] invalid token: =",
          "[Material::load] invalid token: 1"},
         [](const Material& m) { EXPECT_EQ(0.5f, m._emit); }},
        {"blend mode", "blendMode = multiply\ncullMode = none", {"[Material::load] invalid blend mode: multiply"},
         [](const Material& m) {
             EXPECT_EQ(BlendNone, m._blendMode);
             EXPECT_EQ(CullNone, m._cullMode);
         }},
        {"cull mode", "cullMode = sideways\nemit = 1", {"[Material::load] invalid cull mode: sideways"},
         [](const Material& m) {
             EXPECT_EQ(CullBack, m._cullMode);
             EXPECT_EQ(1.0f, m._emit);
         }},
        {"suffix before its texture", "texture0_maxAniso = 4\ntexture0 = textures/a.tga",
         {"[Material::load] invalid texture index: 0", "[Material::load] invalid token: =",
          "[Material::load] invalid token: 4"},
         [](const Material& m) {
             ASSERT_EQ(1u, m._textures.size());
             EXPECT_EQ(0.0f, m._textures[0]->_maxAniso);
         }},
        {"suffix of a later index", "texture0 = textures/a.tga\ntexture3_colorizer = true",
         {"[Material::load] invalid texture index: 3", "[Material::load] invalid token: =",
          "[Material::load] invalid token: true"},
         [](const Material& m) { EXPECT_EQ(TextureRGB, m._textures[0]->_format); }},
        {"address mode", "texture0 = textures/a.tga\ntexture0_addressMode = mirror",
         {"[Material::load] invalid address mode: mirror"},
         [](const Material& m) { EXPECT_EQ(AddressRepeat, m._textures[0]->_addressMode); }},
        // (A file word starting with "texture" would itself be read as a texture key.)
        {"texture entry skipping an index", "texture1 = maps/a.tga",
         {"[Material::load] invalid token: =", "[Material::load] invalid token: maps/a.tga"},
         [](const Material& m) { EXPECT_TRUE(m._textures.empty()); }},
        {"missing texture file", "texture0 = textures/none.png\ntexture0 = textures/a.tga", {},
         [](const Material& m) { EXPECT_EQ(1u, m._textures.size()); }},
        {"missing shader file", "shader = shaders/none.shader", {},
         [](const Material& m) { EXPECT_EQ(nullptr, m._shader); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Material* m = load(c.text);
        ASSERT_NE(nullptr, m);
        EXPECT_EQ(c.errors, _errors);
        c.check(*m);
    }
}

TEST_F(MaterialFiles, TokenizerErrorsEndParsingKeepingWhatWasRead) {
    struct Case {
        const char* name;
        const char* text;
        const char* tokenizerMessage;
        std::function<void(const Material&)> check;
    };
    std::vector<Case> cases = {
        {"missing equals sign", "cullMode = none\ntexture0 = textures/a.tga\nemit 0.5\ndepthTest = false",
         "<CTokenizer::Skip> Wrong token (received: \"0.5\", expected: \"=\")",
         [](const Material& m) {
             EXPECT_EQ(CullNone, m._cullMode);
             EXPECT_EQ(1u, m._textures.size());
             EXPECT_EQ(0.2f, m._emit);
             EXPECT_EQ(1, m._depthTest);
         }},
        {"not a boolean", "emit = 0.9\ndepthWrite = maybe\nemit = 0.1",
         "<CTokenizer::NextBool> unacceptable token (maybe)", [](const Material& m) {
             EXPECT_EQ(0.9f, m._emit);
             EXPECT_EQ(1, m._depthWrite);
         }},
        {"value missing at the end", "orderID = 4\nemit =", "<CTokenizer::Next> c == EOF",
         [](const Material& m) { EXPECT_EQ(4, m._orderID); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Material* m = load(c.text);
        ASSERT_NE(nullptr, m);
        EXPECT_TRUE(_errors.empty());
        bool found = false;
        for (const std::string& e : _allErrors)
            found = found || e.find(c.tokenizerMessage) != std::string::npos;
        EXPECT_TRUE(found) << c.tokenizerMessage;
        c.check(*m);
    }
}

TEST_F(MaterialFiles, AShaderNamingAFolderIsRefused) {
    // A folder opens for reading and used to measure as 4 GiB, which the shader then allocated.
    writeFile(_bundle.file("data/particles/spark.txt"), std::string("x"));
    Material* m = load("shader = particles\n");
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(nullptr, m->_shader);
    EXPECT_EQ(0u, ResourceManager::instance()._shaders.count("particles"));
    ASSERT_EQ(_allErrors.size(), 1u);
    EXPECT_EQ(_allErrors[0], "[File::open] '" + _bundle.file("data/particles") + "' is a folder");
}
