#pragma once
// Data a back end hangs on an engine object: a program record on a shader, device buffers on a
// geometry, a device texture on a texture, pipeline caches on a material, a framebuffer on a
// render target. The object that carries the pointer deletes the record when it dies; each back
// end derives its own records from this and decides in their destructors what to release.

struct BackEndData {
    virtual ~BackEndData() {}
};
