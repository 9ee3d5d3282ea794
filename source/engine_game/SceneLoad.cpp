// Making scenes, picking the scene-file reader, and the text scene format.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/IGame.h"
#include "engine/file.h"
#include "engine/utils.h"
#include "engine_game/Camera.h"
#include "engine_game/Light.h"
#include "engine_game/Scene.h"
#include "engine_game/SceneFormat.h"
#include "engine_game/World.h"

// ---------------------------------------------------------------------------------------------
// Shared by both readers

namespace sceneformat {

float screenAspect(const char* where) {
    const float w = IGame::hostWidth();
    const float h = IGame::hostHeight();
    if (!(w > 0) || !(h > 0) || !std::isfinite(w / h)) {
        Logger::error("[%s] screen size %gx%g has no aspect; using 1", where, (double)w, (double)h);
        return 1.0f;
    }
    return w / h;
}

void setCameraProjection(Camera* camera, bool perspective, float lens, bool orthoLensIsHeight, const char* where) {
    if (!(lens > 0) || !std::isfinite(lens)) {
        const float fallback = perspective ? kDefaultFieldOfView : kDefaultOrthoSize;
        Logger::error("[%s] camera '%s' has no usable lens (%g); using %g", where, camera->_name.c_str(),
                      (double)lens, (double)fallback);
        lens = fallback;
    }
    if (perspective) {
        if (lens >= 180.0f) {
            Logger::error("[%s] camera '%s' field of view %g is not below 180; using %g", where,
                          camera->_name.c_str(), (double)lens, (double)kDefaultFieldOfView);
            lens = kDefaultFieldOfView;
        }
        camera->setPerspective(lens, screenAspect(where), 0.1f, 150.0f);
        return;
    }
    const float aspect = screenAspect(where);
    if (orthoLensIsHeight)
        camera->setOrtho(lens * aspect, lens);
    else
        camera->setOrtho(lens, lens / aspect);
}

std::string objectPath(const std::string& folder, const std::string& object) {
    std::string path = folder + "/" + object + ".object";
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

}  // namespace sceneformat

// ---------------------------------------------------------------------------------------------

void World::placeCamera(Scene* scene, Camera* camera) {
    if (!_camera)
        setCamera(camera);
    scene->_cameras.push_back(camera);
    noteListed(camera, ListedCameras, scene);
}

Scene* World::createScene(const std::string& name, int physics, int renderList) {
    Scene* scene = new Scene(this, name, physics);
    if (renderList == 1) {
        scene->_renderList = new SceneRenderList();
        scene->_renderList->renderTarget = _renderTarget;
    }
    Object* root = new Object(nullptr);
    root->_name = "Unknown";
    scene->setRoot(root);
    _scenes.push_back(scene);
    return scene;
}

Scene* World::loadScene(const std::string& path, int physics, int renderList) {
    Scene* scene = new Scene(this, path, physics);
    if (renderList == 1) {
        scene->_renderList = new SceneRenderList();
        scene->_renderList->renderTarget = _renderTarget;
    }
    loadLevel(scene, path);
    return scene;
}

void World::loadLevel(Scene* scene, const std::string& path) {
    if (!scene)
        return;
    Object* root = new Object(nullptr);
    root->_name = "Level";
    scene->setRoot(root);
    _objectsHaveProperties = 0;
    _emptiesHaveAnimation = 0;
    // A scene listed twice would be updated twice a frame.
    if (std::find(_scenes.begin(), _scenes.end(), scene) == _scenes.end())
        _scenes.push_back(scene);

    File file;
    if (!file.open(path.c_str(), "rb", StoreAuto))
        return;

    std::vector<Object*> loaded;
    char header[6] = {0, 0, 0, 0, 0, 0};
    const bool haveHeader = file.size() >= 6 && file.read(header, 6);
    if (haveHeader && std::memcmp(header, "BINARY", 6) == 0) {
        loadBinary(scene, file, loaded, path);
    } else if (haveHeader && std::memcmp(header, "BIN1.0", 6) == 0) {
        _objectsHaveProperties = 1;
        loadBinary(scene, file, loaded, path);
    } else if (haveHeader && std::memcmp(header, "BIN1.1", 6) == 0) {
        _objectsHaveProperties = 1;
        _emptiesHaveAnimation = 1;
        loadBinary(scene, file, loaded, path);
    } else {
        file.close();
        if (file.open(path.c_str(), "rt", StoreAuto))
            loadText(scene, file, loaded);
    }
    file.close();

    for (Object* node : loaded) {
        for (size_t i = 0; i < 4; ++i)
            node->addLight(i < scene->_lights.size() ? scene->_lights[i] : _defaultLight);
    }
}

// ---------------------------------------------------------------------------------------------
// Text scenes

namespace {

using sceneformat::kLayerCount;

// Reads the fields of one line the way a scanf format would, but into strings of any length:
// a word is a run of non-blank characters; a number is what strtof reads (non-finite values
// do not count). The line is NUL-terminated, so strtof stops at its end.
class LineScanner {
public:
    // The scanner points into line, which must outlive it.
    explicit LineScanner(const std::string& line, size_t from = 0)
        : _p(line.c_str() + std::min(from, line.size())), _end(line.c_str() + line.size()) {}

