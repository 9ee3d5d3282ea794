// The shader functions the stand-in device knows, and the libraries that hold them.

#include <cctype>
#include <cstring>
#include <fstream>

#include "engine/plat_linux/metal/MetalInternal.h"

namespace mtl {

namespace {

// What each shader class's two functions read. Uniform structs go to vertex buffer index s + 1 and/or
// fragment buffer index s by the class's stage (0 fragment, 1 vertex, 2 both); vertex buffer 0 holds
// the vertices: position, texture coordinates and normal as floats, then the colour either as four
// bytes or as three floats.
struct ClassFunctions {
    const char* name;
    uint32_t structCount;
    uint32_t structSizes[2];
    int perInstanceStruct;  // -1: none
    int stage;
    bool floatColour;
};

const ClassFunctions kClasses[] = {
    {"DecalShader", 1, {192, 0}, 0, 1, false},
    {"ParticlesShader", 1, {192, 0}, 0, 1, false},
    {"BrightpassShader", 1, {8, 0}, -1, 0, true},
    {"BlurHShader", 1, {16, 0}, -1, 1, true},
    {"BlurVShader", 1, {16, 0}, -1, 2, true},
    {"CombineShader", 1, {4, 0}, -1, 1, true},
    {"DebugDrawShader", 1, {192, 0}, -1, 1, false},
    {"MenuShader", 2, {128, 80}, 1, 1, false},
    {"ModelShader", 2, {288, 128}, 1, 1, false},
    {"TextShader", 2, {128, 80}, 1, 1, true},
    {"ModelRefShader", 2, {272, 112}, 1, 1, false},
    {"StencilMaskShader", 1, {192, 0}, 0, 1, false},
    {"MenuProgressbarShader", 1, {224, 0}, 0, 1, false},
    {"UVScrollShader", 2, {144, 96}, 1, 2, false},
    {"SkyShader", 1, {192, 0}, 0, 1, false},
    {"OutlineShader", 1, {224, 0}, 0, 1, false},
};

std::vector<FunctionPtr> buildStandardFunctions() {
    std::vector<FunctionPtr> out;
    for (const ClassFunctions& c : kClasses) {
        std::vector<BufferUse> vertexUses, fragmentUses;
        for (uint32_t s = 0; s < c.structCount; ++s) {
            bool perInstance = (int)s == c.perInstanceStruct;
            if (c.stage == 1 || c.stage == 2)
                vertexUses.push_back({s + 1, c.structSizes[s], perInstance});
            if (c.stage == 0 || c.stage == 2)
                fragmentUses.push_back({s, c.structSizes[s], perInstance});
        }
        uint32_t stride = 12 + 8 + 12 + (c.floatColour ? 12 : 4);
        out.push_back(std::make_shared<Function>(std::string(c.name) + "VertexShader", FunctionTypeVertex, stride,
                                                 vertexUses));
        out.push_back(std::make_shared<Function>(std::string(c.name) + "FragmentShader", FunctionTypeFragment, 0,
                                                 fragmentUses));
    }
    // The depth-clearing quad: bare positions, no uniforms.
    out.push_back(std::make_shared<Function>("ClearShaderVertexShader", FunctionTypeVertex, 12,
                                             std::vector<BufferUse>()));
    out.push_back(std::make_shared<Function>("ClearShaderFragmentShader", FunctionTypeFragment, 0,
                                             std::vector<BufferUse>()));
    return out;
}

bool isIdentifierChar(char c) { return std::isalnum((unsigned char)c) || c == '_'; }

// True when the text defines `name` as a function: the whole identifier followed by "(".
bool definesFunction(const std::string& text, const std::string& name) {
    size_t at = 0;
    while ((at = text.find(name, at)) != std::string::npos) {
        size_t end = at + name.size();
        bool startOk = at == 0 || !isIdentifierChar(text[at - 1]);
        size_t p = end;
        while (p < text.size() && std::isspace((unsigned char)text[p]))
            ++p;
        if (startOk && p < text.size() && text[p] == '(' && (end >= text.size() || !isIdentifierChar(text[end])))
            return true;
        at = end;
    }
    return false;
}

}  // namespace

const std::vector<FunctionPtr>& standardFunctions() {
    static const std::vector<FunctionPtr> functions = buildStandardFunctions();
    return functions;
}

FunctionPtr Library::newFunctionWithName(const std::string& name) const {
    for (const FunctionPtr& f : _functions)
        if (f->name() == name)
            return f;
    return nullptr;
}

std::vector<std::string> Library::functionNames() const {
    std::vector<std::string> names;
    for (const FunctionPtr& f : _functions)
        names.push_back(f->name());
    return names;
}

LibraryPtr Device::newDefaultLibrary() {
    if (!_hasDefaultLibrary)
        return nullptr;
    return std::make_shared<Library>(standardFunctions());
}

LibraryPtr Device::newLibraryWithFile(const std::string& path, ErrorPtr* error) {
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {0, 0, 0, 0};
    if (!in || !in.read(magic, 4) || std::memcmp(magic, "MTLB", 4) != 0) {
        if (error)
            *error = std::make_shared<Error>(Error{in ? "Invalid library file: " + path : "Library file not found: " + path});
        return nullptr;
    }
    return std::make_shared<Library>(standardFunctions());
}

LibraryPtr Device::newLibraryWithSource(const std::string& source, ErrorPtr* error) {
    std::vector<FunctionPtr> found;
    for (const FunctionPtr& f : standardFunctions())
        if (definesFunction(source, f->name()))
            found.push_back(f);
    if (found.empty()) {
        if (error)
            *error = std::make_shared<Error>(Error{"Compilation failed: the source defines no known shader function"});
        return nullptr;
    }
    return std::make_shared<Library>(found);
}

}  // namespace mtl
