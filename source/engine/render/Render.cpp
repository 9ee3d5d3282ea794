#include "engine/render/Render.h"

#include "engine/render/RenderTarget.h"

static Render* gCurrentRender = nullptr;

Render::Render() {}

Render::~Render() {
    // Targets outliving their renderer have no list left to leave.
    for (RenderTarget* target : _issued)
        target->_issuer = nullptr;
    if (gCurrentRender == this)
        gCurrentRender = nullptr;
}

Render* Render::current() { return gCurrentRender; }

void Render::setCurrent(Render* render) { gCurrentRender = render; }
