#include "writer/LevelActorContent.h"

#include <cmath>
#include <cstdio>

namespace contentwriter {

namespace {

const float kPi = 3.14159265f;

const Properties kNoBody = {{"nophysics", "1"}};

// One object file built node by node over a shared mesh: every node owns the range of the
// shapes appended while it was made.
class Builder {
public:
    explicit Builder(const std::string& name) {
        _file.version = 3;
        _file.top.name = name;
    }

    // Shapes for the top node.
    template <class Shape>
    void top(const std::string& material, const Properties& properties, Shape&& shape) {
        _file.top.ranges.push_back(range(material, shape));
        _file.top.properties = properties;
    }

    // A child of the top node, or of another child when parent is given.
    template <class Shape>
    ObjectNodeDesc& child(const std::string& name, const std::string& material, const Vec3& position,
                          const Properties& properties, Shape&& shape, ObjectNodeDesc* parent = nullptr) {
        ObjectNodeDesc node;
        node.name = name;
        node.position = position;
        node.properties = properties;
        node.ranges.push_back(range(material, shape));
        std::vector<ObjectNodeDesc>& list = parent ? parent->children : _file.top.children;
        list.push_back(node);
        return list.back();
    }

    std::vector<Vertex>& v() { return _v; }
    std::vector<uint16_t>& i() { return _i; }
    ObjectFileDesc& file() { return _file; }

    ContentFile finish(const std::string& path) {
        _file.mesh = makeModelMesh(_v, _i);
        return {path, writeObjectFile(_file)};
    }

    auto box(const Vec3& centre, const Vec3& size) {
        return [this, centre, size]() { appendBox(_v, _i, centre, size); };
    }
    auto sphere(const Vec3& centre, float radius) {
        return [this, centre, radius]() { appendSphere(_v, _i, centre, radius, 10, 6); };
    }

private:
    template <class Shape>
    MaterialRangeDesc range(const std::string& material, Shape&& shape) {
        const uint32_t firstVertex = (uint32_t)_v.size();
        const uint16_t firstIndex = (uint16_t)_i.size();
        shape();
        MaterialRangeDesc r;
        r.material = material;
        r.firstFloat = firstVertex * 11;
        r.floatCount = ((uint32_t)_v.size() - firstVertex) * 11;
        r.firstIndex = firstIndex;
        r.indexCount = (uint16_t)(_i.size() - firstIndex);
        return r;
    }

