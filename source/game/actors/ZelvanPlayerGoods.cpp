#include "game/actors/ZelvanPlayerGoods.h"

GoodsCounter& PlayerGoods::get(std::string_view name) {
    // A run holds a dozen or two counters: a linear search beats hashing, and comparing views
    // builds no string unless a counter is created.
    for (GoodsCounter& c : _counters)
        if (name == c._name)
            return c;
    GoodsCounter& c = _counters.emplace_back();
    c._name.assign(name.data(), name.size());
    return c;
}
