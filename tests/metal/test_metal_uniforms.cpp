// Uniform rings and instanced drawing of the Metal renderer.

#include <cstring>

#include "MetalTestSupport.h"
#include "engine/MetalRender/MetalShaderData.h"
#include "engine/render/ResourceManager.h"
#include "game/metal/MetalShaders.h"

using namespace metaltest;

namespace {

// A class without uniform structs, drawn with the depth-clearing functions (they read nothing but
// vertices).
class NoStructShader : public MetalShader {
public:
    NoStructShader() {
        addAttribute(0, 3, "vertPos");
        addAttribute(0, 2, "texCoords0");
        addAttribute(0, 3, "vertNormal");
        addAttribute(1, 4, "vertColor");
    }
    const char* getName() override { return "NoStructShader"; }
    int getNumberOfUniformStructs() override { return 0; }
    int isPerInstanceStruct(int) override { return 0; }
    const char* getVertexFunctionName() override { return "ClearShaderVertexShader"; }
    const char* getFragmentFunctionName() override { return "ClearShaderFragmentShader"; }
};

class MetalUniforms : public MetalRenderTest {
protected:
    MetalShaderData* dataOf(const char* file) {
        return dynamic_cast<MetalShaderData*>(ResourceManager::instance()._shaders[file]->_program);
    }
    // The meshes of a target's first opaque chain, in chain order.
    static std::vector<Mesh*> chain(RenderTarget* t) {
        std::vector<Mesh*> out;
        for (RenderLink* n = t->_opaqueChains.at(0); n; n = n->nextIn(t->_index))
            out.push_back(n->mesh);
        return out;
    }
    static Matrix4 worldOfCopy(const mtl::UniformRead& u, uint32_t n) {
        Matrix4 m;
        std::memcpy(m.m, u.copy(n), 64);
        return m;
    }
};

TEST_F(MetalUniforms, EqualMeshesAreOneDrawWithOneStructCopyPerInstance) {
    RenderTarget* s = screen();
    Geometry* g = quad();
    Material* m = material("crate", "shaders/model.shader");
    addMesh(s, g, m, Vector3(1, 0, 0));
    addMesh(s, g, m, Vector3(2, 0, 0));
    addMesh(s, g, m, Vector3(3, 0, 0));
    mtl::CommandBufferPtr cb = drawFrame();
    std::vector<DrawAt> draws = drawsWith(cb, "crate");
    ASSERT_EQ(draws.size(), 1u);
    const mtl::DrawRecord& d = *draws[0].draw;
    EXPECT_EQ(d.instanceCount, 3u);
    EXPECT_EQ(d.indexCount, 6u);
    const mtl::UniformRead* perMesh = d.uniform(mtl::FunctionTypeVertex, 2);
    ASSERT_TRUE(perMesh);
    ASSERT_EQ(perMesh->copies, 3u);
    std::vector<Mesh*> order = chain(s);
    for (uint32_t n = 0; n < 3; ++n)
        EXPECT_EQ(worldOfCopy(*perMesh, n), order[n]->_worldMatrix) << "instance " << n;
    EXPECT_EQ(render->drawCalls, 1u) << "the depth clear is no draw of the frame's";
    EXPECT_EQ(render->triangles, 6u);
}

TEST_F(MetalUniforms, MeshesWithEqualValuesStillGetACopyEach) {
    RenderTarget* s = screen();
    Geometry* g = quad();
    Material* m = material("crate", "shaders/model.shader");
    for (int i = 0; i < 3; ++i)
        addMesh(s, g, m, Vector3(7, 0, 0));
    mtl::CommandBufferPtr cb = drawFrame();
    std::vector<DrawAt> draws = drawsWith(cb, "crate");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].draw->instanceCount, 3u);
    const mtl::UniformRead* perMesh = draws[0].draw->uniform(mtl::FunctionTypeVertex, 2);
    ASSERT_TRUE(perMesh);
    for (uint32_t n = 0; n < 3; ++n)
        EXPECT_EQ(worldOfCopy(*perMesh, n), Matrix4::translation(Vector3(7, 0, 0))) << "instance " << n;
    MetalShaderData* data = dataOf("shaders/model.shader");
    EXPECT_EQ(data->blocks[0][1][0].count, 3u);
}

