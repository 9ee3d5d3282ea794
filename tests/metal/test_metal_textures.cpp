// Textures and samplers of the Metal renderer.

#include <cstdlib>
#include <cstring>

#include "MetalTestSupport.h"
#include "engine/render/Texture.h"

using namespace metaltest;

namespace {

class MetalTextures : public MetalRenderTest {
protected:
    void TearDown() override {
        for (Texture* t : textures)
            delete t;
        MetalRenderTest::TearDown();
    }

    // A texture of a format with `levels` levels of patterned bytes (level sizes never below 1).
    Texture* texture(int format, uint16_t w, uint16_t h, int levels) {
        auto* t = new Texture();
        textures.push_back(t);
        t->_format = format;
        t->_width = w;
        t->_height = h;
        t->_levelCount = t->_levelsLoaded = (uint8_t)levels;
        for (int i = 0; i < levels; ++i) {
            uint64_t bytes = Texture::levelBytes(format, t->levelWidth(i), t->levelHeight(i));
            if (!bytes)
                bytes = 8;
            auto* p = static_cast<uint8_t*>(std::malloc(bytes));
            for (uint64_t b = 0; b < bytes; ++b)
                p[b] = (uint8_t)(b * 7 + i);
            t->_levels.push_back(p);
        }
        return t;
    }

    std::vector<Texture*> textures;
};

TEST_F(MetalTextures, EachTypeGetsItsMetalTexture) {
    struct Case {
        const char* name;
        int format;
        uint16_t w, h;
        int levels;
        bool made;
        mtl::TextureType type;
        mtl::PixelFormat pixelFormat;
        uint32_t mw, mh, md, mipLevels;
    };
    const Case cases[] = {
        {"RGB", TextureRGB, 8, 4, 1, true, mtl::TextureType2D, mtl::PixelFormatRGBA8Unorm, 8, 4, 1, 1},
        {"RGB mipmapped", TextureRGB, 8, 4, 3, true, mtl::TextureType2D, mtl::PixelFormatRGBA8Unorm, 8, 4, 1, 3},
        {"RGB volume", TextureRGBColorizer, 4, 16, 1, true, mtl::TextureType3D, mtl::PixelFormatRGBA8Unorm, 4, 4, 4, 1},
        {"RGB volume shorter than wide", TextureRGBColorizer, 8, 4, 1, true, mtl::TextureType3D,
         mtl::PixelFormatRGBA8Unorm, 8, 8, 1, 1},
        {"RGBA", TextureRGBA, 16, 16, 5, true, mtl::TextureType2D, mtl::PixelFormatRGBA8Unorm, 16, 16, 1, 5},
        {"RGBA volume", TextureRGBAColorizer, 4, 8, 1, true, mtl::TextureType3D, mtl::PixelFormatRGBA8Unorm, 4, 4, 2, 1},
        {"PVRTC RGB", TexturePVRTC4RGB, 16, 16, 2, true, mtl::TextureType2D, mtl::PixelFormatPVRTC_RGB_4BPP, 16, 16, 1, 2},
        {"PVRTC RGBA", TexturePVRTC4RGBA, 16, 16, 3, true, mtl::TextureType2D, mtl::PixelFormatPVRTC_RGBA_4BPP, 16, 16, 1,
         3},
        {"ETC1", TextureETC1, 16, 16, 1, false, mtl::TextureType2D, mtl::PixelFormatInvalid, 0, 0, 0, 0},
        {"more levels than the size allows", TextureRGBA, 4, 4, 6, true, mtl::TextureType2D, mtl::PixelFormatRGBA8Unorm, 4,
         4, 1, 3},
    };
    for (const Case& c : cases) {
        Texture* t = texture(c.format, c.w, c.h, c.levels);
        t->_reload = 1;
        render->uploadTexture(t);
        ASSERT_TRUE(t->_deviceTexture) << c.name;
        EXPECT_EQ(t->_reload, 0) << c.name;
        EXPECT_FALSE(render->samplerCache.empty()) << c.name;
        mtl::TexturePtr m = metalTexture(t);
        ASSERT_EQ((bool)m, c.made) << c.name;
        if (!m)
            continue;
        EXPECT_EQ(m->textureType(), c.type) << c.name;
        EXPECT_EQ(m->pixelFormat(), c.pixelFormat) << c.name;
        EXPECT_EQ(m->width(), c.mw) << c.name;
        EXPECT_EQ(m->height(), c.mh) << c.name;
        EXPECT_EQ(m->depth(), c.md) << c.name;
        EXPECT_EQ(m->mipmapLevelCount(), c.mipLevels) << c.name;
        // Uploading again does nothing while the texture has its Metal texture.
        render->uploadTexture(t);
        EXPECT_EQ(metalTexture(t), m) << c.name;
    }
}

TEST_F(MetalTextures, RgbLevelsAreWrittenPixelByPixelWithOpaqueAlpha) {
    Texture* t = texture(TextureRGB, 8, 4, 3);
    render->uploadTexture(t);
    mtl::TexturePtr m = metalTexture(t);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->writeCount(0), 32u);
    EXPECT_EQ(m->writeCount(1), 8u);
    EXPECT_EQ(m->writeCount(2), 2u);
    for (int level = 0; level < 3; ++level) {
        const std::vector<uint8_t>& bytes = m->levelBytes(level);
        uint32_t pixels = t->levelWidth(level) * t->levelHeight(level);
        for (uint32_t p = 0; p < pixels; ++p) {
            EXPECT_EQ(bytes[4 * p + 0], t->_levels[level][3 * p + 0]);
            EXPECT_EQ(bytes[4 * p + 2], t->_levels[level][3 * p + 2]);
            EXPECT_EQ(bytes[4 * p + 3], 255);
        }
    }
}

