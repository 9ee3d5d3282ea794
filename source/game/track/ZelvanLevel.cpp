// Level loading: the scene's nodes become rails, rail sets, chain nodes and the level's settings.

#include "game/track/ZelvanLevel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/ConfigStore.h"
#include "engine/file.h"
#include "engine/render/PSParticleSystem.h"
#include "engine/utils.h"
#include "engine_game/Camera.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanActor.h"
#include "game/actors/ZelvanActorEnemy.h"

namespace Zelvan {

namespace {

const char* const kSeparator = "separator";

bool beginsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// "level." + key, then the level's own key with that as its default.
std::string levelText(const std::string& level, const char* key, const char* fallback) {
    const ConfigStore& config = ConfigStore::instance();
    const std::string global = config.getString(std::string("level.") + key, fallback);
    return config.getString(level + "." + key, global.c_str());
}

int axisCode(float v) {
    v = std::max(-3.0f, v);
    int code = (int)v;  // toward zero
    if (v > 3)
        code = 3;
    if (code == 0)
        code = 1;
    return code;
}

Object* findEmptyNode(Scene* scene, const std::string& name) {
    auto it = scene->_empties.find(name);
    return it == scene->_empties.end() ? nullptr : it->second->node;
}

// A node that carries rails. An EMPTY placeholder has no parent, so rails in its space would
// stay where the level was built; they get a node under the level root at the placeholder's
// level-space matrix instead, which follows the level (the placeholder itself is left alone).
Transform* railOwner(Scene* scene, const std::string& parentName, std::vector<Object*>& madeOwners) {
    if (!parentName.empty()) {
        if (Object* empty = findEmptyNode(scene, parentName)) {
            for (Object* made : madeOwners)
                if (made->_name == parentName)
                    return made->_transform;
            Object* owner = new Object(scene->_root);
            owner->_name = parentName;
            owner->setMatrix(empty->_transform->_world);
            owner->updateTransform();
            madeOwners.push_back(owner);
            return owner->_transform;
        }
        if (Object* node = scene->findObject(parentName))
            return node->_transform;
    }
    return scene->_root->_transform;
}

// What enemy trains read of the level that placed them.
class LevelEnemyReader : public EnemyLevelReader {
public:
    bool isOnRoad(const Level* level) const override { return level && level->onRoad; }
    int32_t getRoadIndex(const Level* level) const override { return level ? level->roadIndex : 0; }
    bool isRunning(const Level* level) const override { return level && level->runFlag; }
    size_t getRangeCount(const Level* level) const override { return level ? level->occupiedRanges.size() : 0; }
    bool getRange(const Level* level, size_t index, EnemyRange& out) const override {
        if (!level || index >= level->occupiedRanges.size())
            return false;
        const Level::OccupiedRange& r = level->occupiedRanges[index];
        out.kind = r.kind;
        out.actor = r.actor;
        out.rail = r.rail;
        out.start = r.railDistance;
        out.length = r.length;
        return true;
    }
};

}  // namespace

bool Level::isActor(const Object* object) { return object && object->_typeId > TypeLastPlain; }

uint32_t Level::readRailKinds(const std::string& section) {
    const ConfigStore& config = ConfigStore::instance();
    static const struct {
        const char* key;
        uint32_t bit;
    } kinds[] = {
        {".railItemLeft", 0x1},       {".railItemCenter", 0x2},     {".railItemRight", 0x4},
        {".railObstacle", 0x8},       {".railLeft", 0x10},          {".railRight", 0x20},
        {".railJumpLeft", 0x80},      {".railJumpRight", 0x100},    {".railNoFly", 0x200},
        {".railCameraLeft", 0x2000},  {".railCameraRight", 0x4000}, {".railCameraUp", 0x8000},
        {".railCameraDown", 0x10000},
    };
    uint32_t mask = 0;
    for (const auto& k : kinds)
        if (config.getBool(section + k.key, true))
            mask |= k.bit;
    const std::string stargate = config.getString(section + ".railStargate", "");
    if (stargate == "in")
        mask |= 0x1800;
    else if (stargate == "out")
        mask |= 0x1400;
    else if (stargate == "rnd")
        mask |= 0x0C00;
    else
        mask |= 0x1C00;
    return mask;
}

Level* Level::load(World* world, PSParticleSystem* particleSystem, ProxyContainer* proxyContainer,
                   const std::string& name) {
    XAssert(world ? 1 : 0, "world", __FILE__, __LINE__);
    static const LevelEnemyReader enemyReader;
    if (!ActorEnemy::getLevelReader())
        ActorEnemy::setLevelReader(&enemyReader);
    const ConfigStore& config = ConfigStore::instance();

    // The world would make an empty scene for a missing file, which has no chain nodes.
    {
        File probe;
        if (!probe.open(name.c_str(), "rb", StoreAuto, 0)) {
            Logger::error("Level file (%s) not found!", name.c_str());
            return nullptr;
        }
    }
    Scene* scene = world->loadScene(name, 0, 0);
    if (!scene)
        return nullptr;
    scene->_physics = 1;

    const ConfigStore::WordList& ground = config.getList("object.groundObjectFiles");
    if (!ground.empty())
        for (Object* node : scene->_nodes)
            if (std::find(ground.begin(), ground.end(), node->getSourceName()) != ground.end())
                node->_typeId = TypeGround;

    const std::string beginName = levelText(name, "nodeChainBegin", "chain_begin");
    Object* chainBegin = findEmptyNode(scene, beginName);
    if (!chainBegin) {
        world->releaseScene(scene);
        Logger::error("nodeChainBegin(%s) not found in level(%s)!", beginName.c_str(), name.c_str());
        XAssert(0, "false", __FILE__, __LINE__);
        return nullptr;
    }
    const std::string endName = levelText(name, "nodeChainEnd", "chain_end");
    Object* chainEnd = findEmptyNode(scene, endName);
    if (!chainEnd) {
        world->releaseScene(scene);
        Logger::error("nodeChainEnd(%s) not found in level(%s)!", endName.c_str(), name.c_str());
        XAssert(0, "false", __FILE__, __LINE__);
        return nullptr;
    }
    Object* startNode = findEmptyNode(scene, levelText(name, "nodeStart", "train_stopplace"));

    const int dirCode = axisCode(config.getFloat("level.railAxisDir", 2));
    const int upCode = axisCode(config.getFloat("level.railAxisUp", 3));
    const uint32_t itemMask = config.getBool(name + ".railItems", true) ? 0xFFFFFFFFu : ~0x7u;
    const float mergeDistance = std::max(0.0f, config.getFloat("level.railPointMergeDistance", 0.1f));
    const float nearDistance = std::max(0.0f, config.getFloat("level.railNearPointMaxDistance", 5.0f));

    std::vector<Rail*> list;  // null: end of a rail set
    std::vector<Rail*> built;
    std::vector<Object*> madeOwners;
    for (const std::string& word : config.getList(name + ".railGroups")) {
        if (word == kSeparator) {
            list.push_back(nullptr);
            continue;
        }
        const std::vector<Object*> nodes = scene->getGroup(word);
        if (nodes.empty()) {
            Logger::error("RailGroup (%s) not found in level (%s)!", word.c_str(), name.c_str());
            continue;
        }
        const std::string section = name + "/" + word;
        const uint32_t kinds = readRailKinds(section) & itemMask;
        Transform* owner = railOwner(scene, config.getString(section + ".parentObject", ""), madeOwners);
        if (Rail* rail = Rail::buildPoints(word, kinds, world, scene, owner, nodes, dirCode, upCode, mergeDistance,
                                           nearDistance)) {
            list.push_back(rail);
            built.push_back(rail);
        }
    }
    if (!list.empty())
        list.push_back(nullptr);

    const std::string railPrefix = config.getString("level.railPrefix", "rail");
    for (const std::string& groupName : scene->getGroupNames()) {
        if (!beginsWith(groupName, railPrefix))
            continue;
        bool used = false;
        for (Rail* rail : built)
            used = used || rail->getName() == groupName;
        if (!used && !scene->getGroup(groupName).empty())
            Logger::error("Possible rail group (%s) on level (%s), but not defined!", groupName.c_str(),
                          name.c_str());
    }

    for (const std::string& word : config.getList(name + ".railAnims")) {
        if (word == kSeparator) {
            list.push_back(nullptr);
            continue;
        }
        Object* node = findEmptyNode(scene, word);
        if (!node)
            node = scene->findObject(word);
        KeyFramePlayer* player = node ? world->getAnimation(node) : nullptr;
        if (!player)
            continue;
        const std::string section = name + "/" + word;
        const uint32_t kinds = readRailKinds(section) & itemMask;
        Transform* owner = railOwner(scene, config.getString(section + ".parentObject", ""), madeOwners);
        if (Rail* rail = Rail::fromObject(word, kinds, owner, node, player, dirCode, upCode)) {
            list.push_back(rail);
            built.push_back(rail);
        }
    }

    std::vector<RailSet*> sets;
    std::vector<Rail*> gathered;
    for (Rail* rail : list) {
        if (rail) {
            gathered.push_back(rail);
            continue;
        }
        sets.push_back(RailSet::create(gathered));
        gathered.clear();
    }
    if (!gathered.empty())
        sets.push_back(RailSet::create(gathered));

    Level* level = new Level(world, scene, particleSystem, proxyContainer, chainBegin, chainEnd, startNode, sets,
                             dirCode, upCode);
    level->ownedRails = built;
    return level;
}

Level::Level(World* world_, Scene* scene_, PSParticleSystem* particleSystem_, ProxyContainer* proxyContainer_,
             Object* chainBegin_, Object* chainEnd_, Object* startNode_, const std::vector<RailSet*>& railSets_,
             int directionCode, int upCode) {
    XAssert(world_ && scene_ ? 1 : 0, "world && scene", __FILE__, __LINE__);
    world = world_;
    scene = scene_;
    particleSystem = particleSystem_;
    proxyContainer = proxyContainer_;
    chainBegin = chainBegin_;
    chainEnd = chainEnd_;
    startNode = startNode_;
    railSets = railSets_;
    axisDir = std::abs(directionCode) - 1;
    axisUp = std::abs(upCode) - 1;

    const ConfigStore& config = ConfigStore::instance();
    const std::string& name = getName();
    railOffset = config.getVector3("actorItem.railOffset", Vector3());
    onRailDistance = config.getFloat("level.onRailDistance", 0.5f);
    camera = scene->findCamera(levelText(name, "camera", "Camera"));
    cameraAnimation = camera ? world->getAnimation(camera) : nullptr;
    chance = config.getFloat(name + ".chance", 100);

    orientRailSets();
    resetRailSets();
    collectAnimatedActors();
    buildGiftRows();
    collectGroups(randomGroups, "randomGroups", "randomGroupPrefix", "rem");
    collectGroups(selectGroups, "selectGroups", "selectGroupPrefix", "or");
    collectGroups(linkGroups, "linkGroups", "linkGroupPrefix", "link");
    collectGroups(waggonGroups, "waggonGroups", "waggonGroupPrefix", "snake");
    addJunctionRanges();
    for (Object* node : scene->_nodes)
        if (isActor(node))
            static_cast<Actor*>(node)->setParticleSystem(particleSystem);
}

Level::~Level() {
    if (particleSystem)
        for (PSEmitter* emitter : emitters)
            particleSystem->stopEmitter(emitter);
    emitters.clear();
    if (scene) {
        for (Object* node : scene->_nodes)
            if (isActor(node))
                static_cast<Actor*>(node)->setParticleSystem(nullptr);
        world->releaseScene(scene);
    }
    for (RailSet* set : railSets)
        delete set;
    for (Rail* rail : ownedRails)
        delete rail;
}

void Level::collectGroups(std::vector<NodeGroup>& target, const char* listWord, const char* prefixWord,
                          const char* defaultPrefix) {
    const std::string& name = getName();
    const std::string prefix = levelText(name, prefixWord, defaultPrefix);
    auto append = [&](const std::string& groupName) {
        NodeGroup g;
        g.name = groupName;
        g.nodes = scene->getGroup(groupName);
        if (g.nodes.empty())
            return;
        for (Object* node : g.nodes) {
            g.startHidden.push_back(node->_hidden);
            g.startActive.push_back(node->_active);
        }
        target.push_back(std::move(g));
    };
    for (const std::string& groupName : scene->getGroupNames())
        if (beginsWith(groupName, prefix))
            append(groupName);
    for (const std::string& word : ConfigStore::instance().getList(name + "." + listWord))
        append(word);
}

void Level::orientRailSets() {
    const Vector3 e = rootWorld().transformPoint(chainBegin->_transform->_world.getTranslation());
    for (RailSet* set : railSets) {
        if (set->getRails().empty())
            continue;
        set->reset(true);
        const Vector3 s = set->getPosition();
        set->reset(false);
        const Vector3 t = set->getPosition();
        if ((t - e).length() < (s - e).length())
            set->reverse();
    }
}

void Level::resetRailSets() {
    const Vector3 b = rootWorld().transformPoint(chainBegin->_transform->_world.getTranslation());
    const Vector3 e = rootWorld().transformPoint(chainEnd->_transform->_world.getTranslation());
    const Vector3 d = (e - b).normalized();
    for (RailSet* set : railSets) {
        if (set->getRails().empty())
            continue;
        set->reset(true);
        if (set->getDirection().dot(d) < 0)
            set->reset(false);
    }
}

const Matrix4& Level::rootWorld() const { return scene->_root->_transform->_world; }

const std::string& Level::getName() const { return scene->_name; }

Matrix4 Level::getBeginLocalMatrix() const { return chainBegin->_transform->_world; }

Matrix4 Level::getEndLocalMatrix() const { return chainEnd->_transform->_world; }

Matrix4 Level::getBeginMatrix() const { return getBeginLocalMatrix() * rootWorld(); }

Matrix4 Level::getEndMatrix() const { return getEndLocalMatrix() * rootWorld(); }

Vector3 Level::getStartPosition() const {
    const Object* node = startNode ? startNode : chainBegin;
    return rootWorld().transformPoint(node->_transform->_world.getTranslation());
}

Vector3 Level::getDirection() const {
    const Vector3 b = getBeginMatrix().getTranslation();
    const Vector3 e = rootWorld().transformPoint(getEndLocalMatrix().getTranslation());
    return (e - b).normalized();
}

Vector3 Level::getUpAxis() const { return getBeginMatrix().row3(axisUp).normalized(); }

float Level::getLength() const {
    const Matrix4 begin = getBeginMatrix();
    const Vector3 a = begin.row3(axisDir);
    const float len = a.length();
    if (!(len > 0))
        return 0;
    const Vector3 e = rootWorld().transformPoint(getEndLocalMatrix().getTranslation());
    return std::fabs((e - begin.getTranslation()).dot(a)) / len;
}

float Level::distanceAlong(const Vector3& p) const {
    const Matrix4 begin = getBeginMatrix();
    const Vector3 a = begin.row3(axisDir);
    const float len = a.length();
    if (!(len > 0))
        return 0;
    return (p - begin.getTranslation()).dot(a) / len;
}

bool Level::findNearestRail(RailHit& hit, const Vector3& p, float maxDistance) const {
    hit.rail = nullptr;
    hit.railDistance = 0;
    hit.railSet = nullptr;
    hit.setDistance = 0;
    hit.railSetIndex = -1;
    float best = maxDistance;
    for (size_t i = 0; i < railSets.size(); ++i) {
        RailSet* set = railSets[i];
        float s = 0;
        const std::vector<Rail*>& rails = set->getRails();
        for (size_t j = 0; j < rails.size(); ++j) {
            Rail* rail = rails[j];
            const RailPos saved = rail->getRailPos();
            rail->projectPoint(p);
            const Vector3 q = rail->getPosition();
            const float r = rail->getDistance();
            const Vector3 u = rail->getUp();
            Vector3 v = q - p;
            v = v - u * v.dot(u);
            const float distance = v.length();
            if (distance < best) {
                hit.rail = rail;
                hit.railDistance = r;
                hit.railSet = set;
                hit.railSetIndex = (int32_t)i;
                hit.setDistance = s + r;
                hit.found = true;
                hit.railIndex = (int32_t)j;
                hit.position = rail->getRailPos();
                best = distance;
            }
            rail->setPosition(saved);
            s += rail->getLength();
        }
    }
    return hit.railSetIndex >= 0;
}

bool Level::isSceneActive() const { return scene->_shown != 0; }

float Level::summedLengthBefore(const RailSet* set, const Rail* rail) const {
    float s = 0;
    for (Rail* r : set->getRails()) {
        if (r == rail)
            break;
        s += r->getLength();
    }
    return s;
}

}  // namespace Zelvan
