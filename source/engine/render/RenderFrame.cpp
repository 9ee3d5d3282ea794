// The frame: targets in list order; inside a target culling, sorting, camera and fog, the opaque
// chains with identical meshes grouped, then the blended chains; each mesh with its standard
// uniforms, material state, stencil, culling, lights and draw ranges.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/IGame.h"
#include "engine/bounds.h"
#include "engine/clock.h"
#include "engine/render/Geometry.h"
#include "engine/render/Material.h"
#include "engine/render/Mesh.h"
#include "engine/render/Render.h"
#include "engine/render/RenderTarget.h"
#include "engine/render/SceneFields.h"
#include "engine/render/Shader.h"
#include "engine/utils.h"

static float fogUniformValue(float distance) { return distance > 0 ? -1.0f / distance : 0.0f; }

void Render::render() {
    time += frameTime().dt;
    drawCalls = 0;
    triangles = 0;
    distanceSkipped = 0;
    programSwitches = 0;
    for (RenderTarget* target : targets)
        if (!target->_disabled) renderTarget(target);
    endFrame();
}

void Render::renderTarget(RenderTarget* target) {
    if (!target->hasDepth()) {
        toggleDepthTest(false);
        toggleDepthWrite(false);
    }
    beginRenderTarget(target);
    currentTarget = target;
    target->cull();
    target->sort();
    setCamera(target->_camera);
    fogDistance = target->_fogDistance;
    if (currentProgram) writeUniformFloat(currentProgram->fogDistance, fogUniformValue(fogDistance));

    const bool distanceTest = target->_camera != nullptr;
    Vector3 cameraPosition;
    if (distanceTest) cameraPosition = cameraFields(target->_camera).world.getTranslation();
    const uint32_t index = target->_index;
    // Hidden meshes are passed over; with a camera, so are meshes at or beyond their
    // visibility distance (counted).
    auto visible = [&](const Mesh* mesh) {
        if (mesh->_hidden) return false;
        if (distanceTest) {
            const Vector3 d = mesh->_worldMatrix.getTranslation() - cameraPosition;
            if (d.lengthSquared() >= mesh->_visibilityDistanceSq) {
                ++distanceSkipped;
                return false;
            }
        }
        return true;
    };

    // Opaque pass: consecutive meshes of one geometry and index range go out as one group.
    static thread_local std::vector<Mesh*> group;
    auto flush = [&]() {
        if (group.size() == 1) renderMesh(group[0]);
        else if (group.size() > 1) renderMeshes(group);
        group.clear();
    };
    for (size_t c = 0; c < target->_opaqueChains.size(); ++c) {
        group.clear();
        for (RenderLink* node = target->_opaqueChains[c]; node; node = node->nextIn(index)) {
            Mesh* mesh = node->mesh;
            if (!visible(mesh)) continue;
            if (!mesh->_drawRanges.empty()) {
                // Drawn by itself, range by range; it closes the open group.
                flush();
                renderMesh(mesh);
                continue;
            }
            if (!group.empty()) {
                const Mesh* opener = group[0];
                if (opener->_geometry != mesh->_geometry || opener->getFirstIndex() != mesh->getFirstIndex() ||
                    opener->getIndexCount() != mesh->getIndexCount())
                    flush();
            }
            group.push_back(mesh);
        }
        flush();
    }

    // Blended pass, in the order the sort left.
    for (size_t c = 0; c < target->_blendedChains.size(); ++c) {
        for (RenderLink* node = target->_blendedChains[c]; node; node = node->nextIn(index)) {
            if (visible(node->mesh)) renderMesh(node->mesh);
        }
    }

    finishRenderTarget(target);
}

void Render::setCamera(Camera* camera) {
    if (!camera) {
        projection.setIdentity();
        view.setIdentity();
        return;
    }
    const CameraFields fields = cameraFields(camera);
    projection = *fields.projection;
    view = *fields.view;
    if (currentProgram) {
        writeUniformMatrix4(currentProgram->projMat, projection.m);
        writeUniformMatrix4(currentProgram->viewMat, view.m);
    }
}

// Sprite-sheet frame and scrolling offset of a material at a time.
static void uvOffsetAt(const Material& material, float time, float out[3]) {
    const uint32_t width = material._uvAnimWidth;
    const uint32_t frames = material._uvAnimNumberOfFrames;
    const uint32_t rows = width ? (uint32_t)(((uint64_t)frames + width - 1) / width) : 0;
    const float counterValue = material._uvAnimSpeed * time;
    uint32_t counter = 0;
    if (counterValue > 0) counter = counterValue >= 4294967295.0f ? 0xffffffffu : (uint32_t)counterValue;
    const uint32_t column = width ? counter % width : 0;
    const uint32_t row = (width && rows) ? (counter / width) % rows : 0;
    float su = std::fmod(material._uvAnimScrollSpeedU * time, 1.0f);
    float sv = std::fmod(material._uvAnimScrollSpeedV * time, 1.0f);
    if (width) su = std::fmod(su, 1.0f / (float)width);
    if (rows) sv = std::fmod(sv, 1.0f / (float)rows);
    out[0] = (width ? (float)column / (float)width : 0.0f) + su;
    out[1] = (rows ? (float)row / (float)rows : 0.0f) + sv;
    out[2] = 0.0f;
}