TEST_F(MetalTextures, RgbaLevelsGoInWholeWithTheRowsOfEachLevel) {
    Texture* t = texture(TextureRGBA, 256, 128, 2);
    render->uploadTexture(t);
    mtl::TexturePtr m = metalTexture(t);
    ASSERT_EQ(m->writes().size(), 2u);
    EXPECT_EQ(m->writes()[0].region.size.width, 256u);
    EXPECT_EQ(m->writes()[0].region.size.height, 128u);
    EXPECT_EQ(m->writes()[0].bytesPerRow, 1024u);
    EXPECT_EQ(m->writes()[1].region.size.width, 128u);
    EXPECT_EQ(m->writes()[1].region.size.height, 64u);
    EXPECT_EQ(m->writes()[1].bytesPerRow, 512u);

    // An odd width: level 1 of a 5-pixel-wide image is 2 pixels, 8 bytes, a row.
    Texture* odd = texture(TextureRGBA, 5, 3, 2);
    render->uploadTexture(odd);
    mtl::TexturePtr mo = metalTexture(odd);
    ASSERT_EQ(mo->writes().size(), 2u);
    EXPECT_EQ(mo->writes()[0].bytesPerRow, 20u);
    EXPECT_EQ(mo->writes()[1].bytesPerRow, 8u);
    for (int level = 0; level < 2; ++level)
        EXPECT_EQ(std::memcmp(mo->levelBytes(level).data(), odd->_levels[level], mo->levelBytes(level).size()), 0)
            << "level " << level;
}

TEST_F(MetalTextures, VolumesAreWrittenSliceBySliceWithinTheirData) {
    // RGB: 2 x 2 slices, two of them, one pixel at a time at (x, y, z).
    Texture* rgb = texture(TextureRGBColorizer, 2, 4, 1);
    render->uploadTexture(rgb);
    mtl::TexturePtr m = metalTexture(rgb);
    EXPECT_EQ(m->writeCount(0), 8u);
    const uint8_t* src = rgb->_levels[0];
    const uint8_t* dst = m->levelBytes(0).data();
    for (int p = 0; p < 8; ++p) {
        EXPECT_EQ(dst[4 * p + 1], src[3 * p + 1]);
        EXPECT_EQ(dst[4 * p + 3], 255);
    }

    // RGBA: one region a slice.
    Texture* rgba = texture(TextureRGBAColorizer, 4, 8, 1);
    render->uploadTexture(rgba);
    mtl::TexturePtr mv = metalTexture(rgba);
    ASSERT_EQ(mv->writes().size(), 2u);
    EXPECT_EQ(mv->writes()[1].region.origin.z, 1u);
    EXPECT_EQ(std::memcmp(mv->levelBytes(0).data(), rgba->_levels[0], 4 * 8 * 4), 0);

    // Shorter than wide: one slice, and only the rows the image has are read.
    Texture* flat = texture(TextureRGBAColorizer, 8, 2, 1);
    render->uploadTexture(flat);
    mtl::TexturePtr mf = metalTexture(flat);
    ASSERT_EQ(mf->writes().size(), 1u);
    EXPECT_EQ(mf->writes()[0].region.size.height, 2u);
    Texture* flatRgb = texture(TextureRGBColorizer, 4, 2, 1);
    render->uploadTexture(flatRgb);
    EXPECT_EQ(metalTexture(flatRgb)->writeCount(0), 8u);
}