    bool literal(const char* text) {
        size_t n = std::strlen(text);
        if ((size_t)(_end - _p) < n || std::memcmp(_p, text, n) != 0)
            return false;
        _p += n;
        return true;
    }
    bool word(std::string& out) {
        skipBlanks();
        if (_p >= _end)
            return false;
        const char* start = _p;
        while (_p < _end && !std::isspace((unsigned char)*_p))
            ++_p;
        out.assign(start, _p);
        return true;
    }
    bool number(float& out) {
        skipBlanks();
        if (_p >= _end)
            return false;
        char* stop = nullptr;
        float v = std::strtof(_p, &stop);
        if (stop == _p || !std::isfinite(v))
            return false;
        _p = stop;
        out = v;
        return true;
    }
    bool integer(int& out) {
        skipBlanks();
        if (_p >= _end)
            return false;
        char* stop = nullptr;
        long v = std::strtol(_p, &stop, 10);
        if (stop == _p)
            return false;
        _p = stop;
        out = (int)std::max<long>(std::min<long>(v, 0x7FFFFFFF), -0x7FFFFFFF);
        return true;
    }
    // Counts how many of n numbers were read (stops at the first miss).
    int numbers(float* out, int n) {
        int got = 0;
        while (got < n && number(out[got]))
            ++got;
        return got;
    }

private:
    void skipBlanks() {
        while (_p < _end && std::isspace((unsigned char)*_p))
            ++_p;
    }
    const char* _p;
    const char* _end;
};

// The 19 words after "layers=[ " on this line; word i "True" sets bit i.
uint32_t layerMaskOf(const std::string& line) {
    size_t at = line.find("layers=[ ");
    if (at == std::string::npos)
        return 0;
    LineScanner s(line, at + 9);
    uint32_t mask = 0;
    std::string word;
    for (int i = 0; i < kLayerCount && s.word(word); ++i) {
        if (word[0] == ']')
            break;
        if (word == "True" || word == "True]")
            mask |= 1u << i;
    }
    return mask;
}

// The blank-separated names between "groups = [" and the next ']' of this line.
std::vector<std::string> groupsOf(const std::string& line) {
    std::vector<std::string> groups;
    size_t at = line.find("groups = [");
    if (at == std::string::npos)
        return groups;
    size_t start = at + 10;
    size_t close = line.find(']', start);
    std::string inside = line.substr(start, close == std::string::npos ? std::string::npos : close - start);
    LineScanner s(inside);
    std::string word;
    while (s.word(word))
        groups.push_back(word);
    return groups;
}

// "( key = value )" pairs after "properties = [" on this line; the first pair that does not
// give two words ends the list.
void propertiesOf(const std::string& line, PropertyMap& out) {
    size_t at = line.find("properties = [");
    if (at == std::string::npos)
        return;
    size_t pos = at + 14;
    while (true) {
        size_t open = line.find('(', pos);
        if (open == std::string::npos)
            return;
        size_t close = line.find(')', open + 1);
        if (close == std::string::npos)
            return;
        const std::string inside = line.substr(open + 1, close - open - 1);
        LineScanner s(inside);
        std::string key, eq, value;
        if (!s.word(key) || !s.word(eq) || eq != "=" || !s.word(value))
            return;
        out.insert(std::make_pair(key, value));
        pos = close + 1;
    }
}

}  // namespace

void World::loadText(Scene* scene, File& file, std::vector<Object*>& loaded) {
    static const char* const kWhere = "World::loadText";
    Buffer buffer;
    if (!file.readAll(buffer, 0)) {
        Logger::error("[%s] scene file could not be read", kWhere);
        return;
    }
    std::vector<std::string> lines;
    {
        const char* p = (const char*)buffer.data;
        const char* end = p + buffer.size;
        while (p < end) {
            const char* nl = (const char*)std::memchr(p, '\n', (size_t)(end - p));
            const char* stop = nl ? nl : end;
            const char* trim = stop;
            if (trim > p && trim[-1] == '\r')
                --trim;
            lines.emplace_back(p, trim);
            p = nl ? nl + 1 : end;
        }
    }

    // The animation block after line i: "animation n" and n key lines. Returns the index of
    // the first line after it; keys get the key frames (null when there are none).
    auto readAnimation = [&](size_t i, bool camera, KeyFrameList*& keys) -> size_t {
        keys = nullptr;
        if (i >= lines.size() || lines[i].compare(0, 9, "animation") != 0)
            return i;
        LineScanner head(lines[i], 9);
        int n = 0;
        head.integer(n);
        ++i;
        if (n <= 0)
            return i;
        const size_t available = lines.size() - i;
        const size_t count = std::min((size_t)n, available);
        keys = new KeyFrameList();
        keys->reserve(count);
        for (size_t k = 0; k < count; ++k, ++i) {
            LineScanner s(lines[i]);
            int frame = 0;
            float v[7] = {0, 0, 0, 0, 0, 0, 0};
            s.integer(frame);
            KeyFrame key;
            if (camera) {
                s.numbers(v, 7);
                key.value = v[0];
                key.position = Vector3(v[1], v[2], v[3]);
                key.angles = Vector3(v[4], v[5], v[6]);
            } else {
                s.numbers(v, 6);
                key.position = Vector3(v[0], v[1], v[2]);
                key.angles = Vector3(v[3], v[4], v[5]);
            }
            keys->push_back(key);
        }
        return i;
    };

    size_t i = 0;
    while (i < lines.size()) {
        const std::string& line = lines[i];
        size_t next = i + 1;

        if (line.compare(0, 6, "CAMERA") == 0) {
            LineScanner s(line, 6);
            std::string name, projection;
            float v[7] = {0, 0, 0, 0, 0, 0, 0};
            s.word(name);
            s.word(projection);
            s.numbers(v, 7);
            Camera* camera = new Camera(scene->_root);
            camera->_name = name;
            if (projection == "PERSP")
                sceneformat::setCameraProjection(camera, true, v[6], false, kWhere);
            else if (projection == "ORTHO")
                sceneformat::setCameraProjection(camera, false, v[6], false, kWhere);
            Vector3 rows[3];
            eulerToRows(Vector3(v[3], v[4], v[5]), rows);
            camera->setTransform(rows, Vector3(v[0], v[1], v[2]), Vector3(1, 1, 1));
            placeCamera(scene, camera);
            KeyFrameList* keys;
            next = readAnimation(next, true, keys);
            if (keys)
                createAnimation(scene, camera, scene->keepKeys(keys));
        } else if (line.compare(0, 5, "EMPTY") == 0) {
            LineScanner s(line, 5);
            std::string name;
            float v[9];
            if (s.word(name) && s.numbers(v, 9) == 9) {
                EmptyEntry* entry = new EmptyEntry();
                entry->node = new Object(nullptr);
                entry->node->_name = name;
                Vector3 rows[3];
                eulerToRows(Vector3(v[3], v[4], v[5]), rows);
                entry->node->setTransform(rows, Vector3(v[0], v[1], v[2]), Vector3(v[6], v[7], v[8]));
                propertiesOf(line, entry->properties);
                Object* node = entry->node;
                if (!scene->_empties.insert(std::make_pair(name, entry)).second) {
                    delete entry;
                } else {
                    noteListed(node, ListedEmpty, scene);
                    for (const std::string& g : groupsOf(line))
                        scene->addToGroup(g, node);
                }
            }
        } else if (line.compare(0, 5, "LIGHT") == 0) {
            LineScanner s(line, 5);
            std::string name;
            float v[8];
            if (s.word(name) && s.numbers(v, 8) == 8) {
                Light* light = new Light(scene->_root);
                light->_name = name;
                light->_lightColor = Vector3(v[3], v[4], v[5]);
                light->_energy = v[6] * 0.71428573f;
                light->_secondFactor = v[7];
                light->setPosition(Vector3(v[0], v[1], v[2]));
                light->_layerMask = layerMaskOf(line);
                scene->_lights.push_back(light);
                noteListed(light, ListedLights, scene);
            }
        } else {
            LineScanner s(line);
            std::string name, object, folder;
            float v[9];
            if (s.word(name) && s.word(object) && s.word(folder) && s.numbers(v, 9) == 9) {
                const std::string path = sceneformat::objectPath(folder, object);
                ObjectNode* file = loadObjectFile(path);
                KeyFrameList* keys;
                next = readAnimation(next, false, keys);
                if (!file) {
                    Logger::message("Failed to load object: %s", path.c_str());
                    delete keys;
                } else {
                    Vector3 rows[3];
                    eulerToRows(Vector3(v[3], v[4], v[5]), rows);
                    Object* node = createObject(scene, path, name, PropertyList(), 1, rows, Vector3(v[0], v[1], v[2]),
                                                Vector3(v[6], v[7], v[8]), scene->keepKeys(keys));
                    if (node) {
                        loaded.push_back(node);
                        node->_layerMask = layerMaskOf(line);
                        for (const std::string& g : groupsOf(line))
                            scene->addToGroup(g, node);
                    }
                }
            }
        }
        i = next;
    }
}
