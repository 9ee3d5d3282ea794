#include "game/actors/ZelvanBoost.h"

#include <algorithm>
#include <cmath>

#include "engine/ConfigStore.h"
#include "engine/utils.h"
#include "game/actors/ZelvanBoostKinds.h"
#include "game/actors/ZelvanPlayerGoods.h"

namespace Zelvan {

namespace {

void readText(const ConfigStore& cfg, const std::string& key, std::string& field) {
    if (const char* v = cfg.getString(key, nullptr))
        field = v;
}

}  // namespace

int32_t floatToInt32(float v) {
    if (std::isnan(v))
        return 0;
    if (v >= 2147483648.0f)
        return INT32_MAX;
    if (v <= -2147483648.0f)
        return INT32_MIN;
    return (int32_t)v;
}

uint32_t floatToUint32(float v) {
    if (std::isnan(v) || v <= 0.0f)
        return 0;
    if (v >= 4294967296.0f)
        return UINT32_MAX;
    return (uint32_t)v;
}

// Boost

void Boost::load(const std::string& prefix) {
    const ConfigStore& cfg = ConfigStore::instance();
    readText(cfg, prefix + ".name", _name);
    _priority = floatToInt32(cfg.getFloat(prefix + ".priority", (float)_priority));
    _onlyOne = cfg.getBool(prefix + ".onlyOne", _onlyOne);
    _character = cfg.getBool(prefix + ".character", _character);
    readText(cfg, prefix + ".textMessage", _textMessage);
    readText(cfg, prefix + ".analytics", _analytics);
}

bool Boost::update(PlayerGoods& record, ActorPlayer* actorPlayer, float dt) {
    (void)dt;
    XASSERT_AT(actorPlayer, __FILE__);
    if (_firstUpdate) {
        _firstUpdate = false;
        if (!_analytics.empty())
            record.get(_analytics)._amount += 1.0f;
    }
    return false;
}

// Type table

const std::vector<BoostType>& boostTypeTable() {
    static const std::vector<BoostType> table = {
        {"goods", Boost::TypeGoods, createBoostKind},
        {"goodsmultiplier", Boost::TypeGoodsMultiplier, createBoostKind},
        {"magnet", Boost::TypeMagnet, createBoostKind},
        {"shield", Boost::TypeShield, createBoostKind},
        {"hit", Boost::TypeHit, createBoostKind},
        {"speed", Boost::TypeSpeed, createBoostKind},
        {"energy", Boost::TypeEnergy, createBoostKind},
        {"brake", Boost::TypeBrake, createBoostKind},
        {"letter", Boost::TypeLetter, createBoostKind},
        {"camera", Boost::TypeCamera, createBoostKind},
        {"random", Boost::TypeRandom, createBoostKind},
    };
    return table;
}

const BoostType* findBoostType(const std::string& key) {
    for (const BoostType& t : boostTypeTable())
        if (key == t.key)
            return &t;
    return nullptr;
}

const BoostType* findBoostType(int32_t flag) {
    for (const BoostType& t : boostTypeTable())
        if (t.flag == flag)
            return &t;
    return nullptr;
}

// BoostContainer

void BoostContainer::load() {
    clear();
    const ConfigStore& cfg = ConfigStore::instance();
    for (const std::string& entry : cfg.getList("boost.boosts")) {
        const BoostType* type = findBoostType(std::string(cfg.getString(entry + ".type", "")));
        if (!type)
            continue;
        BoostDefinition d;
        d.name = cfg.getString(entry + ".name", "");
        d.prefix = entry;
        d.flag = type->flag;
        _definitions.push_back(std::move(d));
    }
}

Boost* BoostContainer::acquire(const std::string& name) {
    for (auto it = _idle.begin(); it != _idle.end(); ++it) {
        if ((*it)->_name == name) {
            Boost* boost = *it;
            _idle.erase(it);
            _active.push_back(boost);
            boost->activate();
            return boost;
        }
    }
    const BoostDefinition* def = nullptr;
    for (const BoostDefinition& d : _definitions) {
        if (d.name == name) {
            def = &d;
            break;
        }
    }
    if (!def)
        return nullptr;
    Boost* boost = createBoost(*def);
    XASSERT_AT(boost, __FILE__);
    if (!boost)
        return nullptr;
    boost->_container = this;
    boost->load(def->prefix);
    _active.push_back(boost);
    boost->activate();
    return boost;
}

Boost* BoostContainer::createBoost(const BoostDefinition& definition) {
    const BoostType* type = findBoostType(definition.flag);
    return type ? type->create(definition.flag) : nullptr;
}

bool BoostContainer::release(Boost* boost) {
    auto it = std::find(_active.begin(), _active.end(), boost);
    if (it == _active.end())
        return false;
    _active.erase(it);
    _idle.push_back(boost);
    return true;
}

void BoostContainer::clear() {
    // Both lists are emptied before any boost dies: a boost that gives a boost it holds back to
    // its container on destruction (the random boost) then finds nothing to release into, and
    // every boost is deleted exactly once.
    std::vector<Boost*> active, idle;
    active.swap(_active);
    idle.swap(_idle);
    _definitions.clear();
    for (Boost* b : active)
        delete b;
    for (Boost* b : idle)
        delete b;
}

// BoostList

void BoostList::add(Boost* boost) {
    if (!boost)
        return;
    if (boost->_onlyOne)
        for (Boost* b : _boosts)
            if (b->_onlyOne)
                b->deactivate();
    auto at = std::find_if(_boosts.begin(), _boosts.end(),
                           [boost](const Boost* b) { return b->_priority > boost->_priority; });
    _boosts.insert(at, boost);
}

void BoostList::update(PlayerGoods& record, ActorPlayer* actorPlayer, float dt) {
    size_t kept = 0;
    for (size_t i = 0; i < _boosts.size(); ++i) {
        Boost* b = _boosts[i];
        if (b->update(record, actorPlayer, dt))
            _boosts[kept++] = b;
        else if (b->_container)
            b->_container->release(b);
    }
    _boosts.resize(kept);
}

void BoostList::deactivateAll() {
    for (Boost* b : _boosts)
        b->deactivate();
}

void BoostList::deactivateType(int32_t flag) {
    for (Boost* b : _boosts)
        if (b->_type == flag)
            b->deactivate();
}

void BoostList::releaseAll() {
    std::vector<Boost*> boosts;
    boosts.swap(_boosts);
    for (Boost* b : boosts)
        if (b->_container)
            b->_container->release(b);
}

}  // namespace Zelvan
