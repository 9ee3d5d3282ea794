#include "engine/render/ResourceManager.h"

#include <vector>

#include "engine/file.h"
#include "engine/font/TextFont.h"
#include "engine/render/Geometry.h"
#include "engine/render/Material.h"
#include "engine/render/Render.h"
#include "engine/render/Shader.h"
#include "engine/render/Texture.h"

ResourceManager& ResourceManager::instance() {
    static ResourceManager* manager = new ResourceManager();
    return *manager;
}

Geometry* ResourceManager::getGeometry(const std::string& name) {
    auto it = _geometries.find(name);
    if (it != _geometries.end())
        return it->second;
    Geometry* geometry = new Geometry();
    _geometries[name] = geometry;
    return geometry;
}

Material* ResourceManager::getMaterial(const std::string& name) {
    auto it = _materials.find(name);
    if (it != _materials.end())
        return it->second;
    std::string fileName = name;
    if (fileName.find(".xml") != std::string::npos)
        fileName.replace(fileName.size() - 3, 3, "txt");
    File file;
    if (!file.open(fileName.c_str(), "rt", StoreAuto, 1))
        return nullptr;  // not cached: the next request looks again
    Material* material = new Material();
    material->_name = name;
    material->load(file);
    _materials[name] = material;
    return material;
}

Shader* ResourceManager::getShader(const std::string& name) {
    auto it = _shaders.find(name);
    if (it != _shaders.end())
        return it->second;
    File file;
    if (!file.open(name.c_str(), "rb", StoreAuto, 1))
        return nullptr;
    Shader* shader = new Shader();
    shader->loadSource(file);
    if (Render* render = Render::current())
        render->createShader(shader);
    _shaders[name] = shader;
    return shader;
}

Texture* ResourceManager::getTexture(const std::string& name) {
    auto it = _textures.find(name);
    if (it != _textures.end())
        return it->second;
    File file;
    if (!file.open(name.c_str(), "rb", StoreAuto, 1))
        return nullptr;
    Texture* texture = new Texture();
    texture->load(file);
    _textures[name] = texture;
    return texture;
}

void ResourceManager::registerShader(const std::string& name, Shader* shader) {
    shader->validateUniforms();
    _shaders.emplace(name, shader);  // a name already cached keeps its first shader
}

void ResourceManager::uploadMaterialTextures(Material& material) {
    // Without a renderer nothing can take the pixels, so the memory copies are kept for later.
    Render* render = Render::current();
    if (!render)
        return;
    for (Texture* texture : material._textures) {
        if (texture->_levelCount != 0 && !texture->_levels.empty() && texture->_levels[0])
            render->uploadTexture(texture);
    }
    for (Texture* texture : material._textures)
        texture->freeData();
}

void ResourceManager::uploadAll() {
    Render* render = Render::current();
    if (!render)
        return;
    for (auto& entry : _textures) {
        Texture* texture = entry.second;
        if (texture->_reload)
            render->deleteTexture(texture);
        render->uploadTexture(texture);
        texture->_reload = 0;
        texture->freeData();
    }
    for (auto& entry : _shaders)
        render->createShader(entry.second);
    std::vector<Geometry*> statics;
    for (auto& entry : _geometries) {
        Geometry* geometry = entry.second;
        if (geometry->isDynamic()) {
            render->createGeometry(geometry);
        } else if (!geometry->_deviceBuffers && geometry->_vertices && geometry->_vertexCount > 0) {
            // Packed once: a geometry already in device buffers may have released its memory copy.
            statics.push_back(geometry);
        }
    }
    if (!statics.empty())
        render->batchGeometries(statics);
}

// Fonts are the font module's: the virtual destructor runs its code, so this library needs no
// link to it. The type check of the undefined-behaviour sanitizer would ask for the font type's
// run-time type information, which lives in the font module, so it is left out here.
__attribute__((no_sanitize("vptr"))) static void releaseFont(TextFont* font) { delete font; }

void ResourceManager::resetForTests() {
    for (auto& e : _materials)
        delete e.second;
    for (auto& e : _textures)
        delete e.second;
    // Program records belong to the back end that made them.
    Render* render = Render::current();
    for (auto& e : _shaders) {
        if (render && e.second->_program)
            render->deleteShader(e.second);
        delete e.second;
    }
    for (auto& e : _geometries)
        delete e.second;
    _materials.clear();
    _textures.clear();
    _shaders.clear();
    _geometries.clear();
    for (auto& e : _fonts)
        releaseFont(e.second);
    _fonts.clear();
}
