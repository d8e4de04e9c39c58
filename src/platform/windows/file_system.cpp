// File access on Windows through the ANSI functions: the executable's directory, whole-file reads
// that keep other writers out, and saves that replace the file only once the new one is complete.
#include "platform/file_system.h"

#include <windows.h>

#include <algorithm>
#include <utility>

namespace quorvel {

namespace {

// Closes a file handle when it goes out of scope.
class FileHandle {
  public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (valid()) {
            ::CloseHandle(handle_);
        }
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    // Closes now and says whether closing succeeded.
    bool close() {
        const bool closed = ::CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)) != 0;
        return closed;
    }

  private:
    HANDLE handle_;
};

bool writeAll(HANDLE file, const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

// Whether the existing file may be replaced: it is not read-only, not a folder, and no other
// process holds it open against writers. A file that is not there yet may be created.
bool mayReplace(const Text& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND;
    }
    if ((attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        return false;
    }
    // The same open that writing the file in place would need: for writing, shared with nobody.
    const FileHandle probe(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    return probe.valid();
}

}  // namespace

Text runDirectory() {
    Text path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) {
            return {};
        }
        if (n < path.size()) {
            path.resize(n);
            return directoryOf(path);
        }
        path.resize(path.size() * 2);  // the path was cut: ask again with room for it
    }
}

// The last backslash that is a separator: a byte 0x5C that is the second byte of a two-byte GBK
// character belongs to that character.
Text directoryOf(const Text& path) {
    std::size_t separator = Text::npos;
    for (std::size_t i = 0; i < path.size();) {
        const auto byte = static_cast<unsigned char>(path[i]);
        if (byte == '\\') {
            separator = i;
        }
        i += byte >= 0x80 ? 2 : 1;
    }
    return separator == Text::npos ? Text() : path.substr(0, separator);
}

bool setCurrentDirectory(const Text& directory) {
    // "C:" alone would name the current folder of drive C, not its root.
    const Text folder = directory.empty() || directory.back() == ':' ? directory + "\\" : directory;
    return ::SetCurrentDirectoryA(folder.c_str()) != 0;
}

Bytes readWholeFile(const Text& path) {
    // Others may read the file meanwhile, but nobody may write it.
    const FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.valid() || !::GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0) {
        return {};
    }
    Bytes bytes(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        DWORD read = 0;
        if (!::ReadFile(file.get(), bytes.data() + done, chunk, &read, nullptr) || read == 0) {
            break;  // fewer bytes than announced, or a read error: keep what arrived
        }
        done += read;
    }
    bytes.resize(done);
    return bytes;
}

bool writeWholeFile(const Text& path, const Bytes& bytes) {
    if (!mayReplace(path)) {
        return false;
    }
    const Text directory = directoryOf(path);
    char temporary[MAX_PATH];
    // A new, unique file in the same folder, so that moving it over the old one is a rename.
    if (::GetTempFileNameA(directory.empty() ? "." : directory.c_str(), "qvl", 0, temporary) == 0) {
        return false;
    }
    FileHandle file(::CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    bool written = file.valid() && writeAll(file.get(), bytes) && ::FlushFileBuffers(file.get());
    written = file.valid() && file.close() && written;
    if (!written || !::MoveFileExA(temporary, path.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileA(temporary);
        return false;
    }
    return true;
}

bool deleteFile(const Text& path) {
    return ::DeleteFileA(path.c_str()) != 0;
}

}  // namespace quorvel
