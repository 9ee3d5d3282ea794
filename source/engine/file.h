#pragma once
// Files named relative to a store: the read store (bundle data or its documents "data/" copy),
// the write store (the documents folder), a raw path, or chosen by the open mode.

#include <cstdint>
#include <cstdio>
#include <string>

class Buffer;

enum FileStore { StoreRaw = 0, StoreRead = 1, StoreWrite = 2, StoreAuto = 3 };

class File {
public:
    File();
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    int open(const char* name, const char* mode, int store = StoreAuto, int logFailure = 1);
    void close();
    bool isOpened() const { return _handle != nullptr; }
    bool binaryMode() const;

    // Text mode only.
    char* readLine(char* buffer, int capacity);
    void ungetChar(int character);
    int readAll(Buffer& buffer, int zeroTerminate);

    // Binary mode only.
    long tell();
    int read(void* destination, size_t count, uint8_t fillByte = 0);
    void seek(long offset);
    void seekRelative(long offset);

    // Any mode.
    int eof();
    void skip(long offset);
    size_t write(const void* data, size_t count);
    int printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    uint32_t size() const { return _size; }
    FILE* handle() { return _handle; }
    const char* mode() const { return _mode; }

    static void resolvePath(std::string& out, const char* name, int store);
    static void readStorePath(std::string& out, const char* name);
    static void writeStorePath(std::string& out, const char* name);
    static int exists(const char* name);

    // Set at program start; cleared by a "safestart" launch so every read comes from the bundle.
    static int useDocumentsData;

private:
    FILE* _handle = nullptr;
    uint32_t _size = 0;
    char _mode[4] = {0, 0, 0, 0};
};

int pathExists(const char* path);
void dirName(const char* path, std::string& out);
// Creates a folder and its parents; true when it exists afterwards.
bool makeDirectories(const std::string& path);
