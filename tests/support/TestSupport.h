#pragma once
// Shared test helpers: a temporary folder per test, the sample content folder, small file writers.

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under the system's temp dir, removed when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return _path; }
    std::string file(const std::string& name) const { return _path + "/" + name; }

private:
    std::string _path;
};

// The repository's sample content folder (the bundle root; files live under "data/").
std::string contentDir();

// Points the bundle and the documents folder somewhere for one test and restores them after.
class ScopedStores {
public:
    ScopedStores(const std::string& bundle, const std::string& documents);
    ~ScopedStores();

private:
    std::string _oldBundle, _oldDocuments;
};

void writeFile(const std::string& path, const std::string& bytes);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::string readFile(const std::string& path);

// Little-endian writer for binary fixtures.
class ByteWriter {
public:
    void u8(uint8_t v) { bytes.push_back(v); }
    void u16(uint16_t v);
    void u32(uint32_t v);
    void i32(int32_t v) { u32((uint32_t)v); }
    void f32(float v);
    void str16(const std::string& s);  // 16-bit length, then the bytes
    void raw(const void* data, size_t n);
    void raw(const std::string& s) { raw(s.data(), s.size()); }
    std::vector<uint8_t> bytes;
};

}  // namespace testsupport
