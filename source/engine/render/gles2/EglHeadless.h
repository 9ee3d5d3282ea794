#pragma once
// A headless OpenGL ES 2.0 context over EGL on Mesa: the surfaceless platform and a pbuffer
// (RGBA8, depth 24, stencil 8). No window system is needed, so tests, benchmarks and the
// headless host draw real pixels on a machine without a display.

#include <cstdint>
#include <string>
#include <vector>

class EglHeadless {
public:
    EglHeadless() = default;
    ~EglHeadless();
    EglHeadless(const EglHeadless&) = delete;
    EglHeadless& operator=(const EglHeadless&) = delete;

    // Opens the display, makes a width x height pbuffer and an ES 2 context and makes them
    // current on the calling thread, which becomes the thread that draws. Logs and returns
    // false when any step fails.
    bool create(int width, int height);
    void destroy();

    bool isCreated() const { return _context != nullptr; }
    int width() const { return _width; }
    int height() const { return _height; }

    // The process-wide context (one per process is all Mesa needs and all a test binary wants),
    // created on first use with the given size and kept until exit. Later calls return it
    // whatever size they ask for. Null when the context could not be made.
    static EglHeadless* shared(int width = 256, int height = 256);

    // RGBA8 pixels of the framebuffer bound now, rows from top to bottom (glReadPixels gives
    // them bottom-up; they are turned round so that row 0 is the top of the image).
    static std::vector<uint8_t> readPixels(int x, int y, int width, int height);

    // One pixel of the bound framebuffer, in GL coordinates (y = 0 is the bottom row), packed
    // as red in the low byte up to alpha in the top byte.
    static uint32_t readPixel(int x, int y);

    // Writes top-to-bottom RGBA8 rows as a PNG file through libpng.
    static bool writePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba);

private:
    void* _display = nullptr;
    void* _surface = nullptr;
    void* _context = nullptr;
    int _width = 0;
    int _height = 0;
};
