// File access as the program needs it; each platform implements these in its own folder.
#pragma once

#include "platform/text.h"

namespace quorvel {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The directory that holds the running executable, without a trailing separator.
Text runDirectory();
// A path cut before its last separator; empty for a file in the root folder.
Text directoryOf(const Text& path);
bool setCurrentDirectory(const Text& directory);

// The whole file; empty when it cannot be opened or read.
Bytes readWholeFile(const Text& path);
// Replaces the file's content with the bytes. The new content is written beside the file and
// takes its place only when complete, so a failed write leaves the earlier file as it was.
// A file that is read-only is not replaced. A new file is readable by its owner only.
bool writeWholeFile(const Text& path, const Bytes& bytes);
bool deleteFile(const Text& path);

}  // namespace quorvel
