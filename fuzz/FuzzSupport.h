#pragma once
// What every fuzz entry shares: one temporary bundle and documents folder per process, whose
// "data/" links the sample content's folders (so inputs that name real objects, materials or
// sounds reach them) and holds a real "fuzz/" folder for the input files; a silent log; the
// recording renderer as the current renderer.

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// Once per process; later calls do nothing. Also sets ALSOFT_DRIVERS=null unless it is set.
void setUp();

// Writes the bytes to "<bundle>/data/fuzz/<name>" and returns the name relative to the read
// store ("fuzz/<name>").
std::string writeInput(const char* name, const uint8_t* data, size_t size);
// Full path of a file below the bundle's "data/" folder.
std::string dataPath(const std::string& name);
const std::string& bundlePath();
const std::string& documentsPath();

// Makes a recording renderer current (once) and forgets the calls it recorded so far.
void useRecordingRender();

}  // namespace fuzz