TEST_F(MetalUniforms, AChangedSharedUniformDrawsTheBatchSoFarFirst) {
    RenderTarget* s = screen();
    Geometry* g = quad();
    Material* m = material("crate", "shaders/model.shader");
    for (int i = 0; i < 3; ++i)
        addMesh(s, g, m, Vector3((float)i, 0, 0));
    std::vector<Mesh*> order = chain(s);
    order[1]->_colour = Vector4(1, 0, 0, 1);
    order[2]->_colour = Vector4(1, 0, 0, 1);
    mtl::CommandBufferPtr cb = drawFrame();
    std::vector<DrawAt> draws = drawsWith(cb, "crate");
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].draw->instanceCount, 1u);
    EXPECT_EQ(draws[1].draw->instanceCount, 2u);
    const mtl::UniformRead* shared0 = draws[0].draw->uniform(mtl::FunctionTypeVertex, 1);
    const mtl::UniformRead* shared1 = draws[1].draw->uniform(mtl::FunctionTypeVertex, 1);
    ASSERT_TRUE(shared0 && shared1);
    // "meshColor" sits behind the two matrices and eight light vectors of struct 0.
    float colour0[4], colour1[4];
    std::memcpy(colour0, shared0->bytes.data() + 256, 16);
    std::memcpy(colour1, shared1->bytes.data() + 256, 16);
    EXPECT_EQ(Vector4(colour0[0], colour0[1], colour0[2], colour0[3]), Vector4(1, 1, 1, 1));
    EXPECT_EQ(Vector4(colour1[0], colour1[1], colour1[2], colour1[3]), Vector4(1, 0, 0, 1));
    EXPECT_EQ(shared1->offset, shared0->offset + 288);
    EXPECT_EQ(worldOfCopy(*draws[1].draw->uniform(mtl::FunctionTypeVertex, 2), 1), order[2]->_worldMatrix);
}

TEST_F(MetalUniforms, AShaderWithoutStructsDrawsTheWholeListAsOneBatch) {
    auto* shader = new NoStructShader();
    ResourceManager::instance().registerShader("shaders/nostruct.shader", shader);
    RenderTarget* s = screen();
    Geometry* g = quad();
    Material* m = material("plain", "shaders/nostruct.shader");
    for (int i = 0; i < 4; ++i)
        addMesh(s, g, m, Vector3((float)i, 0, 0));
    mtl::CommandBufferPtr cb = drawFrame();
    std::vector<DrawAt> draws = drawsWith(cb, "plain");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].draw->instanceCount, 4u);
    EXPECT_TRUE(draws[0].draw->uniforms.empty());
}

TEST_F(MetalUniforms, TheThousandAndFirstCopyOfALaneStartsANewBlockAndRebinds) {
    RenderTarget* s = screen();
    Shader* model = ResourceManager::instance()._shaders["shaders/model.shader"];
    view->frame([&] {
        render->beginRenderTarget(s);
        render->setShader(model);
        MetalShaderData* data = dataOf("shaders/model.shader");
        for (int i = 0; i < 1001; ++i) {
            Matrix4 w = Matrix4::translation(Vector3((float)i, 0, 0));
            writeUniformMatrix4(data->worldMat, w.m);
            render->commitUniforms(model);
        }
        std::vector<UniformBlock>& blocks = data->blocks[render->frameIndex][1];
        ASSERT_EQ(blocks.size(), 2u);
        EXPECT_EQ(blocks[0].count, 1000u);
        EXPECT_EQ(blocks[1].count, 1u);
        EXPECT_EQ(blocks[0].buffer->length(), 128u * 1000);
        EXPECT_EQ(data->blocks[render->frameIndex][0].size(), 1u);
        EXPECT_EQ(data->blocks[render->frameIndex][0][0].count, 1u) << "the shared struct was written once";
        const mtl::Command& last = render->encoder->commands().back();
        EXPECT_EQ(last.text, "setVertexBuffer index=2 offset=0");
        EXPECT_EQ(last.object, blocks[1].buffer.get());
        Matrix4 lastWorld;
        std::memcpy(lastWorld.m, blocks[1].buffer->contents(), 64);
        EXPECT_EQ(lastWorld, Matrix4::translation(Vector3(1000, 0, 0)));
    });
}

TEST_F(MetalUniforms, APendingBatchMeetingAFullBlockIsDrawnFirst) {
    RenderTarget* s = screen();
    Geometry* g = quad();
    Material* m = material("crate", "shaders/model.shader");
    for (int i = 0; i < 3; ++i)
        addMesh(s, g, m, Vector3((float)i, 0, 0));
    Shader* model = ResourceManager::instance()._shaders["shaders/model.shader"];
    mtl::CommandBufferPtr cb = view->frame([&] {
        render->beginRenderTarget(s);
        render->currentTarget = s;
        render->setShader(model);
        MetalShaderData* data = dataOf("shaders/model.shader");
        for (int i = 0; i < 998; ++i) {
            Matrix4 w = Matrix4::translation(Vector3((float)i, 5, 0));
            writeUniformMatrix4(data->worldMat, w.m);
            render->commitUniforms(model);
        }
        render->renderTarget(s);
    });
    std::vector<DrawAt> draws = drawsWith(cb, "crate");
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].draw->instanceCount, 2u);
    EXPECT_EQ(draws[0].draw->uniform(mtl::FunctionTypeVertex, 2)->offset, 998u * 128);
    EXPECT_EQ(draws[1].draw->instanceCount, 1u);
    EXPECT_EQ(draws[1].draw->uniform(mtl::FunctionTypeVertex, 2)->offset, 0u);
    EXPECT_NE(draws[1].draw->uniform(mtl::FunctionTypeVertex, 2)->buffer,
              draws[0].draw->uniform(mtl::FunctionTypeVertex, 2)->buffer);
}

