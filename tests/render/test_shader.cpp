// Shader source loading, uniform lookup, typed uniforms with their change tracking, and the
// standard-uniform table.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>

#include "engine/render/Shader.h"
#include "support_RenderFixtures.h"

using namespace renderfixtures;

namespace {

bool allBitsSet(const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    for (size_t i = 0; i < n; ++i)
        if (b[i] != 0xff)
            return false;
    return true;
}

}  // namespace

TEST(ShaderUniform, NewUniformsStartChangedWithValuesNoWriteEquals) {
    FloatShaderUniform f("f");
    Vector3ShaderUniform v3("v3");
    Vector4ShaderUniform v4("v4");
    Matrix3ShaderUniform m3("m3");
    Matrix4ShaderUniform m4("m4");
    SamplerShaderUniform s("s");
    ShaderUniform none("none");
    struct Case {
        ShaderUniform* u;
        int type;
    } cases[] = {{&f, 0}, {&v3, 1}, {&v4, 2}, {&m3, 3}, {&m4, 4}, {&s, 5}, {&none, 6}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.type, c.u->getType()) << c.u->_name;
        EXPECT_EQ(1, c.u->_changed) << c.u->_name;
    }
    EXPECT_EQ(nullptr, none.getValue());
    EXPECT_EQ(10000000.0f, f._value);
    EXPECT_TRUE(allBitsSet(v3._value, sizeof(v3._value)));
    EXPECT_TRUE(allBitsSet(v4._value, sizeof(v4._value)));
    EXPECT_TRUE(allBitsSet(m3._value, sizeof(m3._value)));
    EXPECT_TRUE(allBitsSet(m4._value, sizeof(m4._value)));
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(m4._value) % 16);
    EXPECT_EQ(-1, s._value);

    // Writing the start value of a float copies nothing, but the uniform is still uploaded
    // by its first commit.
    EXPECT_FALSE(writeUniformFloat(&f, 10000000.0f));
    EXPECT_EQ(1, f._changed);
    // A NaN start value never equals a real one, so the first write of zeros takes.
    const float zeros[16] = {};
    v3._changed = 0;
    EXPECT_TRUE(writeUniformVector3(&v3, zeros));
    EXPECT_EQ(1, v3._changed);
}

