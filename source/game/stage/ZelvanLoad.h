#pragma once
// One step of the loader's queue: something loaded in one frame, weighted for the progress bar.

#include <string>

namespace Zelvan {

class Load {
public:
    explicit Load(float weight_ = 1.0f, const std::string& textKey_ = std::string())
        : weight(weight_), textKey(textKey_) {}
    virtual ~Load() {}
    // Does the step; false when it failed.
    virtual bool load() { return true; }

    float weight;
    std::string textKey;  // "#" key of the text shown while the step waits; usually empty
};

}  // namespace Zelvan