TEST_F(MetalTextures, CompressedLevelsGoInWholeAndEtc1GetsNoTexture) {
    Texture* pvr = texture(TexturePVRTC4RGBA, 16, 16, 2);
    render->uploadTexture(pvr);
    mtl::TexturePtr m = metalTexture(pvr);
    ASSERT_EQ(m->writes().size(), 2u);
    EXPECT_EQ(m->writes()[0].bytesPerRow, 0u);
    EXPECT_EQ(std::memcmp(m->levelBytes(1).data(), pvr->_levels[1], m->levelBytes(1).size()), 0);

    // Bound, a texture without a Metal format leaves its channel empty but still gets a sampler.
    Texture* etc = texture(TextureETC1, 16, 16, 1);
    RenderTarget* s = screen();
    view->frame([&] {
        render->beginRenderTarget(s);
        render->bindTexture(1, etc);
        EXPECT_EQ(render->encoder->commands().back().text, "setFragmentSamplerState index=1");
        EXPECT_EQ(commandCount(*render->encoder, "setFragmentTexture index=1 none"), 1);
    });
}

TEST_F(MetalTextures, SamplerStatesAreSharedByKeyAndFollowFilterAddressAndLevels) {
    struct Case {
        const char* name;
        int filter, address, levels;
        float aniso;
        mtl::SamplerMinMagFilter minMag;
        mtl::SamplerMipFilter mip;
        mtl::SamplerAddressMode addressMode;
        uint32_t maxAnisotropy;
    };
    const Case cases[] = {
        {"linear, one level", FilterLinear, AddressRepeat, 1, 0, mtl::SamplerMinMagFilterLinear,
         mtl::SamplerMipFilterNotMipmapped, mtl::SamplerAddressModeRepeat, 1},
        {"linear, mipmapped", FilterLinear, AddressRepeat, 2, 0, mtl::SamplerMinMagFilterLinear,
         mtl::SamplerMipFilterLinear, mtl::SamplerAddressModeRepeat, 1},
        {"nearest, clamped", FilterNearest, AddressClamp, 3, 0, mtl::SamplerMinMagFilterNearest,
         mtl::SamplerMipFilterNearest, mtl::SamplerAddressModeClampToEdge, 1},
        {"anisotropic", FilterLinear, AddressRepeat, 1, 4.5f, mtl::SamplerMinMagFilterLinear,
         mtl::SamplerMipFilterNotMipmapped, mtl::SamplerAddressModeRepeat, 5},
        {"anisotropy beyond the device", FilterLinear, AddressRepeat, 1, 16, mtl::SamplerMinMagFilterLinear,
         mtl::SamplerMipFilterNotMipmapped, mtl::SamplerAddressModeRepeat, 16},
    };
    for (const Case& c : cases) {
        Texture* a = texture(TextureRGBA, 4, 4, c.levels);
        Texture* b = texture(TextureRGBA, 4, 4, c.levels);
        for (Texture* t : {a, b}) {
            t->_filter = c.filter;
            t->_addressMode = c.address;
            t->_maxAniso = c.aniso;
        }
        uint32_t before = render->device->counters().samplerStates;
        render->uploadTexture(a);
        render->uploadTexture(b);
        EXPECT_EQ(render->device->counters().samplerStates, before + 1) << c.name << ": one state for both";
        mtl::SamplerStatePtr s = render->getSamplerState(a);
        EXPECT_EQ(s, render->getSamplerState(b)) << c.name;
        EXPECT_EQ(s->descriptor.minFilter, c.minMag) << c.name;
        EXPECT_EQ(s->descriptor.magFilter, c.minMag) << c.name;
        EXPECT_EQ(s->descriptor.mipFilter, c.mip) << c.name;
        EXPECT_EQ(s->descriptor.sAddressMode, c.addressMode) << c.name;
        EXPECT_EQ(s->descriptor.rAddressMode, c.addressMode) << c.name;
        EXPECT_EQ(s->descriptor.maxAnisotropy, c.maxAnisotropy) << c.name;
    }
}

