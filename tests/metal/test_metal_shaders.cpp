// The game's Metal shader classes: struct layouts, lookups, registration, and agreement with the
// functions of the shader library they name.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

#include "engine/plat_linux/metal/Metal.h"
#include "engine/render/Geometry.h"
#include "engine/render/ResourceManager.h"
#include "game/metal/MetalShaders.h"

namespace {

struct ClassRow {
    const char* file;
    const char* name;
    std::function<MetalShader*()> make;
    std::vector<int> sizes;
    int perInstanceStruct;  // -1: none
    int stage;
    bool floatColour;
};

const std::vector<ClassRow>& classTable() {
    static const std::vector<ClassRow> rows = {
        {"shaders/decal.shader", "DecalShader", [] { return new DecalShader(); }, {192}, 0, 1, false},
        {"particles/particles.shader", "ParticlesShader", [] { return new ParticlesShader(); }, {192}, 0, 1, false},
        {"shaders/brightpass.shader", "BrightpassShader", [] { return new BrightpassShader(); }, {8}, -1, 0, true},
        {"shaders/blur_h.shader", "BlurHShader", [] { return new BlurHShader(); }, {16}, -1, 1, true},
        {"shaders/blur_v.shader", "BlurVShader", [] { return new BlurVShader(); }, {16}, -1, 2, true},
        {"shaders/combine.shader", "CombineShader", [] { return new CombineShader(); }, {4}, -1, 1, true},
        {"shaders/debugdraw.shader", "DebugDrawShader", [] { return new DebugDrawShader(); }, {192}, -1, 1, false},
        {"shaders/menu.shader", "MenuShader", [] { return new MenuShader(); }, {128, 80}, 1, 1, false},
        {"shaders/model.shader", "ModelShader", [] { return new ModelShader(); }, {288, 128}, 1, 1, false},
        {"shaders/text.shader", "TextShader", [] { return new TextShader(); }, {128, 80}, 1, 1, true},
        {"shaders/model_ref.shader", "ModelRefShader", [] { return new ModelRefShader(); }, {272, 112}, 1, 1, false},
        {"shaders/stencilmask.shader", "StencilMaskShader", [] { return new StencilMaskShader(); }, {192}, 0, 1, false},
        {"shaders/menu_progressbar.shader", "MenuProgressbarShader", [] { return new MenuProgressbarShader(); }, {224},
         0, 1, false},
        {"shaders/uvscroll.shader", "UVScrollShader", [] { return new UVScrollShader(); }, {144, 96}, 1, 2, false},
        {"shaders/sky.shader", "SkyShader", [] { return new SkyShader(); }, {192}, 0, 1, false},
        {"shaders/outline.shader", "OutlineShader", [] { return new OutlineShader(); }, {224}, 0, 1, false},
    };
    return rows;
}

TEST(MetalShaderClasses, EveryClassValidatesAndDescribesItself) {
    for (const ClassRow& row : classTable()) {
        std::unique_ptr<MetalShader> s(row.make());
        SCOPED_TRACE(row.name);
        s->validateUniforms();  // stops the program on a mismatch
        EXPECT_STREQ(s->getName(), row.name);
        EXPECT_EQ(std::string(s->getVertexFunctionName()), std::string(row.name) + "VertexShader");
        EXPECT_EQ(std::string(s->getFragmentFunctionName()), std::string(row.name) + "FragmentShader");
        EXPECT_EQ(s->getUniformStage(), row.stage);
        ASSERT_EQ(s->getNumberOfUniformStructs(), (int)row.sizes.size());
        for (int st = 0; st < (int)row.sizes.size(); ++st) {
            EXPECT_EQ((int)MetalShader::structByteSize(s->getUniforms(st)), row.sizes[st]) << "struct " << st;
            EXPECT_EQ(s->isPerInstanceStruct(st), st == row.perInstanceStruct ? 1 : 0) << "struct " << st;
            if (row.sizes.size() == 2) {
                EXPECT_EQ(s->getUniformStructSize(st), row.sizes[st]);
            }
        }
        if (row.sizes.size() == 2) {
            EXPECT_EQ(s->getUniformStructSize(2), 0);
        } else {
            EXPECT_EQ(s->getUniformSize(), row.sizes[0]);
        }

        const std::vector<MetalVertexAttribute>& a = s->getAttributes();
        ASSERT_EQ(a.size(), 4u);
        EXPECT_EQ(a[0].name, "vertPos");
        EXPECT_EQ(a[1].name, "texCoords0");
        EXPECT_EQ(a[2].name, "vertNormal");
        EXPECT_EQ(a[3].name, "vertColor");
        EXPECT_EQ(a[3].type, row.floatColour ? 0 : 1);
        EXPECT_EQ(a[3].components, row.floatColour ? 3 : 4);
    }
}

// What the classes declare must be what their library functions read.
TEST(MetalShaderClasses, AgreeWithTheLibraryFunctionsTheyName) {
    mtl::Device device;
    mtl::LibraryPtr library = device.newDefaultLibrary();
    for (const ClassRow& row : classTable()) {
        std::unique_ptr<MetalShader> s(row.make());
        SCOPED_TRACE(row.name);
        mtl::FunctionPtr vf = library->newFunctionWithName(s->getVertexFunctionName());
        mtl::FunctionPtr ff = library->newFunctionWithName(s->getFragmentFunctionName());
        ASSERT_TRUE(vf && ff);
        uint32_t stride = 0;
        for (const MetalVertexAttribute& a : s->getAttributes())
            stride += a.type == 0 ? a.components * 4u : a.components;
        EXPECT_EQ(vf->vertexStride(), stride);

        std::vector<mtl::BufferUse> vertexUses, fragmentUses;
        for (int st = 0; st < s->getNumberOfUniformStructs(); ++st) {
            mtl::BufferUse use{0, MetalShader::structByteSize(s->getUniforms(st)), s->isPerInstanceStruct(st) != 0};
            if (s->getUniformStage() != MetalStageFragment)
                vertexUses.push_back({(uint32_t)st + 1, use.structSize, use.perInstance});
            if (s->getUniformStage() != MetalStageVertex)
                fragmentUses.push_back({(uint32_t)st, use.structSize, use.perInstance});
        }
        auto same = [](const std::vector<mtl::BufferUse>& a, const std::vector<mtl::BufferUse>& b) {
            if (a.size() != b.size())
                return false;
            for (size_t i = 0; i < a.size(); ++i)
                if (a[i].index != b[i].index || a[i].structSize != b[i].structSize || a[i].perInstance != b[i].perInstance)
                    return false;
            return true;
        };
        EXPECT_TRUE(same(vf->bufferUses(), vertexUses));
        EXPECT_TRUE(same(ff->bufferUses(), fragmentUses));
    }
}

TEST(MetalShaderClasses, LookupTakesTheLastStructHoldingTheName) {
    ModelShader model;
    ShaderUniform* padding = model.getUniform("padding0");
    ASSERT_TRUE(padding);
    EXPECT_EQ(padding, model.getUniforms(1)[3]);
    EXPECT_EQ(model.getUniform("worldMat"), model.getUniforms(1)[0]);
    EXPECT_EQ(model.getUniform("projMat"), model.getUniforms(0)[0]);
    EXPECT_EQ(model.getUniform("nothing"), nullptr);
    EXPECT_EQ(model.getUniform("color"), nullptr);
}

TEST(MetalShaderClasses, UniformsStartChangedWithValuesNoRealValueEquals) {
    ModelShader model;
    for (int st = 0; st < 2; ++st)
        for (ShaderUniform* u : model.getUniforms(st)) {
            EXPECT_EQ(u->_changed, 1) << u->_name;
            if (u->getType() == UniformFloat) {
                EXPECT_EQ(*static_cast<float*>(u->getValue()), 10000000.0f);
                EXPECT_NE(dynamic_cast<MetalFloatShaderUniform*>(u), nullptr);
            } else {
                uint32_t bits;
                std::memcpy(&bits, u->getValue(), 4);
                EXPECT_EQ(bits, 0xffffffffu) << u->_name;
            }
        }
}

TEST(MetalShaderClasses, StructsAreWrittenByTheLayoutRules) {
    ModelShader model;
    std::vector<ShaderUniform*>& s1 = model.getUniforms(1);  // worldMat, normalMat, materialEmit, 3 x padding
    float world[16];
    for (int i = 0; i < 16; ++i)
        world[i] = (float)i;
    const float normal[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    writeUniformMatrix4(s1[0], world);
    writeUniformMatrix3(s1[1], normal);
    writeUniformFloat(s1[2], 0.5f);
    uint8_t bytes[128];
    std::memset(bytes, 0xab, sizeof(bytes));
    MetalShader::writeStruct(s1, bytes);
    EXPECT_EQ(std::memcmp(bytes, world, 64), 0);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(std::memcmp(bytes + 64 + 16 * c, normal + 3 * c, 12), 0) << "column " << c;
        EXPECT_EQ(bytes[64 + 16 * c + 12], 0xab) << "the column's padding is left alone";
    }
    float emit;
    std::memcpy(&emit, bytes + 112, 4);
    EXPECT_EQ(emit, 0.5f);
    for (ShaderUniform* u : s1)
        EXPECT_EQ(u->_changed, 0) << u->_name;
}

class NoStructShader : public MetalShader {
public:
    const char* getName() override { return "NoStructShader"; }
    int getNumberOfUniformStructs() override { return 0; }
    int isPerInstanceStruct(int) override { return 0; }
    const char* getVertexFunctionName() override { return "x"; }
    const char* getFragmentFunctionName() override { return "y"; }
};

class WrongSizeShader : public NoStructShader {
public:
    WrongSizeShader() { addUniform(0, UniformVector3, "a"); addUniform(0, UniformFloat, "b"); }
    int getNumberOfUniformStructs() override { return 1; }
    int getUniformSize() override { return 16; }
};

class NineStructShader : public NoStructShader {
public:
    int getNumberOfUniformStructs() override { return 9; }
};

TEST(MetalShaderClasses, ShapeErrorsAreCaughtAtValidation) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    NoStructShader none;
    none.validateUniforms();
    EXPECT_EQ(none.getUniform("a"), nullptr);

