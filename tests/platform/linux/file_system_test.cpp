// Whole-file reads and atomic saves on a real file system.
#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "support/temp_dir.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

mode_t modeOf(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

// Runs the save in a child process shaped by `prepare`, and tells whether the save succeeded.
bool saveInChild(const std::string& path, const Bytes& bytes, void (*prepare)()) {
    const pid_t child = ::fork();
    if (child == 0) {
        prepare();
        ::_exit(writeWholeFile(path, bytes) ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::size_t filesIn(const std::string& dir) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
}

class FileSystemTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    std::string path = dir.file("peizhi.ini");
    const Bytes newContent = textToBytes("new|content|here|\r\n");
};

TEST_F(FileSystemTest, WritesExactBytesIntoANewFileReadableByItsOwnerOnly) {
    const Bytes bytes{'a', '\0', '\xFF', '\r', '\n'};
    ASSERT_TRUE(writeWholeFile(path, bytes));
    EXPECT_EQ(readWholeFile(path), bytes);
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(filesIn(dir.path()), 1u);
}

TEST_F(FileSystemTest, ReplacingKeepsThePermissionsOfAnExistingFile) {
    test::writeFileBytes(path, "old");
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(writeWholeFile(path, newContent));
    EXPECT_EQ(readWholeFile(path), newContent);
    EXPECT_EQ(modeOf(path), 0640u);
}

TEST_F(FileSystemTest, EmptyBytesGiveAZeroByteFile) {
    test::writeFileBytes(path, "old");
    ASSERT_TRUE(writeWholeFile(path, {}));
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::file_size(path), 0u);
}

TEST_F(FileSystemTest, AReadOnlyFileIsNotReplaced) {
    test::writeFileBytes(path, "old");
    ::chmod(path.c_str(), 0444);
    EXPECT_FALSE(writeWholeFile(path, newContent));
    EXPECT_EQ(test::readFileBytes(path), "old");
    EXPECT_EQ(filesIn(dir.path()), 1u);
}

TEST_F(FileSystemTest, AFolderThatCannotBeWrittenKeepsThePreviousFile) {
    test::writeFileBytes(path, "old");
    ::chmod(path.c_str(), 0666);
    ::chmod(dir.path().c_str(), 0555);
    // Root may write anywhere, so the save runs as an unprivileged user when the test is root.
    const bool saved = saveInChild(path, newContent, [] {
        if (::geteuid() == 0 && ::setuid(65534) != 0) {
            ::_exit(2);
        }
    });
    EXPECT_FALSE(saved);
    EXPECT_EQ(test::readFileBytes(path), "old");
    EXPECT_EQ(filesIn(dir.path()), 1u);
}

TEST_F(FileSystemTest, AWriteThatFailsHalfwayKeepsThePreviousFile) {
    test::writeFileBytes(path, "old|content|kept|\r\n");
    const Bytes large(1 << 20, 'x');
    // A file size limit makes the write fail after the first bytes, as a full disk would.
    const bool saved = saveInChild(path, large, [] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_FALSE(saved);
    EXPECT_EQ(test::readFileBytes(path), "old|content|kept|\r\n");
    EXPECT_EQ(filesIn(dir.path()), 1u);
}

TEST_F(FileSystemTest, ALinkIsFollowedAndKept) {
    const std::string target = dir.file("real.ini");
    test::writeFileBytes(target, "old");
    fs::create_symlink(target, path);
    ASSERT_TRUE(writeWholeFile(path, newContent));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(readWholeFile(target), newContent);
}

TEST_F(FileSystemTest, MissingFilesReadEmptyAndDeleteReportsFailure) {
    EXPECT_TRUE(readWholeFile(path).empty());
    EXPECT_FALSE(deleteFile(path));
    test::writeFileBytes(path, "x");
    EXPECT_TRUE(deleteFile(path));
    EXPECT_FALSE(fs::exists(path));
}

TEST(DirectoryOf, CutsBeforeTheLastSeparator) {
    EXPECT_EQ(directoryOf("/opt/quorvel/quorvel"), "/opt/quorvel");
    EXPECT_EQ(directoryOf("/quorvel"), "");
    EXPECT_EQ(directoryOf("/\xD3\xC3/quorvel"), "/\xD3\xC3");
}

TEST(RunDirectory, IsTheFolderOfTheRunningExecutable) {
    EXPECT_EQ(fs::path(runDirectory()), fs::canonical("/proc/self/exe").parent_path());
}

}  // namespace
}  // namespace quorvel