    ObjectFileDesc _file;
    std::vector<Vertex> _v;
    std::vector<uint16_t> _i;
};

// Key frames of the top node: count frames of the pose function (frame index -> position,
// rotation).
template <class Pose>
std::vector<ObjectKeyDesc> keys(int count, Pose&& pose) {
    std::vector<ObjectKeyDesc> out;
    for (int k = 0; k < count; ++k) {
        ObjectKeyDesc key;
        pose(k, key.position, key.rotation);
        out.push_back(key);
    }
    return out;
}

float wave(int k, int period) { return std::sin(2 * kPi * (float)(k % period) / (float)period); }

// A gift: shapes only, no body at all, so the train never collides with it (the track collects
// gifts by distance).
template <class Shape>
ContentFile gift(const std::string& name, const std::string& material, Shape shape) {
    Builder b(name);
    b.top(material, kNoBody, shape(b));
    return b.finish("objects/items/" + name + ".object");
}

ContentFile coin() {
    return gift("coin", "rail_gold", [](Builder& b) { return b.box(Vec3(0, 0, 0.5f), Vec3(0.6f, 0.1f, 0.6f)); });
}

ContentFile ticket() {
    return gift("ticket", "glass", [](Builder& b) { return b.box(Vec3(0, 0, 0.5f), Vec3(0.8f, 0.05f, 0.4f)); });
}

ContentFile letter() {
    // A letter with a stroke for the reactions to switch.
    Builder b("letter");
    b.top("model", kNoBody, b.box(Vec3(0, 0, 0.6f), Vec3(0.5f, 0.15f, 0.7f)));
    b.child("stroke", "glow", Vec3(0, -0.1f, 0.6f), {{"nophysics", "1"}, {"node", "glow"}},
            b.box(Vec3(0, 0, 0), Vec3(0.6f, 0.02f, 0.8f)));
    return b.finish("objects/items/letter.object");
}

ContentFile surprise() {
    return gift("surprise", "glow", [](Builder& b) { return b.box(Vec3(0, 0, 0.5f), Vec3(0.7f, 0.7f, 0.7f)); });
}

// A battery cell standing upright: a run gathering enough of them fills the battery that opens
// the stargate.
ContentFile battery() {
    return gift("battery", "glow", [](Builder& b) { return b.box(Vec3(0, 0, 0.6f), Vec3(0.4f, 0.4f, 0.8f)); });
}

ContentFile boostGift(const std::string& name, const std::string& material) {
    return gift(name, material, [](Builder& b) { return b.sphere(Vec3(0, 0, 0.6f), 0.4f); });
}

// An obstacle item: one kinematic box, or (dash) a stack of crates, each its own body so a
// smash throws them apart.
ContentFile obstacle(const std::string& name, const Vec3& size, int crates) {
    Builder b(name);
    if (crates <= 1) {
        b.top("model", {{"coll", "box"}, {"physics", "kinematic"}},
              b.box(Vec3(0, 0, size.z * 0.5f), size));
    } else {
        b.top("model", kNoBody, b.box(Vec3(0, 0, 0.05f), Vec3(size.x, size.y, 0.1f)));
        for (int c = 0; c < crates; ++c) {
            char label[16];
            std::snprintf(label, sizeof label, "crate%d", c);
            const float x = ((float)c - 0.5f * (float)(crates - 1)) * size.x / (float)crates;
            b.child(label, "model", Vec3(x, 0, 0.1f + size.z * 0.5f), {{"coll", "box"}, {"physics", "kinematic"}},
                    b.box(Vec3(0, 0, 0), Vec3(size.x / (float)crates * 0.9f, size.y, size.z)));
        }
    }
    return b.finish("objects/obstacles/" + name + ".object");
}

// A barrier whose arm swings down across the rail: 24 frames of its "move".
ContentFile barrier() {
    Builder b("barrier");
    b.top("model", {{"coll", "box"}, {"physics", "kinematic"}}, b.box(Vec3(0, 0, 1.0f), Vec3(0.3f, 0.3f, 2.0f)));
    b.file().top.keys = keys(24, [](int k, Vec3& position, Vec3& rotation) {
        position = Vec3(0, 0, 0);
        rotation = Vec3(0, 0.5f * kPi * (float)k / 23.0f, 0);
    });
    b.child("arm", "glow", Vec3(0, 0, 1.8f), {{"coll", "box"}, {"physics", "kinematic"}},
            b.box(Vec3(0, 0, 1.5f), Vec3(0.2f, 0.2f, 3.0f)));
    return b.finish("objects/obstacles/barrier.object");
}

// A rail vehicle: Y forward, Z up, a body with a box body and a wheel pair; 24 frames of a
// rocking ride that its "run" loops.
ContentFile vehicle(const std::string& name, const Vec3& size, bool lamp) {
    Builder b(name);
    b.top("model", {{"coll", "box"}, {"physics", "kinematic"}}, b.box(Vec3(0, 0, 0.3f + size.z * 0.5f), size));
    b.file().top.keys = keys(24, [](int k, Vec3& position, Vec3& rotation) {
        position = Vec3(0, 0, 0.04f * std::fabs(wave(k, 24)));
        rotation = Vec3(0.02f * wave(k, 24), 0, 0);
    });
    const float wheelY = size.y * 0.35f;
    b.child("wheel_front", "model", Vec3(0, wheelY, 0.3f), {{"nophysics", "1"}, {"wheel", "1"}},
            b.box(Vec3(0, 0, 0), Vec3(size.x + 0.1f, 0.6f, 0.6f)));
    b.child("wheel_back", "model", Vec3(0, -wheelY, 0.3f), {{"nophysics", "1"}, {"wheel", "1"}},
            b.box(Vec3(0, 0, 0), Vec3(size.x + 0.1f, 0.6f, 0.6f)));
    if (lamp)
        b.child("lamp", "glass", Vec3(0, size.y * 0.5f, 0.3f + size.z * 0.7f), {{"nophysics", "1"}, {"node", "lamp"}},
                b.box(Vec3(0, 0, 0), Vec3(0.4f, 0.1f, 0.3f)));
    return b.finish("objects/enemies/" + name + ".object");
}

// A gate over the rail: two posts and a lintel, and a glowing "active" pane that the
// activation shows; 24 frames of a slow pulse.
ContentFile stargate() {
    Builder b("stargate");
    b.top("model", kNoBody, b.box(Vec3(0, 0, 4.2f), Vec3(5.0f, 0.6f, 0.6f)));
    b.file().top.keys = keys(24, [](int k, Vec3& position, Vec3& rotation) {
        position = Vec3(0, 0, 0.05f * wave(k, 24));
        rotation = Vec3(0, 0, 0);
    });
    b.child("post_left", "model", Vec3(-2.2f, 0, 2.0f), kNoBody, b.box(Vec3(0, 0, 0), Vec3(0.6f, 0.6f, 4.0f)));
    b.child("post_right", "model", Vec3(2.2f, 0, 2.0f), kNoBody, b.box(Vec3(0, 0, 0), Vec3(0.6f, 0.6f, 4.0f)));
    b.child("pane", "glow", Vec3(0, 0, 2.0f), {{"nophysics", "1"}, {"node", "active"}},
            b.box(Vec3(0, 0, 0), Vec3(3.8f, 0.05f, 3.8f)));
    return b.finish("objects/level/stargate.object");
}

// A switch lever beside the rail, selectable: frames 0..11 throw it to the front, 12..23 back.
ContentFile switchLever() {
    Builder b("switch");
    b.top("model", kNoBody, b.box(Vec3(0, 0, 0.2f), Vec3(0.6f, 0.6f, 0.4f)));
    b.child("lever", "glow", Vec3(0, 0, 0.4f), {{"coll", "box"}}, b.box(Vec3(0, 0, 0.5f), Vec3(0.1f, 0.1f, 1.0f)));
    b.file().top.children.back().keys = keys(24, [](int k, Vec3& position, Vec3& rotation) {
        const float t = k < 12 ? (float)k / 11.0f : 1.0f - (float)(k - 12) / 11.0f;
        position = Vec3(0, 0, 0.4f);
        rotation = Vec3(0.6f * (2 * t - 1), 0, 0);
    });
    return b.finish("objects/level/switch.object");
}

// A tree that sways (frames 0..23) and shakes (24..35, its action); its trunk is kinematic.
ContentFile tree() {
    Builder b("tree");
    b.top("model", {{"coll", "box"}}, b.box(Vec3(0, 0, 1.5f), Vec3(0.4f, 0.4f, 3.0f)));
    b.file().top.keys = keys(36, [](int k, Vec3& position, Vec3& rotation) {
        position = Vec3(0, 0, 0);
        rotation = k < 24 ? Vec3(0.03f * wave(k, 24), 0, 0) : Vec3(0, 0.08f * wave(k - 24, 6), 0);
    });
    b.child("crown", "glow", Vec3(0, 0, 3.5f), kNoBody, b.sphere(Vec3(0, 0, 0), 1.2f));
    return b.finish("objects/level/tree.object");
}

// A character riding on the train: a body and a head, a cap worn in the game ("game") and a
// scarf shown in the menus ("menu"); frames 0..23 its run, 24..35 its talk, 36..47 a hop.
ContentFile character(const std::string& name, const Vec3& size, const std::string& hat) {
    Builder b(name);
    b.top("model", kNoBody, b.box(Vec3(0, 0, size.z * 0.5f), size));
    b.file().top.keys = keys(48, [](int k, Vec3& position, Vec3& rotation) {
        rotation = Vec3(0, 0, 0);
        if (k < 24)
            position = Vec3(0, 0, 0.03f * std::fabs(wave(k, 12)));
        else if (k < 36)
            position = Vec3(0, 0, 0), rotation = Vec3(0.1f * wave(k - 24, 6), 0, 0);
        else
            position = Vec3(0, 0, 0.4f * std::sin(kPi * (float)(k - 36) / 11.0f));
    });
    b.child("head", "model", Vec3(0, 0, size.z + 0.25f), kNoBody, b.sphere(Vec3(0, 0, 0), 0.3f));
    b.child("cap", hat, Vec3(0, 0, size.z + 0.55f), {{"nophysics", "1"}, {"node", "game"}},
            b.box(Vec3(0, 0, 0), Vec3(0.5f, 0.5f, 0.15f)));
    b.child("scarf", "glow", Vec3(0, 0, size.z - 0.05f), {{"nophysics", "1"}, {"node", "menu"}},
            b.box(Vec3(0, 0, 0), Vec3(size.x + 0.1f, size.y + 0.1f, 0.1f)));
    return b.finish("objects/characters/" + name + ".object");
}

}  // namespace

std::vector<ContentFile> levelActorContent() {
    std::vector<ContentFile> files;
    files.push_back(coin());
    files.push_back(ticket());
    files.push_back(letter());
    files.push_back(surprise());
    files.push_back(battery());
    files.push_back(boostGift("boost_magnet", "rail_gold"));
    files.push_back(boostGift("boost_turbo", "glow"));
    files.push_back(obstacle("obstacle_deathly", Vec3(1.6f, 0.8f, 1.2f), 1));
    files.push_back(obstacle("obstacle_shield", Vec3(1.6f, 0.4f, 0.8f), 1));
    files.push_back(obstacle("obstacle_dash", Vec3(1.8f, 0.6f, 0.6f), 3));
    files.push_back(barrier());
    files.push_back(vehicle("enemy_train", Vec3(1.6f, 4.0f, 1.6f), true));
    files.push_back(vehicle("enemy_waggon", Vec3(1.6f, 3.5f, 1.2f), false));
    files.push_back(stargate());
    files.push_back(switchLever());
    files.push_back(tree());
    files.push_back(character("fox", Vec3(0.5f, 0.4f, 0.7f), "rail_gold"));
    files.push_back(character("bear", Vec3(0.7f, 0.5f, 0.9f), "glass"));
    return files;
}

}  // namespace contentwriter