    EXPECT_DEATH(
        {
            WrongSizeShader wrong;
            wrong.validateUniforms();
        },
        "struct 0: 20 != 16(.|\n)*offset == uniformSize");
    EXPECT_DEATH(
        {
            NineStructShader nine;
            nine.validateUniforms();
        },
        "structID < MAX_NUMBER_OF_UNIFORM_STRUCTS");
    EXPECT_DEATH(
        {
            ModelShader model;
            model.getUniformSize();
        },
        "source/game/metal/ModelShader@23: 0");
}

TEST(MetalShaderClasses, RegistrationEntersEveryClassUnderItsFileOnce) {
    ResourceManager& rm = ResourceManager::instance();
    rm.resetForTests();
    EXPECT_EQ(registerMetalShaders(), 1);
    ASSERT_EQ(rm._shaders.size(), classTable().size());
    for (const ClassRow& row : classTable()) {
        auto* s = dynamic_cast<MetalShader*>(rm._shaders[row.file]);
        ASSERT_TRUE(s) << row.file;
        EXPECT_STREQ(s->getName(), row.name);
    }
    Shader* model = rm._shaders["shaders/model.shader"];
    EXPECT_EQ(registerMetalShaders(), 1);
    EXPECT_EQ(rm._shaders["shaders/model.shader"], model);
    EXPECT_EQ(rm._shaders.size(), classTable().size());
    EXPECT_EQ(rm.getShader("shaders/model.shader"), model);
    rm.resetForTests();
}

}  // namespace