TEST_F(MetalTextures, TheSamplerFollowsTheUploadedLevelsAfterTheMemoryCopyIsFreed) {
    Texture* t = texture(TextureRGBA, 8, 8, 4);
    render->uploadTexture(t);
    mtl::SamplerStatePtr before = render->getSamplerState(t);
    t->freeData();
    EXPECT_EQ(t->_levelCount, 0);
    EXPECT_EQ(render->getSamplerState(t), before);
    EXPECT_EQ(before->descriptor.mipFilter, mtl::SamplerMipFilterLinear);
}

TEST_F(MetalTextures, BindingSetsTexturesAndSamplersOnlyOnChannelsZeroToThree) {
    RenderTarget* s = screen();
    Texture* a = texture(TextureRGBA, 4, 4, 1);
    Texture* b = texture(TextureRGBA, 4, 4, 1);
    Material* m = material("five", "shaders/model.shader");
    for (int i = 0; i < 5; ++i)
        m->_textures.push_back(i == 4 ? b : a);
    addMesh(s, quad(), m, Vector3(0, 0, 0));
    clearLog();
    mtl::CommandBufferPtr cb = drawFrame();
    drawFrame();
    std::vector<DrawAt> draws = drawsWith(cb, "five");
    ASSERT_EQ(draws.size(), 1u);
    const mtl::DrawRecord& d = *draws[0].draw;
    EXPECT_EQ(d.fragmentTextures.size(), 4u);
    EXPECT_EQ(d.fragmentSamplers.size(), 4u);
    EXPECT_EQ(d.fragmentTextures.count(4), 0u);
    EXPECT_EQ(logCount("only channels 0 to 3 exist"), 1);
    // The four channels share one sampler state, set once each.
    EXPECT_EQ(commandCount(*draws[0].encoder, "setFragmentSamplerState"), 4);
    EXPECT_FALSE(metalTexture(b)) << "the skipped texture is not even uploaded";
}

TEST_F(MetalTextures, BindingNoTextureKeepsTheSamplerAndAReloadRewritesInPlace) {
    RenderTarget* s = screen();
    Texture* t = texture(TextureRGBA, 4, 4, 1);
    view->frame([&] {
        render->beginRenderTarget(s);
        render->bindTexture(0, t);
        mtl::TexturePtr m = metalTexture(t);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->writeCount(0), 1u);
        render->bindTexture(0, nullptr);
        EXPECT_EQ(render->encoder->commands().back().text, "setFragmentTexture index=0 none");
        EXPECT_TRUE(render->boundSamplers[0]);

        t->_levels[0][0] = 99;
        t->_reload = 1;
        render->bindTexture(0, t);
        EXPECT_EQ(metalTexture(t), m);
        EXPECT_EQ(m->writeCount(0), 2u);
        EXPECT_EQ(m->levelBytes(0)[0], 99);
        EXPECT_EQ(t->_reload, 0);
        EXPECT_EQ(commandCount(*render->encoder, "setFragmentSamplerState"), 1) << "already bound";

        render->deleteTexture(t);
        EXPECT_FALSE(t->_deviceTexture);
    });
}

TEST_F(MetalTextures, AChannelOfFourOrMoreStopsTheSamplerSetter) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(render->setFragmentSamplerState(4, nullptr), "channel < 4");
}

}  // namespace
