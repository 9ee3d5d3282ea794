#include "engine/render/Render.h"

static Render* gCurrentRender = nullptr;

Render::Render() {}

Render::~Render() {
    if (gCurrentRender == this)
        gCurrentRender = nullptr;
}

Render* Render::current() { return gCurrentRender; }

void Render::setCurrent(Render* render) { gCurrentRender = render; }
