#include "platform/SafeFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/CodePage.h"
#include "support/TempDir.h"

namespace sorrelbox {
namespace {

std::size_t EntriesIn(const test::TempDir& dir) {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(dir.path()), {}));
}

std::span<const std::uint8_t> AsBytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(SafeFileTest, ReplacesOnlyOnCommit) {
    test::TempDir dir;
    const std::string path = dir.Write("song.mp3", "old contents");
    const std::string source = dir.Write("source", "0123456789");
    ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
    {
        auto file = SafeFile::Begin(path);
        ASSERT_TRUE(file);
        EXPECT_TRUE(file->Write(AsBytes("new ")));
        auto in = ReadFile::Open(source);
        ASSERT_TRUE(in);
        EXPECT_TRUE(file->CopyFrom(*in, 2, 5));
        EXPECT_EQ(test::ReadAll(path), "old contents");
        EXPECT_EQ(EntriesIn(dir), 3u);
        EXPECT_TRUE(file->Commit());
    }
    EXPECT_EQ(test::ReadAll(path), "new 23456");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_EQ(EntriesIn(dir), 2u);
}

TEST(SafeFileTest, AbandonedOrFailedCopyLeavesTheFileAndNoTemporary) {
    test::TempDir dir;
    const std::string path = dir.Write("song.mp3", "old");
    const std::string source = dir.Write("source", "abc");
    {
        auto file = SafeFile::Begin(path);
        ASSERT_TRUE(file);
        file->Write(AsBytes("never committed"));
    }
    EXPECT_EQ(test::ReadAll(path), "old");
    EXPECT_EQ(EntriesIn(dir), 2u);

    auto file = SafeFile::Begin(path);
    ASSERT_TRUE(file);
    auto in = ReadFile::Open(source);
    ASSERT_TRUE(in);
    EXPECT_FALSE(file->CopyFrom(*in, 1, 10));  // the source ends early
    EXPECT_FALSE(file->Write(AsBytes("x")));
    EXPECT_FALSE(file->Commit());
    EXPECT_EQ(test::ReadAll(path), "old");
    EXPECT_EQ(EntriesIn(dir), 2u);
}

TEST(SafeFileTest, BeginNeedsAnExistingRegularFile) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.path() / "folder.mp3");
    EXPECT_FALSE(SafeFile::Begin(dir.File("missing.mp3")));
    EXPECT_FALSE(SafeFile::Begin(dir.File("folder.mp3")));
    EXPECT_FALSE(SafeFile::Begin(""));
}

TEST(SafeFileTest, ShiftJisPathIsReplaced) {
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    test::TempDir dir;
    dir.Write("\xE3\x82\xBD.mp3", "old");  // ソ.mp3 on disk
    const std::string sjisPath = dir.path().string() + "/\x83\x5C.mp3";
    auto file = SafeFile::Begin(sjisPath);
    ASSERT_TRUE(file);
    file->Write(AsBytes("new"));
    EXPECT_TRUE(file->Commit());
    EXPECT_EQ(test::ReadAll(dir.File("\xE3\x82\xBD.mp3")), "new");
}

TEST(SafeFileTest, RenameNeverReplaces) {
    test::TempDir dir;
    const std::string a = dir.Write("a.mp3", "a");
    const std::string b = dir.Write("b.mp3", "b");
    EXPECT_EQ(RenameNoReplace(a, b), RenameResult::TargetExists);
    EXPECT_EQ(test::ReadAll(a), "a");
    EXPECT_EQ(test::ReadAll(b), "b");
    EXPECT_EQ(RenameNoReplace(a, dir.File("c.mp3")), RenameResult::Renamed);
    EXPECT_FALSE(std::filesystem::exists(a));
    EXPECT_EQ(test::ReadAll(dir.File("c.mp3")), "a");
    EXPECT_EQ(RenameNoReplace(a, dir.File("d.mp3")), RenameResult::Failed);
    EXPECT_EQ(RenameNoReplace(b, dir.File("no folder/d.mp3")), RenameResult::Failed);
    EXPECT_EQ(test::ReadAll(b), "b");
}

TEST(SafeFileTest, CopyReplacesTheTargetWhole) {
    test::TempDir dir;
    const std::string from = dir.Write("song.mp3", std::string(3 << 20, 's'));
    const std::string to = dir.Write("backup.mp3", "an old backup");
    EXPECT_TRUE(CopyFileReplacing(from, to));
    EXPECT_EQ(test::ReadAll(to), test::ReadAll(from));
    EXPECT_TRUE(CopyFileReplacing(from, dir.File("fresh.mp3")));
    EXPECT_FALSE(CopyFileReplacing(dir.File("missing.mp3"), to));
    EXPECT_FALSE(CopyFileReplacing(from, dir.File("no folder/backup.mp3")));
    EXPECT_EQ(test::ReadAll(to), test::ReadAll(from));
    EXPECT_EQ(EntriesIn(dir), 3u);
}

// A source on another file system cannot be copied by the kernel in one call: the bytes go
// through a buffer instead.
TEST(SafeFileTest, CopiesFromAnotherFileSystem) {
    test::TempDir dir;
    const std::string path = dir.Write("song.mp3", "old");
    const std::filesystem::path shm = "/dev/shm";
    struct stat a {
    }, b{};
    if (::stat(shm.c_str(), &a) != 0 || ::stat(dir.path().c_str(), &b) != 0 ||
        a.st_dev == b.st_dev) {
        GTEST_SKIP() << "no second file system at hand";
    }
    const std::string source = (shm / ("sorrelbox-" + std::to_string(::getpid()))).string();
    std::string bytes(3 << 20, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
    { std::ofstream(source, std::ios::binary) << bytes; }
    auto in = ReadFile::Open(source);
    ASSERT_TRUE(in);
    auto file = SafeFile::Begin(path);
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->CopyFrom(*in, 5, bytes.size() - 5));
    EXPECT_TRUE(file->Commit());
    std::filesystem::remove(source);
    EXPECT_EQ(test::ReadAll(path), bytes.substr(5));
}

}  // namespace
}  // namespace sorrelbox
