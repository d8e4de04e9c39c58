// File access on Windows: the executable's directory with GBK names, reads that keep writers out,
// and saves that keep the old file whenever they cannot complete.
#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/temp_dir.h"

namespace quorvel {
namespace {

// A GBK character whose second byte is 0x5C, the byte of the backslash.
constexpr char kTrailBackslash[] = "\x95\x5C";

std::size_t filesIn(const std::string& dir) {
    std::size_t count = 0;
    WIN32_FIND_DATAA entry;
    const HANDLE search = ::FindFirstFileA((dir + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    do {
        const std::string name = entry.cFileName;
        count += name != "." && name != ".." ? 1 : 0;
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
    return count;
}

// Another process's hold on a file, as CreateFileA gives it.
class OpenedElsewhere {
  public:
    OpenedElsewhere(const std::string& path, DWORD access, DWORD share)
        : handle_(::CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~OpenedElsewhere() { ::CloseHandle(handle_); }
    OpenedElsewhere(const OpenedElsewhere&) = delete;
    OpenedElsewhere& operator=(const OpenedElsewhere&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

TEST(DirectoryOf, CutsAtTheLastBackslashThatIsNoPartOfACharacter) {
    const std::string trail = kTrailBackslash;
    const struct {
        std::string path, directory;
    } cases[] = {
        {"C:\\Program Files\\Quorvel\\quorvel.exe", "C:\\Program Files\\Quorvel"},
        {"C:\\quorvel.exe", "C:"},
        {"quorvel.exe", ""},
        {"C:\\账户\\quorvel.exe", "C:\\账户"},
        {"C:\\a" + trail + "\\quorvel.exe", "C:\\a" + trail},
        {"C:\\tools\\a" + trail + "b.exe", "C:\\tools"},
        {"C:\\" + trail + trail + "quorvel.exe", "C:"},
        // A lead byte at the very end has no second byte to pair with.
        {"C:\\dir\\\x95", "C:\\dir"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(directoryOf(c.path), c.directory);
    }
}

TEST(RunDirectory, IsTheFolderOfThisProgramWithoutATrailingSeparator) {
    char path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    ASSERT_GT(n, 0u);
    const std::string directory = runDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_NE(directory.back(), '\\');
    // The program's own file lies directly in it.
    const std::string name = std::string(path, n).substr(directory.size() + 1);
    EXPECT_EQ(std::string(path, n), directory + "\\" + name);
    EXPECT_EQ(name.find('\\'), std::string::npos);
}

TEST(CurrentDirectory, TakesAFolderAndTheRootOfADrive) {
    char previous[MAX_PATH];
    ::GetCurrentDirectoryA(MAX_PATH, previous);
    test::TempDir dir;
    char current[MAX_PATH];
    ASSERT_TRUE(setCurrentDirectory(dir.path()));
    ::GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_EQ(::GetFileAttributesA(current), ::GetFileAttributesA(dir.path().c_str()));
    EXPECT_EQ(::lstrcmpiA(current, dir.path().c_str()), 0);
    ASSERT_TRUE(setCurrentDirectory("C:"));
    ::GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_STREQ(current, "C:\\");
    ::SetCurrentDirectoryA(previous);
}

class FileSystemTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    std::string path = dir.path() + "\\peizhi.ini";
    const Bytes newContent = textToBytes("new|content|here|\r\n");
};

TEST_F(FileSystemTest, WritesAndReadsExactBytes) {
    const std::string large(300000, '\x81');
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"line ends, a zero byte and high bytes", std::string("a\0\xFF\r\n\xD3\xC3", 7)},
        {"empty", ""},
        {"larger than a megabyte", std::string(3 << 20, 'x') + large},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes bytes(c.bytes.begin(), c.bytes.end());
        ASSERT_TRUE(writeWholeFile(path, bytes));
        EXPECT_EQ(readWholeFile(path), bytes);
        EXPECT_EQ(test::readFileBytes(path), c.bytes);
        EXPECT_EQ(filesIn(dir.path()), 1u) << "no temporary file stays behind";
    }
}

TEST_F(FileSystemTest, AFolderAndFileWithGbkNamesAreReadAndWritten) {
    const std::string folder = dir.path() + "\\账户" + kTrailBackslash;
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    const std::string file = folder + "\\peizhi.ini";
    ASSERT_TRUE(writeWholeFile(file, newContent));
    EXPECT_EQ(readWholeFile(file), newContent);
    EXPECT_TRUE(deleteFile(file));
    EXPECT_TRUE(::RemoveDirectoryA(folder.c_str()));
}

TEST_F(FileSystemTest, ASaveThatCannotReplaceTheFileKeepsItsContent) {
    test::writeFileBytes(path, "old|content|kept|\r\n");
    const struct {
        const char* name;
        DWORD access;
        DWORD share;
        bool readOnly;
    } cases[] = {
        {"read-only file", 0, 0, true},
        {"held open for writing by another process", GENERIC_WRITE, FILE_SHARE_READ, false},
        {"held open for reading without sharing", GENERIC_READ, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.readOnly) {
            ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
            EXPECT_FALSE(writeWholeFile(path, newContent));
            ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
        } else {
            const OpenedElsewhere holder(path, c.access, c.share);
            ASSERT_TRUE(holder.valid());
            EXPECT_FALSE(writeWholeFile(path, newContent));
        }
        EXPECT_EQ(test::readFileBytes(path), "old|content|kept|\r\n");
        EXPECT_EQ(filesIn(dir.path()), 1u);
    }
}

TEST_F(FileSystemTest, ASaveIntoAMissingFolderFails) {
    EXPECT_FALSE(writeWholeFile(dir.path() + "\\missing\\peizhi.ini", newContent));
    EXPECT_EQ(filesIn(dir.path()), 0u);
}

TEST_F(FileSystemTest, AReadGivesNothingWhileAnotherProcessMayWrite) {
    test::writeFileBytes(path, "content");
    {
        const OpenedElsewhere writer(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
        ASSERT_TRUE(writer.valid());
        EXPECT_TRUE(readWholeFile(path).empty());
    }
    {
        // Other readers are welcome.
        const OpenedElsewhere reader(path, GENERIC_READ, FILE_SHARE_READ);
        ASSERT_TRUE(reader.valid());
        EXPECT_EQ(bytesToText(readWholeFile(path)), "content");
    }
    EXPECT_TRUE(readWholeFile(dir.path() + "\\absent.ini").empty());
}

TEST_F(FileSystemTest, DeleteSaysWhetherTheFileWent) {
    test::writeFileBytes(path, "x");
    EXPECT_TRUE(deleteFile(path));
    EXPECT_EQ(::GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(deleteFile(path));
}

}  // namespace
}  // namespace quorvel
