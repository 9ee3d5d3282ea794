#pragma once
// File helpers of the online services: replacing a file so that a crash never leaves it half
// written, keeping a damaged file out of the way of the next save, and checking identifiers
// that end up inside file names.

#include <cstddef>
#include <string>

// Replaces the file at `path` by the bytes: they go to "<path>.tmp" in the same folder, are
// flushed to the disk, and the temporary file is renamed over the old one, after which the folder
// itself is synced so the rename survives a power cut. At every moment the path holds either the
// old content or the new one. False (logged) when any step fails; the old file is then untouched.
bool writeFileDurably(const std::string& path, const void* data, size_t size);

// The temporary file name writeFileDurably uses for `path`.
std::string durableTempPath(const std::string& path);

// Renames a file that could not be read to "<path>.damaged" (replacing an earlier damaged copy), so
// that the next save does not destroy what may still be recovered from it. True when it was moved.
bool moveFileAside(const std::string& path, std::string* movedTo = nullptr);

// True when an identifier may be used inside a file name: not empty, only ASCII letters, digits and
// ':', '_', '.', '-', and no "..". Service ids come from the network and are never trusted as paths.
bool isSafeFileId(const std::string& id);
