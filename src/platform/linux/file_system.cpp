// File access on POSIX systems: the executable's directory, whole-file reads, and atomic saves.
#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace quorvel {

namespace {

bool writeAll(int fd, const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A link to the account file is followed, so the file it names is replaced, not the link.
Text resolveLink(const Text& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
        return path;
    }
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return path;
    }
    Text target = resolved;
    std::free(resolved);  // NOLINT(cppcoreguidelines-no-malloc): realpath hands out malloc'd memory
    return target;
}

}  // namespace

Text runDirectory() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof path) {
        return {};
    }
    return directoryOf(Text(path, static_cast<std::size_t>(n)));
}

// In GBK no second byte is 0x2F, so the last "/" is always a separator.
Text directoryOf(const Text& path) {
    const std::size_t slash = path.rfind('/');
    return slash == Text::npos ? Text() : path.substr(0, slash);
}

bool setCurrentDirectory(const Text& directory) {
    return ::chdir(directory.empty() ? "/" : directory.c_str()) == 0;
}

Bytes readWholeFile(const Text& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    Bytes bytes;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size > 0) {
        bytes.reserve(static_cast<std::size_t>(info.st_size));
    }
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;  // end of file, or a read error: keep what arrived
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    ::close(fd);
    return bytes;
}

bool writeWholeFile(const Text& requestedPath, const Bytes& bytes) {
    const Text path = resolveLink(requestedPath);
    mode_t mode = S_IRUSR | S_IWUSR;  // the file holds passwords in clear text
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists) {
        // A file without write permission is read-only to us, as it would be to any editor; the
        // check on the mode bits holds for root too, to whom access() grants everything.
        if (!S_ISREG(existing.st_mode) || (existing.st_mode & S_IWUSR) == 0 ||
            ::access(path.c_str(), W_OK) != 0) {
            return false;
        }
        mode = existing.st_mode & 07777;
    }

    Text temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool written = writeAll(fd, bytes) && ::fchmod(fd, mode) == 0;
    if (written && exists) {
        // Keep the owner of a file that root saves on a user's behalf; failing that is harmless.
        [[maybe_unused]] const int ignored = ::fchown(fd, existing.st_uid, existing.st_gid);
    }
    written = written && ::fsync(fd) == 0;
    written = (::close(fd) == 0) && written;
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool deleteFile(const Text& path) {
    return ::unlink(path.c_str()) == 0;
}

}  // namespace quorvel
