#include "game/track/ZelvanLevelItem.h"

#include <algorithm>
#include <cmath>

#include "engine/ConfigStore.h"
#include "engine/random.h"
#include "engine/utils.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanActor.h"
#include "game/actors/ZelvanActorItem.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanRailSet.h"
#include "game/track/ZelvanRoad.h"

namespace Zelvan {

namespace {

const char* const kSource = "source/game/track/ZelvanLevelItem.cpp";
const float kToDegrees = 57.29578f;
const float kToRadians = 0.017453292f;

float draw() { return (float)motherRandom().nextDouble(); }

int32_t truncPositive(float v) { return v > 0 ? (int32_t)v : 0; }

int32_t popCount3(int32_t bits) { return (bits & 1) + ((bits >> 1) & 1) + ((bits >> 2) & 1); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Making

LevelItem* LevelItem::create(World* world, const std::string& key) {
    const std::string file = ConfigStore::instance().getString(key + ".objectFile", "");
    if (!world || !world->loadObjectFile(file)) {
        Logger::error("Object file(%s) not found!", file.c_str());
        XAssert(0, "false", kSource, __LINE__);
        return nullptr;
    }
    ObjectPool* pool = world->getObjectPool(file);
    Object* object = pool ? pool->acquire(0) : nullptr;
    if (!object) {
        Logger::error("Object(%s) not found!", file.c_str());
        XAssert(0, "false", kSource, __LINE__);
        return nullptr;
    }
    ActorItem* sample = isActorTypeId(object->_typeId) ? dynamic_cast<ActorItem*>(object) : nullptr;
    if (!sample) {
        pool->release(object);
        Logger::error("Object(%s) not actorItem!", file.c_str());
        XAssert(0, "false", kSource, __LINE__);
        return nullptr;
    }
    return new LevelItem(key, pool, sample);
}

LevelItem::LevelItem(const std::string& key, ObjectPool* pool_, ActorItem* sample) : name(key), pool(pool_) {
    if (sample) {
        typeId = sample->_typeId;
        density = sample->_density;
        rotSpeed = sample->_rotSpeed;
        rotStep = sample->_rotStep;
        if (pool)
            pool->release(sample);
    }
    loadConfig("levelItem");
    loadConfig(key);
    spinAngle = 0;
    rollRun();
    delay += startDelayDistance;
}

void LevelItem::loadConfig(const std::string& section) {
    const ConfigStore& c = ConfigStore::instance();
    auto f = [&](const char* suffix, float current) { return c.getFloat(section + suffix, current); };
    name = c.getString(section + ".name", name.c_str());
    startDelayDistance = std::max(0.0f, f(".startDelayDistance", startDelayDistance));
    delayDistanceMin = std::max(0.0f, f(".delayDistanceMin", delayDistanceMin));
    delayDistanceMax = std::max(0.0f, f(".delayDistanceMax", delayDistanceMax));
    numberMin = std::max(1.0f, f(".numberMin", numberMin));
    numberMax = std::max(1.0f, f(".numberMax", numberMax));
    numberLimit = truncPositive(f(".numberLimit", (float)numberLimit));
    density = f(".density", density);
    if (!(density >= 0.0001f))
        density = 0.0001f;
    railIndexMin = truncPositive(f(".railIndexMin", (float)railIndexMin));
    railIndexMax = truncPositive(f(".railIndexMax", (float)railIndexMax));
    // A reversed range would let the repeat rule step outside it.
    if (railIndexMax < railIndexMin)
        railIndexMax = railIndexMin;
    const struct {
        const char* suffix;
        int32_t bit;
    } sideKeys[] = {{".railItemLeft", SideLeft}, {".railItemCenter", SideCenter}, {".railItemRight", SideRight}};
    for (const auto& k : sideKeys) {
        if (c.getBool(section + k.suffix, (sides & k.bit) != 0))
            sides |= k.bit;
        else
            sides &= ~k.bit;
    }
    rotSpeed = f(".rotSpeed", rotSpeed * kToDegrees) * kToRadians;
    rotStep = f(".rotStep", rotStep * kToDegrees) * kToRadians;
}

// ---------------------------------------------------------------------------------------------
// Runs

void LevelItem::reset() {
    spinAngle = 0;
    rollRun();
    delay += startDelayDistance;
}

void LevelItem::rollRun() {
    const float r1 = draw();
    const float r2 = draw();
    const float r3 = draw();
    delay = delayDistanceMin + r1 * (delayDistanceMax - delayDistanceMin);
    runLength = density * ((numberMin - 0.5f) + r2 * (numberMax - numberMin));
    int32_t k = (int32_t)((railIndexMin + 0.5f) + r3 * (float)(railIndexMax - railIndexMin));
    if (k == railIndex && railIndexMin != railIndexMax)
        k = ((k - railIndexMin + 1) % (railIndexMax - railIndexMin)) + railIndexMin;
    railIndex = k;
    side = pickSide();
}

int32_t LevelItem::pickSide() {
    const float r = draw();
    const float x = (float)popCount3(sides) * r;
    const bool left = (sides & SideLeft) != 0, centre = (sides & SideCenter) != 0, right = (sides & SideRight) != 0;
    if (x > 2)
        return right ? SideRight : 0;
    if (x > 1)
        return centre ? SideCenter : right ? SideRight : 0;
    return left ? SideLeft : centre ? SideCenter : right ? SideRight : 0;
}

bool LevelItem::nextRun(ItemRun* out, float length) {
    const float d = delay;
    delay = d - length;
    if (d - length >= 0)
        return false;
    const float over = length - d;
    const float r = std::min(runLength, over);
    float start;
    int32_t count;
    if (d < 0) {
        const int32_t t = (int32_t)(-d / density);
        const int32_t u = (int32_t)(r / density);
        start = d + (float)(t + 1) * density;
        count = std::max(0, u - t);
    } else {
        start = d;
        count = (int32_t)(r / density) + 1;
    }
    // The run keeps the side it was rolled with; the roll below may change the item's.
    const int32_t runSide = side;
    const bool another = over > runLength;
    if (another)
        rollRun();
    if (out) {
        out->levelItem = this;
        out->start = start;
        out->spacing = density;
        out->count = count;
        out->anotherRun = another;
        out->side = runSide;
    }
    return true;
}

int32_t LevelItem::sideIndex(int32_t sideBit) {
    switch (sideBit) {
    case SideLeft: return 0;
    case SideRight: return 2;
    default: return 1;
    }
}

float LevelItem::sideOffset(int32_t sideBit) {
    switch (sideBit) {
    case SideLeft: return -1.0f;
    case SideRight: return 1.0f;
    default: return 0.0f;
    }
}

bool LevelItem::isObstacle() const { return typeId == TypeActorItemObstacle; }

// ---------------------------------------------------------------------------------------------
// Actors

ActorItem* LevelItem::take() {
    Object* object = pool ? pool->acquire(0) : nullptr;
    if (!object)
        return nullptr;
    ActorItem* actor = dynamic_cast<ActorItem*>(object);
    if (!actor) {
        pool->release(object);
        return nullptr;
    }
    static const Vector3 kIdentity[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
    actor->_pool = pool;
    actor->reset();
    actor->setTransform(kIdentity, Vector3(), Vector3(1, 1, 1));
    actor->rotate(spinAngle);
    actor->setActive(false);
    actor->setLevelItem(this);
    actor->_rotSpeed = rotSpeed;
    actor->_rotStep = rotStep;
    spinAngle += rotStep;
    return actor;
}

void LevelItem::release(ActorItem* actor) {
    XAssert(actor && actor->getLevelItem() == this ? 1 : 0, "actorItem && actorItem->getLevelItem()==this", kSource,
            __LINE__);
    if (!actor)
        return;
    actor->setLevelItem(nullptr);
    if (pool)
        pool->release(actor);
}

// ---------------------------------------------------------------------------------------------
// Placement on a new level

namespace {

// Puts one actor of the item at the rail set's current place.
void placeOne(Level* level, LevelItem* item, int32_t runSide, float itemSide, const RailSet* set) {
    const Vector3 p = set->getPosition();
    const Vector3 d = set->getDirection();
    const Vector3 u = set->getUp();
    const Vector3 s = d.cross(u);  // pointing right
    const Vector3 position = p + s * (LevelItem::sideOffset(runSide) * itemSide) + u * level->railOffset.z;
    ActorItem* actor = item->take();
    if (!actor)
        return;
    Vector3 rows[3];
    actor->getRotation(rows);
    if (actor->_oriented) {
        // Row form: the actor's own turn first, then the rail's frame (side, forward, up).
        for (Vector3& r : rows)
            r = s * r.x + d * r.y + u * r.z;
    }
    actor->_transform->setWorld(rows, position);
    actor->updateTransform();
    level->addItem(actor, true);
    actor->refreshNodes();
}

}  // namespace

void Road::placeItems(Level* level) {
    if (!level || level->railSets.empty() || levelItems.empty())
        return;
    const size_t setCount = level->railSets.size();
    if (slotLists.size() < 3 * setCount)
        slotLists.resize(3 * setCount);

    // Runs, per rail set and side.
    for (LevelItem* item : levelItems) {
        if (!item)
            continue;
        for (;;) {
            ItemRun run;
            run.anotherRun = false;
            const int32_t k = item->railIndex;
            const int32_t g = item->getSideIndex();
            if (k >= 0 && (size_t)k < setCount) {
                const bool ok = item->nextRun(&run, level->railSets[(size_t)k]->getTotalLength());
                if (ok && run.count > 0)
                    slotLists[3 * (size_t)k + (size_t)g].push_back(run);
                if (!run.anotherRun)
                    break;
            } else {
                const bool ok = item->nextRun(&run, level->getLength());
                if (!run.anotherRun || !ok)
                    break;
            }
            // The new gap counts from one spacing after the last item of the run that ended.
            item->addDelay(run.start + (float)run.count * run.spacing);
        }
    }

    // Runs of one rail set and side never overlap: a later run gives up its items that fall
    // inside an earlier one.
    const size_t listCount = 3 * setCount;
    for (size_t l = 0; l < listCount; ++l) {
        std::vector<ItemRun>& list = slotLists[l];
        std::sort(list.begin(), list.end(), [](const ItemRun& a, const ItemRun& b) { return a.start < b.start; });
        for (size_t i = 0; i < list.size(); ++i) {
            const float end = list[i].start + (float)list[i].count * list[i].spacing;
            for (size_t j = i + 1; j < list.size();) {
                ItemRun& r = list[j];
                if (r.start + (float)r.count * r.spacing <= end) {
                    list.erase(list.begin() + (long)j);
                    continue;
                }
                if (r.start < end) {
                    const int32_t a = (int32_t)((end - r.start) / r.spacing) + 1;
                    r.start += (float)a * r.spacing;
                    r.count -= a;
                    if (r.count <= 0) {
                        list.erase(list.begin() + (long)j);
                        continue;
                    }
                }
                ++j;
            }
        }
    }

    // Stretches the level keeps free: shown gift rows, junctions, obstacles and gifts.
    for (const Level::GiftRow& row : level->giftRows) {
        if (!row.shown || row.railSetIndex < 0 || (size_t)row.railSetIndex >= setCount)
            continue;
        removeSlotRange(slotLists[3 * (size_t)row.railSetIndex + 1], row.startDistance,
                        row.startDistance + row.length);
    }
    for (const Level::OccupiedRange& range : level->occupiedRanges) {
        if (range.mode != Level::RangeFixed)
            continue;
        if (!(range.kind & (Level::RangeJunction | Level::RangeDeathly | Level::RangeShield | Level::RangeGift)))
            continue;
        if (range.actor && range.actor->_hidden)
            continue;
        if (range.railSetIndex < 0 || (size_t)range.railSetIndex >= setCount)
            continue;
        std::vector<ItemRun>& list = slotLists[3 * (size_t)range.railSetIndex + 1];
        if (range.kind & Level::RangeJunction)
            removeSlotRange(list, range.setDistance, range.setDistance + range.length);
        else
            removeSlotRange(list, range.setDistance - itemGiftSpace, range.setDistance + range.length + itemGiftSpace);
    }

    // One actor per item position on a segment that allows the run's side (and obstacles, for
    // obstacle items).
    for (size_t e = 0; e < setCount; ++e) {
        RailSet* set = level->railSets[e];
        for (size_t g = 0; g < 3; ++g) {
            std::vector<ItemRun>& list = slotLists[3 * e + g];
            if (list.empty())
                continue;
            set->reset(true);
            for (const ItemRun& run : list) {
                LevelItem* item = run.levelItem;
                if (!item || run.count < item->numberLimit)
                    continue;
                set->move(run.start - set->getDistance());
                for (int32_t n = 0; n < run.count; ++n) {
                    const uint32_t flags = set->getFlags();
                    if (((uint32_t)run.side & flags & 7u) != 0 && (!item->isObstacle() || (flags & SegmentObstacle)))
                        placeOne(level, item, run.side, itemSide, set);
                    set->move(run.spacing);
                }
            }
        }
    }

    for (size_t l = 0; l < listCount; ++l)
        slotLists[l].clear();
}

void Road::removeSlotRange(std::vector<ItemRun>& list, float lo, float hi) {
    for (size_t i = 0; i < list.size();) {
        ItemRun& r = list[i];
        const float d = r.start + r.spacing * ((float)r.count - 0.1f);
        const float loClear = lo - r.spacing;
        if (r.start < loClear) {
            if (loClear >= d) {
                ++i;
                continue;
            }
            const int32_t keep = (int32_t)((loClear - r.start) / r.spacing) + 1;
            if (hi >= d) {
                r.count = keep;
                ++i;
                continue;
            }
            const int32_t f = (int32_t)((hi - r.start) / r.spacing) + 1;
            ItemRun tail = r;
            tail.start = r.start + (float)f * r.spacing;
            tail.count = r.count - f;
            r.count = keep;
            if (tail.count > 0) {
                list.insert(list.begin() + (long)i + 1, tail);
                ++i;  // the tail starts past hi: nothing more to take from it
            }
            ++i;
            continue;
        }
        if (r.start < hi) {
            if (hi >= d) {
                list.erase(list.begin() + (long)i);
                continue;
            }
            const int32_t f = (int32_t)((hi - r.start) / r.spacing) + 1;
            r.start += (float)f * r.spacing;
            r.count -= f;
            if (r.count <= 0) {
                list.erase(list.begin() + (long)i);
                continue;
            }
        }
        ++i;
    }
}

}  // namespace Zelvan
