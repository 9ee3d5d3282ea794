#pragma once
// The process-wide cache of rendering resources by file name. The first request creates and
// loads a resource, later requests get the same object; resources are never removed. It also
// uploads a material's textures right after the material is read, and everything cached at the
// end of loading. Files are opened in the automatic store (reads come from the read store).

#include <map>
#include <string>

class Geometry;
class Material;
class Shader;
class Texture;
class TextFont;

class ResourceManager {
public:
    static ResourceManager& instance();

    // The cached geometry, else a new empty one registered under name (never null). Filling it
    // is the caller's work (Geometry::load); a geometry holding data is not loaded again.
    Geometry* getGeometry(const std::string& name);
    // The cached material; else the file name (".xml" names read the file ending in "txt"),
    // opened as text. Null, and nothing cached, when the file does not open.
    Material* getMaterial(const std::string& name);
    // The cached shader; else read from the file and built by the current renderer. Null, not
    // cached, when the file does not open.
    Shader* getShader(const std::string& name);
    // The cached texture; else decoded from the file (not uploaded). Null, not cached, when
    // the file does not open.
    Texture* getTexture(const std::string& name);
    // Fonts: name + ".fnt" (bitmap font), else name + ".tga" with name + ".txt" (glyph sheet).
    // Defined with the fonts.
    TextFont* getFont(const std::string& name);

    // Validates the shader's uniforms, then caches it unless the name is taken (the first stays).
    void registerShader(const std::string& name, Shader* shader);

    // Uploads every texture of the material that has level data, then frees their memory copies.
    void uploadMaterialTextures(Material& material);
    // End of loading: re-uploads textures flagged for reload and uploads the rest, frees their
    // memory, builds every shader, creates dynamic geometries and packs the static ones.
    void uploadAll();

    // Tests only: deletes every cached geometry, material, shader, texture and font, as at a
    // fresh start. Shader programs go back to the current renderer first.
    void resetForTests();

    std::map<std::string, Geometry*> _geometries;
    std::map<std::string, Material*> _materials;
    std::map<std::string, Shader*> _shaders;
    std::map<std::string, Texture*> _textures;
    std::map<std::string, TextFont*> _fonts;

private:
    ResourceManager() {}
};
