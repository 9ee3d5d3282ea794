#include "engine/render/Render.h"

#include "engine/render/RenderTarget.h"

static Render* gCurrentRender = nullptr;

Render::Render() {}

Render::~Render() {
    // Targets outliving their renderer keep their index; nothing is left to give it back to.
    for (RenderTarget* target : _indexHolders)
        if (target)
            target->_issuer = nullptr;
    if (gCurrentRender == this)
        gCurrentRender = nullptr;
}

Render* Render::current() { return gCurrentRender; }

void Render::setCurrent(Render* render) { gCurrentRender = render; }
