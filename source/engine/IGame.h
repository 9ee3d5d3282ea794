#pragma once
// The platform's game object as the engine sees it: the host's logical screen size. The platform
// layer owns the object and registers it; the renderer reads the size for the screen target and
// the viewport. Until a platform registers one, the size reads as 0 x 0.

class IGame {
public:
    virtual ~IGame() {}
    // Logical screen size in points.
    virtual float GetWidth() = 0;
    virtual float GetHeight() = 0;

    // The registered game object, or null.
    static IGame* instance() { return s_instance; }
    static void setInstance(IGame* game) { s_instance = game; }

    // The registered object's size, 0 without one.
    static float hostWidth() { return s_instance ? s_instance->GetWidth() : 0.0f; }
    static float hostHeight() { return s_instance ? s_instance->GetHeight() : 0.0f; }

private:
    static inline IGame* s_instance = nullptr;
};
