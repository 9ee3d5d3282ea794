#include "engine/render/gles2/EglHeadless.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES2/gl2.h>
#include <png.h>

#include <cstdio>
#include <cstring>

#include "engine/utils.h"

EglHeadless::~EglHeadless() { destroy(); }

bool EglHeadless::create(int width, int height) {
    if (_context) return true;
    if (width <= 0 || height <= 0) {
        Logger::error("[EglHeadless::create] invalid size %dx%d", width, height);
        return false;
    }

    // The surfaceless platform needs the platform-display entry point; EGL_DEFAULT_DISPLAY alone
    // would look for an X server.
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!clientExtensions || !strstr(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        Logger::error("[EglHeadless::create] EGL_MESA_platform_surfaceless is not available");
        return false;
    }
    auto getPlatformDisplay =
        (PFNEGLGETPLATFORMDISPLAYEXTPROC)eglGetProcAddress("eglGetPlatformDisplayEXT");
    if (!getPlatformDisplay) {
        Logger::error("[EglHeadless::create] eglGetPlatformDisplayEXT is missing");
        return false;
    }
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) {
        Logger::error("[EglHeadless::create] no surfaceless display (0x%x)", eglGetError());
        return false;
    }

    const EGLint configAttributes[] = {
        EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
        EGL_RENDERABLE_TYPE, EGL_OPENGL_ES2_BIT,
        EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
        EGL_DEPTH_SIZE, 24, EGL_STENCIL_SIZE, 8,
        EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configCount = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &configCount) || configCount < 1) {
        Logger::error("[EglHeadless::create] no RGBA8/depth 24/stencil 8 pbuffer config (0x%x)", eglGetError());
        eglTerminate(display);
        return false;
    }
    if (!eglBindAPI(EGL_OPENGL_ES_API)) {
        Logger::error("[EglHeadless::create] eglBindAPI failed (0x%x)", eglGetError());
        eglTerminate(display);
        return false;
    }

    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(display, config, surfaceAttributes);
    if (surface == EGL_NO_SURFACE) {
        Logger::error("[EglHeadless::create] eglCreatePbufferSurface failed (0x%x)", eglGetError());
        eglTerminate(display);
        return false;
    }
    const EGLint contextAttributes[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT) {
        Logger::error("[EglHeadless::create] eglCreateContext failed (0x%x)", eglGetError());
        eglDestroySurface(display, surface);
        eglTerminate(display);
        return false;
    }
    if (!eglMakeCurrent(display, surface, surface, context)) {
        Logger::error("[EglHeadless::create] eglMakeCurrent failed (0x%x)", eglGetError());
        eglDestroyContext(display, context);
        eglDestroySurface(display, surface);
        eglTerminate(display);
        return false;
    }

    _display = display;
    _surface = surface;
    _context = context;
    _width = width;
    _height = height;
    return true;
}

void EglHeadless::destroy() {
    if (!_display) return;
    eglMakeCurrent((EGLDisplay)_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (_context) eglDestroyContext((EGLDisplay)_display, (EGLContext)_context);
    if (_surface) eglDestroySurface((EGLDisplay)_display, (EGLSurface)_surface);
    eglTerminate((EGLDisplay)_display);
    eglReleaseThread();
    _display = _surface = _context = nullptr;
    _width = _height = 0;
}

EglHeadless* EglHeadless::shared(int width, int height) {
    // Never destroyed: the context must outlive every static that still holds GL objects.
    static EglHeadless* instance = nullptr;
    static bool tried = false;
    if (!tried) {
        tried = true;
        auto* context = new EglHeadless();
        if (context->create(width, height)) instance = context;
        else delete context;
    }
    return instance;
}

std::vector<uint8_t> EglHeadless::readPixels(int x, int y, int width, int height) {
    std::vector<uint8_t> rows;
    if (width <= 0 || height <= 0) return rows;
    std::vector<uint8_t> raw((size_t)width * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, raw.data());
    rows.resize(raw.size());
    const size_t rowBytes = (size_t)width * 4;
    for (int r = 0; r < height; ++r)
        memcpy(&rows[(size_t)r * rowBytes], &raw[(size_t)(height - 1 - r) * rowBytes], rowBytes);
    return rows;
}

uint32_t EglHeadless::readPixel(int x, int y) {
    uint8_t p[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

bool EglHeadless::writePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba) {
    if (width <= 0 || height <= 0 || rgba.size() < (size_t)width * height * 4) {
        Logger::error("[EglHeadless::writePng] %dx%d image has %zu bytes", width, height, rgba.size());
        return false;
    }
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) {
        Logger::error("[EglHeadless::writePng] cannot open %s", path.c_str());
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(png ? &png : nullptr, nullptr);
        fclose(file);
        Logger::error("[EglHeadless::writePng] libpng could not start");
        return false;
    }
    std::vector<png_bytep> rows((size_t)height);
    for (int r = 0; r < height; ++r) rows[(size_t)r] = const_cast<png_bytep>(&rgba[(size_t)r * width * 4]);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        fclose(file);
        Logger::error("[EglHeadless::writePng] libpng failed writing %s", path.c_str());
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    fclose(file);
    return true;
}
