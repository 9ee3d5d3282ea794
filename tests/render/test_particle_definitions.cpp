// Effect folders: emitters.txt layers and emitter types, the two reading passes, their messages.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "ParticleFixtures.h"
#include "engine/render/Material.h"
#include "engine/render/Mesh.h"
#include "engine/render/PSParticleSystem.h"

using namespace particlefixtures;

namespace {

const float kDeg = 3.1415927f / 180.0f;

struct Loaded {
    EffectBundle bundle;
    SpriteSet sprites;
    PSParticleSystem system;
    bool ok = false;

    explicit Loaded(const std::string& emitters, const char* material = "blendMode = additive\n") {
        sprites.add("spark.object", makeSprite());
        sprites.add("smoke.object", makeSprite(6));
        bundle.write("fx", emitters, material);
        ok = system.init("fx", sprites.list);
    }
    // Messages name the file as it was asked for, relative to the read store.
    std::string file() const { return "fx/emitters.txt"; }
};

// ---- Layer keys ----

struct LayerCase {
    const char* name;
    const char* body;  // inside [layer] { ... }
    std::function<void(const PSLayerType&)> check;
};

class LayerKeys : public ::testing::TestWithParam<LayerCase> {};

TEST_P(LayerKeys, StoresTheValues) {
    const LayerCase& c = GetParam();
    LogLines log;
    Loaded fx(std::string("[layer] {\n") + c.body + "\n}\n");
    ASSERT_TRUE(fx.ok) << log.all();
    EXPECT_TRUE(log.lines.empty()) << log.all();
    ASSERT_EQ(fx.system._layerTypes.size(), 1u);
    c.check(fx.system._layerTypes[0]);
}

const LayerCase kLayerCases[] = {
    {"Defaults", "",
     [](const PSLayerType& l) {
         EXPECT_EQ(l.velDamp, 1.0f);
         EXPECT_EQ(l.emitterVelocityFactor, 1.0f);
         EXPECT_EQ(l.spriteGeometry, nullptr);
         EXPECT_EQ(l.shape, PSShapeSphere);
         EXPECT_EQ(l.lifeTime, 0.0f);
         EXPECT_EQ(l.particleCountMax, 0);
         EXPECT_EQ(l.spinMode, PSSpinNone);
         EXPECT_EQ(l.colours[0], 0u);
         EXPECT_STREQ(l.name, "");
         EXPECT_STREQ(l.embeddedEmitter, "");
     }},
    {"DampAboveOneIsOne", "velDamp = 1.5\nemitterVelocityFactor = 1.5",
     [](const PSLayerType& l) {
         EXPECT_EQ(l.velDamp, 1.0f);
         EXPECT_EQ(l.emitterVelocityFactor, 1.0f);
     }},
    {"DampBelowZeroIsZero", "velDamp = -2\nemitterVelocityFactor = -2",
     [](const PSLayerType& l) {
         EXPECT_EQ(l.velDamp, 0.0f);
         EXPECT_EQ(l.emitterVelocityFactor, 0.0f);
     }},
    {"SpinAccelInRadians", "spin = accel 90 180",
     [](const PSLayerType& l) {
         EXPECT_EQ(l.spinMode, PSSpinAccel);
         EXPECT_FLOAT_EQ(l.spin.min, 1.5707964f);
         EXPECT_FLOAT_EQ(l.spin.max, 3.1415927f);
     }},
    {"SpinMinMax", "spin = minmax 90 180",
     [](const PSLayerType& l) {
         EXPECT_EQ(l.spinMode, PSSpinMinMax);
         EXPECT_FLOAT_EQ(l.spin.max, 3.1415927f);
     }},
    {"SizesAnim4", "sizes = anim4 1 2 3 4",
     [](const PSLayerType& l) {
         EXPECT_EQ(l.sizeMode, PSSizeAnim4);
         for (int i = 0; i < 4; ++i) {
             EXPECT_EQ(l.sizes[i].min, (float)(i + 1));
             EXPECT_EQ(l.sizes[i].max, (float)(i + 1));
         }
     }},
    {"SizesFixedSetsKeyOneOnly", "sizes = fixed 2",
     [](const PSLayerType& l) {
         EXPECT_EQ(l.sizeMode, PSSizeFixed);
         EXPECT_EQ(l.sizes[0].min, 2.0f);
         EXPECT_EQ(l.sizes[0].max, 2.0f);
         EXPECT_EQ(l.sizes[1].max, 0.0f);
         EXPECT_EQ(l.sizes[3].max, 0.0f);
     }},
    {"SizesAnim4Ranges", "sizes = anim4_rnd 1 2 : 3 4 : 5 6 : 7 8",
     [](const PSLayerType& l) {
         EXPECT_EQ(l.sizeMode, PSSizeAnim4);
         EXPECT_EQ(l.sizes[0].min, 1.0f);
         EXPECT_EQ(l.sizes[3].max, 8.0f);
     }},
    {"LifeTimes", "life_times = 0.5 : 1 : 0.5",
     [](const PSLayerType& l) {
         const float want[3] = {0.5f, 1.0f, 0.5f};
         for (int i = 0; i < 3; ++i) {
             EXPECT_EQ(l.lifePhases[i].min, want[i]);
             EXPECT_EQ(l.lifePhases[i].max, want[i]);
         }
     }},
    {"LifeTimesRandom", "life_times_rnd = 1 2 : 3 4 : 5 6",
     [](const PSLayerType& l) {
         EXPECT_EQ(l.lifePhases[0].min, 1.0f);
         EXPECT_EQ(l.lifePhases[1].max, 4.0f);
         EXPECT_EQ(l.lifePhases[2].min, 5.0f);
     }},
    {"ColoursFixed", "argb_colors = fixed 128 255 16 1",
     [](const PSLayerType& l) {
         EXPECT_EQ(l.colourMode, PSColourFixed);
         EXPECT_EQ(l.colours[0], 0x800110ffu);
     }},
    {"ColoursAnim4", "argb_colors = anim4 0 1 2 3 : 255 4 5 6 : 10 7 8 9 : 20 10 11 12",
     [](const PSLayerType& l) {
         EXPECT_EQ(l.colourMode, PSColourAnim4);
         EXPECT_EQ(l.colours[0], 0x00030201u);
         EXPECT_EQ(l.colours[1], 0xff060504u);
         EXPECT_EQ(l.colours[3], 0x140c0b0au);
     }},
    {"DirectionVectorIsNormalised", "particle_direction = vector 0 0 2",
     [](const PSLayerType& l) {
         EXPECT_EQ(l.directionMode, PSDirectionVector);
         EXPECT_EQ(l.direction, Vector3(0, 0, 1));
     }},
    {"SpinAxisIsNormalised", "spin_vector = 0 -3 0",
     [](const PSLayerType& l) { EXPECT_EQ(l.spinAxis, Vector3(0, -1, 0)); }},
    {"StartRotation", "random_start_rotation = 90 180",
     [](const PSLayerType& l) {
         EXPECT_TRUE(l.randomStartRotation);
         EXPECT_FLOAT_EQ(l.startRotation.min, 90 * kDeg);
     }},
    {"SpriteRotationAnim4", "sprite_rotation = anim4 0 90 180 270",
     [](const PSLayerType& l) {
         EXPECT_EQ(l.rotationMode, PSRotationAnim4);
         EXPECT_FLOAT_EQ(l.rotation[3], 270 * kDeg);
     }},
    {"SpriteRotationMinMax", "sprite_rotation = minmax 10 20",
     [](const PSLayerType& l) {
         EXPECT_EQ(l.rotationMode, PSRotationMinMax);
         EXPECT_FLOAT_EQ(l.rotation[1], 20 * kDeg);
     }},
    {"SphereBlockInDegrees", "sphere_emitter { speed = 3 4 radius = 1 2 azimuth = 0 360 inclination = 0 90 }",
     [](const PSLayerType& l) {
         EXPECT_EQ(l.shape, PSShapeSphere);
         EXPECT_FLOAT_EQ(l.inclination.max, 90 * kDeg);
         EXPECT_FLOAT_EQ(l.azimuth.max, 360 * kDeg);
         EXPECT_EQ(l.radius.min, 1.0f);
         EXPECT_EQ(l.speed.max, 4.0f);
     }},
    {"LongNameKeepsThirtyOneCharacters", "name = abcdefghijklmnopqrstuvwxyz0123456789ABCD",
     [](const PSLayerType& l) { EXPECT_STREQ(l.name, "abcdefghijklmnopqrstuvwxyz01234"); }},
    {"SpriteIsTheFirstOfThatName", "sprite_geom = smoke.object",
     [](const PSLayerType& l) {
         ASSERT_NE(l.spriteGeometry, nullptr);
         EXPECT_EQ(l.spriteGeometry->name, "smoke.object");
     }},
    {"CountsTimesAndForces",
     "particle_count_min = 3\nparticle_count_max = 9\nlife_time = 1.5\ndelay = 0.25\nparticles_per_sec = 10 "
     "20\ndrag = 0 0 -9.8\nglobal_drag_factor = 1 0.5 0\nembedded_emitter = trail",
     [](const PSLayerType& l) {
         EXPECT_EQ(l.particleCountMin, 3);
         EXPECT_EQ(l.particleCountMax, 9);
         EXPECT_EQ(l.lifeTime, 1.5f);
         EXPECT_EQ(l.delay, 0.25f);
         EXPECT_EQ(l.particlesPerSec.max, 20.0f);
         EXPECT_EQ(l.drag, Vector3(0, 0, -9.8f));
         EXPECT_EQ(l.globalDragFactor, Vector3(1, 0.5f, 0));
         EXPECT_STREQ(l.embeddedEmitter, "trail");
     }},
};

INSTANTIATE_TEST_SUITE_P(Particles, LayerKeys, ::testing::ValuesIn(kLayerCases),
                         [](const ::testing::TestParamInfo<LayerCase>& info) { return std::string(info.param.name); });

TEST(ParticleDefinitions, CopyLayerTakesTheLastMatchAndLaterKeysOverride) {
    LogLines log;
    Loaded fx(
        "[layer] { name = A life_time = 1 }\n"
        "[layer] { name = A life_time = 2 sizes = fixed 3 }\n"
        "[layer] { copy_layer A name = B }\n"
        "[layer] { name = B copy_layer A }\n"
        "[layer] { copy_layer A life_time = 7 }\n");
    ASSERT_TRUE(fx.ok) << log.all();
    const std::vector<PSLayerType>& l = fx.system._layerTypes;
    ASSERT_EQ(l.size(), 5u);
    EXPECT_STREQ(l[2].name, "B");
    EXPECT_EQ(l[2].lifeTime, 2.0f);
    EXPECT_EQ(l[2].sizes[0].max, 3.0f);
    EXPECT_STREQ(l[3].name, "A");  // the copy overwrote the name read before it
    EXPECT_EQ(l[3].lifeTime, 2.0f);
    EXPECT_EQ(l[4].lifeTime, 7.0f);
    EXPECT_TRUE(log.lines.empty()) << log.all();
}

// ---- Emitter keys ----

TEST(ParticleDefinitions, EmitterKeys) {
    LogLines log;
    Loaded fx(
        "sort = true\n"
        "[layer] { name = a sprite_geom = spark.object }\n"
        "[layer] { name = b sprite_geom = smoke.object }\n"
        "[emitter] { name = first add_layer b add_layer a add_layer b offset = 2.5 disable_rotation = 1 "
        "particles_are_local = true loop = 3 : 0.5 1 }\n"
        "[emitter] { add_layer a loop = 0 : 1 2 }\n"
        "[emitter] { name = third loop = -3 : 0 0 }\n");
    ASSERT_TRUE(fx.ok) << log.all();
    EXPECT_TRUE(log.lines.empty()) << log.all();
    EXPECT_TRUE(fx.system.sort);
    const std::vector<PSEmitterType>& e = fx.system._emitterTypes;
    ASSERT_EQ(e.size(), 3u);
    EXPECT_STREQ(e[0].name, "first");
    EXPECT_EQ(e[0].layers, (std::vector<int32_t>{1, 0, 1}));
    EXPECT_EQ(e[0].offset, 2.5f);
    EXPECT_TRUE(e[0].disableRotation);
    EXPECT_TRUE(e[0].particlesAreLocal);
    EXPECT_EQ(e[0].loop, 3);
    EXPECT_EQ(e[0].loopDelay.min, 0.5f);
    EXPECT_EQ(e[0].loopDelay.max, 1.0f);
    // A block without a name repeats the previous block's.
    EXPECT_STREQ(e[1].name, "first");
    EXPECT_EQ(e[1].loop, 1);
    EXPECT_FALSE(e[1].particlesAreLocal);
    EXPECT_EQ(e[2].loop, 1);
    EXPECT_EQ(fx.system.findEmitterType("first"), &e[0]);
    EXPECT_EQ(fx.system.findEmitterType(""), nullptr);
}

// ---- Messages: reading goes on ----

struct MessageCase {
    const char* name;
    const char* file;
    std::vector<std::string> messages;  // "%F" stands for the emitters.txt path
    size_t layers;
    size_t emitters;
};

class DefinitionMessages : public ::testing::TestWithParam<MessageCase> {};

std::string withPath(std::string text, const std::string& path) {
    size_t at;
    while ((at = text.find("%F")) != std::string::npos)
        text.replace(at, 2, path);
    return text;
}

TEST_P(DefinitionMessages, AreLoggedAndReadingGoesOn) {
    const MessageCase& c = GetParam();
    LogLines log;
    Loaded fx(c.file);
    EXPECT_TRUE(fx.ok) << log.all();
    for (const std::string& m : c.messages)
        EXPECT_TRUE(log.contains(withPath(m, fx.file()))) << "missing: " << withPath(m, fx.file()) << "\n" << log.all();
    EXPECT_EQ(fx.system._layerTypes.size(), c.layers);
    EXPECT_EQ(fx.system._emitterTypes.size(), c.emitters);
}

const char* const kGoodLayer = "[layer] { name = ok sprite_geom = spark.object }\n";

const MessageCase kMessageCases[] = {
    {"MisspeltSectionIsSkippedTokenByToken",
     "[layr] { name = x }\n[layer] { name = y }\n",
     {"[PSParticleSystem::init] invalid token: '[layr]' in '%F'", "invalid token: '{' in '%F'",
      "invalid token: 'name' in '%F'", "invalid token: 'x' in '%F'", "invalid token: '}' in '%F'"},
     1, 0},
    {"UnknownLayerKey", "[layer] { colour = 3 }\n",
     {"[PSParticleSystem::init] ([layer]) unexpected token: 'colour' in: '%F'",
      "([layer]) unexpected token: '=' in: '%F'", "([layer]) unexpected token: '3' in: '%F'"},
     1, 0},
    {"UnknownSphereKey", "[layer] { sphere_emitter { speed = 1 1 size } }\n",
     {"[PSParticleSystem::init] (sphere_emitter) unexpected token: 'size' in: '%F'"}, 1, 0},
    {"MeshBlockTakesOnlySpeed", "[layer] { mesh_emitter { radius } }\n",
     {"[PSParticleSystem::init] (mesh_emitter) unexpected token: 'radius' in: '%F'"}, 1, 0},
    {"BoxBlockTakesOnlySpeed", "[layer] { bb_emitter { azimuth } }\n",
     {"[PSParticleSystem::init] (bb_emitter) unexpected token: 'azimuth' in: '%F'"}, 1, 0},
    {"WrongModeWords",
     "[layer] { spin = wobble sprite_rotation = twirl sizes = huge argb_colors = rgb particle_direction = up }\n",
     {"[PSParticleSystem::init] (spin) unexpected token: 'wobble' in: '%F'",
      "[PSParticleSystem::init] (sprite_rotation) unexpected token: 'twirl' in: '%F'",
      "[PSParticleSystem::init] (sizes) unexpected token: 'huge' in: '%F'",
      "[PSParticleSystem::init] (argb_colors) unexpected token: 'rgb' in: '%F'",
      "[PSParticleSystem::init] (particle_direction) unexpected token: 'up' in: '%F'"},
     1, 0},
    {"CopyOfAMissingLayer", "[layer] { copy_layer ghost }\n",
     {"[PSParticleSystem::init] (copy layer) layer not found: 'ghost' in: '%F'"}, 1, 0},
    {"MissingSpriteIsReportedAndTheLayerRefusedByEmitters",
     "[layer] { name = bare sprite_geom = nothing.object }\n[emitter] { name = e add_layer bare }\n",
     {"[PSParticleSystem::init] sprite geometry not found: 'nothing.object' in: '%F'",
      "[PSParticleSystem::init] (add_layer) layer 'bare' refused: no sprite geometry in: '%F'"},
     1, 1},
    {"MeshShapeIsRefused",
     "[layer] { name = m sprite_geom = spark.object mesh_emitter { speed = 1 2 } }\n[emitter] { name = e add_layer m }\n",
     {"[PSParticleSystem::init] (add_layer) layer 'm' refused: mesh_emitter has no geometry to emit from in: '%F'"},
     1, 1},
    {"BoxShapeIsRefused",
     "[layer] { name = b sprite_geom = spark.object bb_emitter { speed = 1 2 } }\n[emitter] { name = e add_layer b }\n",
     {"[PSParticleSystem::init] (add_layer) layer 'b' refused: bb_emitter has no geometry to emit from in: '%F'"},
     1, 1},
    {"LayerNamedBeforeItIsDefined",
     "[emitter] { name = early add_layer ok }\n[layer] { name = ok sprite_geom = spark.object }\n",
     {"[PSParticleSystem::init] (add_layer) invalid layer name: 'ok' in: '%F'"}, 1, 1},
    {"UnknownEmitterKey", "[emitter] { name = e speed = 3 }\n",
     {"[PSParticleSystem::init] ([emitter]) unexpected token: 'speed' in: '%F'"}, 0, 1},
};

INSTANTIATE_TEST_SUITE_P(Particles, DefinitionMessages, ::testing::ValuesIn(kMessageCases),
                         [](const ::testing::TestParamInfo<MessageCase>& info) { return std::string(info.param.name); });

TEST(ParticleDefinitions, RefusedLayersAreLeftOutOfTheEmitter) {
    LogLines log;
    Loaded fx(std::string(kGoodLayer) +
              "[layer] { name = m sprite_geom = spark.object mesh_emitter { speed = 1 2 } }\n"
              "[layer] { name = bare }\n"
              "[emitter] { name = e add_layer m add_layer ok add_layer bare add_layer ok }\n");
    ASSERT_TRUE(fx.ok);
    ASSERT_EQ(fx.system._emitterTypes.size(), 1u);
    EXPECT_EQ(fx.system._emitterTypes[0].layers, (std::vector<int32_t>{0, 0}));
}

// ---- Failures: init returns false ----

struct FailureCase {
    const char* name;
    const char* file;             // null: no emitters.txt at all
    const char* material;         // null: no material.txt
    std::vector<std::string> messages;
    size_t layersKept;
};

class DefinitionFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(DefinitionFailures, FailTheWholeFolder) {
    const FailureCase& c = GetParam();
    LogLines log;
    EffectBundle bundle;
    SpriteSet sprites;
    sprites.add("spark.object", makeSprite());
    if (c.file)
        bundle.write("fx", c.file, c.material);
    else if (c.material)
        bundle.writeFile("fx/material.txt", std::vector<uint8_t>(c.material, c.material + std::strlen(c.material)));
    PSParticleSystem system;
    ReleaseLog handler;
    system._eventHandler = &handler;
    EXPECT_FALSE(system.init("fx", sprites.list));
    const std::string path = "fx/emitters.txt";
    for (const std::string& m : c.messages)
        EXPECT_TRUE(log.contains(withPath(m, path))) << "missing: " << withPath(m, path) << "\n" << log.all();
    EXPECT_EQ(system._layerTypes.size(), c.layersKept);
    EXPECT_EQ(system.particleCount(), 0);
    EXPECT_TRUE(system._emitters.empty());
}

const FailureCase kFailureCases[] = {
    {"NoEmittersFile", nullptr, "blendMode = additive\n", {"[PSParticleSystem::init] Failed. (%F)"}, 0},
    {"NoMaterialFile", kGoodLayer, nullptr, {"[PSParticleSystem::init] Failed"}, 1},
    {"MissingEquals", "[layer] { name = a }\n[layer] { life_time 3 }\n", "",
     {"[PSParticleSystem::init] failed: '<CTokenizer::Skip> Wrong token (received: \"3\", expected: \"=\").\n' (%F)",
      "[PSParticleSystem::init] Failed. (%F)"},
     1},
    {"MissingBrace", "[layer] name = a }\n", "", {"[PSParticleSystem::init] Failed. (%F)"}, 0},
    {"LoopWithoutPauses", "[emitter] { name = e loop = 3 }\n", "", {"[PSParticleSystem::init] Failed. (%F)"}, 0},
    {"EndOfFileInsideABlock", "[layer] { name = a\n", "", {"[PSParticleSystem::init] Failed. (%F)"}, 0},
    {"LongEmbeddedEmitterName", "[layer] { embedded_emitter = abcdefghijklmnopqrstuvwxyz0123456 }\n", "",
     {"[PSParticleSystem::init] failed: '<CTokenizer::NextString>", "[PSParticleSystem::init] Failed. (%F)"}, 0},
    {"SortNeedsABoolean", "sort = maybe\n", "", {"<CTokenizer::NextBool> unacceptable token (maybe)"}, 0},
    {"NumberOutOfRange", "[layer] { particle_count_max = 99999999999 }\n", "",
     {"<CTokenizer::NextInt> errno == ERANGE", "[PSParticleSystem::init] Failed. (%F)"}, 0},
};

INSTANTIATE_TEST_SUITE_P(Particles, DefinitionFailures, ::testing::ValuesIn(kFailureCases),
                         [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST(ParticleDefinitions, InitLoadsTheMaterialIntoAnUncullableMesh) {
    Loaded fx(kGoodLayer, "blendMode = additive\ndepthWrite = false\n");
    ASSERT_TRUE(fx.ok);
    ASSERT_NE(fx.system._mesh, nullptr);
    ASSERT_NE(fx.system._material, nullptr);
    EXPECT_EQ(fx.system._mesh->_material, fx.system._material);
    EXPECT_EQ(fx.system._material->_blendMode, BlendAdditive);
    EXPECT_EQ(fx.system._mesh->_cullable, 0);
    EXPECT_EQ(fx.system._mesh->_geometry, fx.system._geometry);
    EXPECT_TRUE(fx.system.visible);
    EXPECT_FALSE(fx.system.sort);
}

TEST(ParticleDefinitions, ASecondInitStartsFromTheNewFileAlone) {
    LogLines log;
    Loaded fx("[layer] { name = a sprite_geom = spark.object }\n[emitter] { name = e add_layer a }\nsort = 1\n");
    ASSERT_TRUE(fx.ok);
    ReleaseLog handler;
    fx.system._eventHandler = &handler;
    PSEmitter* live = fx.system.addEmitter(Vector3(), "e");
    ASSERT_NE(live, nullptr);
    fx.bundle.write("fx2", "[layer] { name = b sprite_geom = smoke.object }\n[emitter] { name = f add_layer b }\n");
    ASSERT_TRUE(fx.system.init("fx2", fx.sprites.list)) << log.all();
    EXPECT_EQ(handler.released, std::vector<PSEmitter*>{live});
    EXPECT_TRUE(fx.system._emitters.empty());
    ASSERT_EQ(fx.system._layerTypes.size(), 1u);
    EXPECT_STREQ(fx.system._layerTypes[0].name, "b");
    ASSERT_EQ(fx.system._emitterTypes.size(), 1u);
    EXPECT_EQ(fx.system._emitterTypes[0].layers, std::vector<int32_t>{0});
    EXPECT_FALSE(fx.system.sort);
}

// ---- preInit ----

TEST(ParticleDefinitions, PreInitListsEverySpriteName) {
    LogLines log;
    EffectBundle bundle;
    bundle.write("fx",
                 "// sprite_geom = commented.object\n"
                 "[layer] { sprite_geom = a.object }\n"
                 "[bogus] { sprite_geom = \"b c.object\" }\n"
                 "[layer] { sprite_geom = a.object }\n");
    PSParticleSystem system;
    std::vector<std::string> names = {"stale"};
    system.preInit("fx", names);
    EXPECT_EQ(names, (std::vector<std::string>{"a.object", "b c.object", "a.object"}));
    EXPECT_TRUE(log.lines.empty()) << log.all();
}

TEST(ParticleDefinitions, PreInitKeepsNamesBeforeAnError) {
    LogLines log;
    EffectBundle bundle;
    bundle.write("fx", "[layer] { sprite_geom = a.object }\n[layer] { sprite_geom b.object }\n");
    PSParticleSystem system;
    std::vector<std::string> names;
    system.preInit("fx", names);
    EXPECT_EQ(names, std::vector<std::string>{"a.object"});
    EXPECT_TRUE(log.contains("[PSParticleSystem::preInit] failed: '<CTokenizer::Skip> Wrong token (received: "
                        "\"b.object\", expected: \"=\").\n' (fx/emitters.txt)"))
        << log.all();
}

TEST(ParticleDefinitions, PreInitOfAMissingFolderIsQuietlyEmpty) {
    LogLines log;
    EffectBundle bundle;
    PSParticleSystem system;
    std::vector<std::string> names = {"stale"};
    system.preInit("nowhere", names);
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(log.contains("PSParticleSystem")) << log.all();
}

}  // namespace