TEST_F(MetalUniforms, LanesWrapAroundAfterThreeFramesAndReuseTheirBlocks) {
    RenderTarget* s = screen();
    Material* m = material("crate", "shaders/model.shader");
    Mesh* mesh = addMesh(s, quad(), m, Vector3(0, 0, 0));
    std::vector<mtl::BufferPtr> perFrame;
    uint32_t buffersAfterThree = 0;
    for (int f = 0; f < 6; ++f) {
        mesh->_worldMatrix = Matrix4::translation(Vector3((float)f, 0, 0));
        mtl::CommandBufferPtr cb = drawFrame();
        std::vector<DrawAt> draws = drawsWith(cb, "crate");
        ASSERT_EQ(draws.size(), 1u);
        const mtl::UniformRead* u = draws[0].draw->uniform(mtl::FunctionTypeVertex, 2);
        ASSERT_TRUE(u);
        EXPECT_EQ(u->offset, 0u) << "each lane starts from its first block again";
        EXPECT_EQ(worldOfCopy(*u, 0), mesh->_worldMatrix);
        perFrame.push_back(u->buffer);
        if (f == 2)
            buffersAfterThree = render->device->counters().buffers;
    }
    EXPECT_NE(perFrame[0], perFrame[1]);
    EXPECT_NE(perFrame[1], perFrame[2]);
    EXPECT_EQ(perFrame[3], perFrame[0]);
    EXPECT_EQ(perFrame[4], perFrame[1]);
    EXPECT_EQ(perFrame[5], perFrame[2]);
    EXPECT_EQ(render->device->counters().buffers, buffersAfterThree) << "no buffer is made once the rings have grown";
}

TEST_F(MetalUniforms, EveryStructIsBoundAgainOnANewEncoder) {
    // A still scene: the second frame changes no value, yet its new encoder has nothing bound.
    RenderTarget* s = screen();
    RenderTarget* off = offscreen("mirror", 64, 64);
    Material* m = material("crate", "shaders/model.shader");
    Geometry* g = quad();
    addMesh(s, g, m, Vector3(0, 0, 0));
    addMesh(off, g, m, Vector3(0, 0, 0));
    for (int f = 0; f < 3; ++f) {
        mtl::CommandBufferPtr cb = drawFrame();
        std::vector<DrawAt> draws = drawsWith(cb, "crate");
        ASSERT_EQ(draws.size(), 2u);
        for (const DrawAt& d : draws) {
            EXPECT_TRUE(d.draw->errors.empty()) << d.draw->errors[0];
            EXPECT_TRUE(d.draw->uniform(mtl::FunctionTypeVertex, 1)) << "frame " << f;
            EXPECT_TRUE(d.draw->uniform(mtl::FunctionTypeVertex, 2)) << "frame " << f;
        }
    }
    EXPECT_EQ(render->device->validationErrorCount(), 0u);
}

TEST_F(MetalUniforms, UseShaderMakesTheNextCommitWriteAndBindEveryStruct) {
    RenderTarget* s = screen();
    Shader* model = ResourceManager::instance()._shaders["shaders/model.shader"];
    view->frame([&] {
        render->beginRenderTarget(s);
        render->setShader(model);
        render->commitUniforms(model);
        size_t before = render->encoder->commands().size();
        render->commitUniforms(model);
        EXPECT_EQ(commandCount(*render->encoder, "index=1"), 1) << "an unchanged shared struct stays bound";
        render->useShader(model);
        render->commitUniforms(model);
        std::vector<mtl::Command> after(render->encoder->commands().begin() + before, render->encoder->commands().end());
        int shared = 0, perMesh = 0;
        for (const mtl::Command& c : after) {
            shared += c.text.find("setVertexBuffer index=1") != std::string::npos;
            perMesh += c.text.find("setVertexBuffer index=2") != std::string::npos;
        }
        EXPECT_EQ(shared, 1);
        EXPECT_EQ(perMesh, 2);
    });
}

TEST_F(MetalUniforms, StagesBindStructsToVertexAndOrFragmentBuffers) {
    RenderTarget* s = screen();
    struct Case {
        const char* shader;
        std::vector<std::string> binds;
    };
    const Case cases[] = {
        {"shaders/brightpass.shader", {"setFragmentBuffer index=0"}},
        {"shaders/blur_h.shader", {"setVertexBuffer index=1"}},
        {"shaders/blur_v.shader", {"setVertexBuffer index=1", "setFragmentBuffer index=0"}},
        {"shaders/uvscroll.shader",
         {"setVertexBuffer index=1", "setFragmentBuffer index=0", "setVertexBuffer index=2", "setFragmentBuffer index=1"}},
    };
    for (const Case& c : cases) {
        Shader* shader = ResourceManager::instance()._shaders[c.shader];
        view->frame([&] {
            render->beginRenderTarget(s);
            render->setShader(shader);
            size_t before = render->encoder->commands().size();
            render->commitUniforms(shader);
            std::vector<std::string> binds;
            for (size_t i = before; i < render->encoder->commands().size(); ++i)
                binds.push_back(render->encoder->commands()[i].text.substr(0, render->encoder->commands()[i].text.find(" offset")));
            EXPECT_EQ(binds, c.binds) << c.shader;
        });
    }
}

}  // namespace