bool Render::prepareMesh(Mesh* mesh) {
    Material* material = mesh->_material;
    Geometry* geometry = mesh->_geometry;
    if (!material || !geometry || geometry->_vertexCount == 0 || !material->_shader || mesh->getIndexCount() == 0)
        return false;
    Shader* shader = material->_shader;
    setShader(shader);

    world = mesh->_worldMatrix;
    for (int r = 0; r < 3; ++r) {
        const Vector3 axis = world.row3(r);
        const float length = axis.length();
        const float scale = length > 0 ? 1.0f / length : 0.0f;
        normalMatrix[r * 4 + 0] = axis.x * scale;
        normalMatrix[r * 4 + 1] = axis.y * scale;
        normalMatrix[r * 4 + 2] = axis.z * scale;
        normalMatrix[r * 4 + 3] = 0.0f;
    }

    if (StandardUniforms* program = currentProgram) {
        writeUniformVector4(program->meshColor, &mesh->_colour.x);
        writeUniformMatrix4(program->worldMat, world.m);
        const float normal[9] = {normalMatrix[0], normalMatrix[1], normalMatrix[2], normalMatrix[4], normalMatrix[5],
                                 normalMatrix[6], normalMatrix[8], normalMatrix[9], normalMatrix[10]};
        writeUniformMatrix3(program->normalMat, normal);
        writeUniformFloat(program->time, time);
        writeUniformFloat(program->fogDistance, fogUniformValue(fogDistance));
        if (material->_uvAnimSpeed != 0) {
            float offset[3];
            uvOffsetAt(*material, time, offset);
            writeUniformVector3(program->uvOffset, offset);
        }
        float half[3] = {0, 0, 0};
        if (mesh->_bounds) {
            const Vector3 extent = (mesh->_bounds->_localMax - mesh->_bounds->_localMin) * 0.5f;
            half[0] = extent.x;
            half[1] = extent.y;
            half[2] = extent.z;
        }
        writeUniformVector3(program->aabbSize, half);
    }
    mesh->updateShaderUniforms();

    bindGeometry(geometry);
    applyMaterial(material);

    toggleStencilTest(mesh->_stencilTest != 0);
    toggleStencilWrite(mesh->_stencilWrite != 0);

    const int primitive = geometry->getPrimitiveType();
    if (primitive == PrimitiveLines) toggleCulling(false);
    else if (material->_cullMode != CullNone && !cullingOn) toggleCulling(true);

    // Lights: one already bound to a slot stays there; the others take the lowest free slots.
    bool claimed[MaxLights] = {false, false, false, false};
    bool placed[MaxLights] = {false, false, false, false};
    for (int k = 0; k < MaxLights; ++k) {
        Light* light = mesh->_lights[k];
        if (!light) continue;
        for (int s = 0; s < MaxLights; ++s) {
            if (!claimed[s] && boundLights[s] == light) {
                claimed[s] = placed[k] = true;
                break;
            }
        }
    }
    for (int k = 0; k < MaxLights; ++k) {
        Light* light = mesh->_lights[k];
        if (!light || placed[k]) continue;
        for (int s = 0; s < MaxLights; ++s) {
            if (!claimed[s]) {
                setLight(s, light);
                claimed[s] = true;
                break;
            }
        }
    }
    // A slot this mesh leaves empty is dark, not the previous mesh's light.
    for (int s = 0; s < MaxLights; ++s)
        if (!claimed[s]) setLight(s, nullptr);
    return true;
}

void Render::renderMesh(Mesh* mesh) {
    if (!prepareMesh(mesh))
        return;
    Shader* shader = mesh->_material->_shader;
    Geometry* geometry = mesh->_geometry;
    const int primitive = geometry->getPrimitiveType();

    commitUniforms(shader);
    mesh->_lastDrawn = (uint32_t)frameTime().msSinceStart;

    if (primitive != PrimitiveTriangles && primitive != PrimitiveLines) {
        XAssert(0, "!\"ide nem juthatunk\"", "source/engine/render/Render", __LINE__);
        return;
    }
    const bool lines = primitive == PrimitiveLines;
    if (mesh->_drawRanges.empty()) {
        if (lines) drawLines(mesh->getFirstIndex(), mesh->getIndexCount());
        else drawTriangles(mesh->getFirstIndex(), mesh->getIndexCount());
        return;
    }
    for (const DrawRange& range : mesh->_drawRanges) {
        const int32_t first = range.first == -1 ? 0 : range.first;
        const int32_t count = range.count == -1 ? (int32_t)geometry->_indexCount : range.count;
        if (lines) drawLines(first, count);
        else drawTriangles(first, count);
    }
}