TEST(ShaderUniform, WritesCopyAndMarkOnlyWhenTheValueDiffers) {
    const float a[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    float b[16];
    std::memcpy(b, a, sizeof(b));
    b[2] = 99;  // every kind sees a difference in its third component
    struct Case {
        const char* name;
        std::shared_ptr<ShaderUniform> uniform;
        std::function<bool(ShaderUniform*, const float*)> write;
        size_t floats;
    } cases[] = {
        {"float", std::make_shared<FloatShaderUniform>("u"), [](ShaderUniform* u, const float* v) {
             return writeUniformFloat(u, v[0] + v[2]);
         }, 1},
        {"vec3", std::make_shared<Vector3ShaderUniform>("u"), writeUniformVector3, 3},
        {"vec4", std::make_shared<Vector4ShaderUniform>("u"), writeUniformVector4, 4},
        {"mat3", std::make_shared<Matrix3ShaderUniform>("u"), writeUniformMatrix3, 9},
        {"mat4", std::make_shared<Matrix4ShaderUniform>("u"), writeUniformMatrix4, 16},
        {"sampler", std::make_shared<SamplerShaderUniform>("u"), [](ShaderUniform* u, const float* v) {
             return writeUniformSampler(u, (int32_t)v[2]);
         }, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShaderUniform* u = c.uniform.get();
        EXPECT_TRUE(c.write(u, a));
        u->_changed = 0;
        EXPECT_FALSE(c.write(u, a));
        EXPECT_EQ(0, u->_changed);
        EXPECT_TRUE(c.write(u, b));
        EXPECT_EQ(1, u->_changed);
        if (c.name != std::string("float") && c.name != std::string("sampler")) {
            EXPECT_EQ(0, std::memcmp(u->getValue(), b, c.floats * sizeof(float)));
        }
    }
}

TEST(ShaderUniform, VectorsCompareByValueMatricesByBytes) {
    const float plus[16] = {};
    float minus[16];
    for (float& f : minus)
        f = -0.0f;
    Vector4ShaderUniform v("v");
    Matrix4ShaderUniform m("m");
    writeUniformVector4(&v, plus);
    writeUniformMatrix4(&m, plus);
    v._changed = m._changed = 0;
    EXPECT_FALSE(writeUniformVector4(&v, minus));  // -0 == 0 component-wise
    EXPECT_TRUE(writeUniformMatrix4(&m, minus));   // but not byte-wise
}

TEST(ShaderUniform, WritersRefuseUniformsOfAnotherType) {
    // A standard name declared with another type must not receive the renderer's value:
    // a vec3 "color" would otherwise take 16 bytes into 12.
    auto vec3 = std::make_unique<Vector3ShaderUniform>("color");
    auto flt = std::make_unique<FloatShaderUniform>("time");
    auto smp = std::make_unique<SamplerShaderUniform>("tex0");
    const float v[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    vec3->_changed = flt->_changed = smp->_changed = 0;
    EXPECT_FALSE(writeUniformVector4(vec3.get(), v));
    EXPECT_FALSE(writeUniformMatrix4(vec3.get(), v));
    EXPECT_FALSE(writeUniformFloat(vec3.get(), 1));
    EXPECT_FALSE(writeUniformVector3(flt.get(), v));
    EXPECT_FALSE(writeUniformSampler(flt.get(), 1));
    EXPECT_FALSE(writeUniformFloat(smp.get(), 1));
    EXPECT_FALSE(writeUniformFloat(nullptr, 1));
    EXPECT_EQ(0, vec3->_changed + flt->_changed + smp->_changed);
    EXPECT_TRUE(std::isnan(vec3->_value[0]));
    EXPECT_EQ(10000000.0f, flt->_value);
    EXPECT_EQ(-1, smp->_value);
}

TEST(Shader, GetUniformFindsTheFirstExactNameUntilCleared) {
    Shader s;
    auto* first = new FloatShaderUniform("time");
    auto* second = new FloatShaderUniform("time");
    auto* tex = new SamplerShaderUniform("tex0");
    s._uniforms = {first, second, tex};
    EXPECT_EQ(first, s.getUniform("time"));
    EXPECT_EQ(tex, s.getUniform("tex0"));
    EXPECT_EQ(nullptr, s.getUniform("tex"));
    EXPECT_EQ(nullptr, s.getUniform("Time"));
    EXPECT_EQ(nullptr, s.getUniform("time "));
    EXPECT_EQ(nullptr, s.getUniform(nullptr));

    s.clearUniforms();
    EXPECT_TRUE(s._uniforms.empty());
    EXPECT_EQ(nullptr, s.getUniform("time"));
    // Overrides of meshes may still point at the old objects: they stay usable.
    EXPECT_TRUE(writeUniformFloat(first, 3));
    EXPECT_EQ(3, first->_value);

    // After the next link, lookups find the new uniforms.
    auto* relinked = new FloatShaderUniform("time");
    s._uniforms.push_back(relinked);
    EXPECT_EQ(relinked, s.getUniform("time"));
}

TEST(Shader, LoadSourceReadsTheWholeFileAndReplacesTheOldText) {
    Shader s;
    {
        FixtureFile f(std::string("void main() {}\n// two stages\n"), "rb");
        s.loadSource(f.file());
    }
    EXPECT_STREQ("void main() {}\n// two stages\n", s._source);
    EXPECT_EQ(29u, s._sourceLength);
    {
        FixtureFile f(std::string("x"), "rb");
        s.loadSource(f.file());
    }
    EXPECT_STREQ("x", s._source);
    EXPECT_EQ(1u, s._sourceLength);
    {
        FixtureFile f(std::string(), "rb");
        s.loadSource(f.file());
    }
    ASSERT_NE(nullptr, s._source);
    EXPECT_STREQ("", s._source);
    EXPECT_EQ(0u, s._sourceLength);
}

TEST(StandardUniforms, FillLooksUpEveryStandardName) {
    Shader s;
    const char* names[] = {"projMat", "viewMat", "normalMat", "worldMat", "fogDistance", "tex0", "tex7",
                           "light0Color", "light3Color", "light1Direction", "light2Pos", "aabbSize", "color",
                           "materialEmit", "meshColor", "uvOffset", "time", "custom"};
    for (const char* n : names)
        s._uniforms.push_back(new FloatShaderUniform(n));
    StandardUniforms table;
    table.fill(s);
    EXPECT_EQ(s.getUniform("projMat"), table.projMat);
    EXPECT_EQ(s.getUniform("viewMat"), table.viewMat);
    EXPECT_EQ(s.getUniform("normalMat"), table.normalMat);
    EXPECT_EQ(s.getUniform("worldMat"), table.worldMat);
    EXPECT_EQ(s.getUniform("fogDistance"), table.fogDistance);
    EXPECT_EQ(s.getUniform("tex0"), table.tex[0]);
    EXPECT_EQ(nullptr, table.tex[1]);
    EXPECT_EQ(s.getUniform("tex7"), table.tex[7]);
    EXPECT_EQ(s.getUniform("light0Color"), table.lightColor[0]);
    EXPECT_EQ(s.getUniform("light3Color"), table.lightColor[3]);
    EXPECT_EQ(nullptr, table.lightColor[1]);
    EXPECT_EQ(s.getUniform("light1Direction"), table.lightDirection[1]);
    EXPECT_EQ(s.getUniform("light2Pos"), table.lightPos[2]);
    EXPECT_EQ(nullptr, table.lightPos[0]);
    EXPECT_EQ(s.getUniform("aabbSize"), table.aabbSize);
    EXPECT_EQ(s.getUniform("color"), table.color);
    EXPECT_EQ(s.getUniform("materialEmit"), table.materialEmit);
    EXPECT_EQ(s.getUniform("meshColor"), table.meshColor);
    EXPECT_EQ(s.getUniform("uvOffset"), table.uvOffset);
    EXPECT_EQ(s.getUniform("time"), table.time);

    StandardUniforms byChannel;
    byChannel.fill(s, false);
    EXPECT_EQ(nullptr, byChannel.tex[0]);
    EXPECT_EQ(nullptr, byChannel.tex[7]);
    EXPECT_EQ(s.getUniform("time"), byChannel.time);
}