void Render::setLight(int slot, Light* light) {
    if (slot < 0 || slot >= MaxLights) return;
    boundLights[slot] = light;
    StandardUniforms* program = currentProgram;
    if (!program) return;
    if (!light) {
        // No light in this slot: no colour, so it adds nothing. The direction is a unit vector
        // all the same, so shaders that normalise it never see a zero length.
        const float black[3] = {0, 0, 0};
        const float position[4] = {0, 0, 0, 1};
        const float direction[3] = {0, 0, 1};
        writeUniformVector3(program->lightColor[slot], black);
        writeUniformVector4(program->lightPos[slot], position);
        writeUniformVector3(program->lightDirection[slot], direction);
        return;
    }
    const LightFields fields = lightFields(light);
    const float colour[3] = {fields.colour.x * fields.energy, fields.colour.y * fields.energy,
                             fields.colour.z * fields.energy};
    writeUniformVector3(program->lightColor[slot], colour);
    const Vector3& where = fields.position;
    const float factor = fields.secondFactor;
    const float position[4] = {where.x, where.y, where.z, factor != 0.0f ? 1.0f / factor : 1.0f};
    writeUniformVector4(program->lightPos[slot], position);
    const float direction[3] = {fields.direction.x, fields.direction.y, fields.direction.z};
    writeUniformVector3(program->lightDirection[slot], direction);
}

void Render::setShader(Shader* shader) {
    // The same shader again needs nothing, unless its program changed since it was made current
    // (built late by a queued request, or deleted).
    if (shader == currentShader && currentProgram == (shader ? shader->_program : nullptr)) return;
    currentShader = shader;
    useShader(shader);
    for (Light*& light : boundLights) light = nullptr;
}

void Render::commitUniforms(Shader* shader) {
    if (!shader) return;
    for (ShaderUniform* uniform : shader->_uniforms) {
        if (!uniform->_changed) continue;
        uploadUniform(uniform);
        uniform->_changed = 0;
    }
}

void Render::renderMeshes(const std::vector<Mesh*>& meshes) {
    for (Mesh* mesh : meshes) renderMesh(mesh);
}

void Render::applyMaterial(Material* material) {
    applyMaterialState(material);
    if (currentShader && currentProgram) {
        writeUniformVector4(currentProgram->color, &material->_colour.x);
        writeUniformFloat(currentProgram->materialEmit, material->_emit);
    }
    const size_t count = std::min<size_t>(material->_textures.size(), MaxTextureUnits);
    for (size_t i = 0; i < count; ++i) {
        Texture* texture = material->_textures[i];
        if (!texture) continue;
        if (texture->_reload || boundTextures[i] != texture) {
            bindTexture((int)i, texture);
            boundTextures[i] = texture;
        }
    }
}

void Render::applyMaterialState(Material* material) {
    switch (material->_blendMode) {
        case BlendPremultAlpha:
        case BlendAlpha:
            toggleBlend(true);
            toggleBlendFunc(BlendFuncAlpha);
            break;
        case BlendAdditive:
            toggleBlend(true);
            toggleBlendFunc(BlendFuncAdditive);
            break;
        default:
            toggleBlend(false);
            break;
    }
    switch (material->_cullMode) {
        case CullBack:
            toggleCulling(true);
            toggleCullFace(1);
            break;
        case CullFront:
            toggleCulling(true);
            toggleCullFace(0);
            break;
        default:
            toggleCulling(false);
            break;
    }
    const bool depthBuffer = currentTarget ? currentTarget->hasDepth() : true;
    toggleDepthTest(material->_depthTest && depthBuffer);
    toggleColorWrite(material->_colorWrite != 0);
    toggleDepthWrite(material->_depthWrite && depthBuffer);
}

RenderTarget* Render::createRenderTarget() {
    RenderTarget* target = new RenderTarget();
    target->_flags = RenderTarget::FlagColourBuffer | RenderTarget::FlagDepthBuffer;
    target->_external = 1;
    const float width = IGame::hostWidth();
    const float height = IGame::hostHeight();
    target->_width = (uint16_t)std::min(std::max(width, 0.0f), 65535.0f);
    target->_height = (uint16_t)std::min(std::max(height, 0.0f), 65535.0f);
    target->_issuer = this;
    _issued.push_back(target);
    targets.insert(targets.begin(), target);
    return target;
}

void Render::forgetTarget(RenderTarget* target) {
    if (!target || target->_issuer != this)
        return;
    _issued.erase(std::remove(_issued.begin(), _issued.end(), target), _issued.end());
    targets.erase(std::remove(targets.begin(), targets.end(), target), targets.end());
    target->_issuer = nullptr;
}
