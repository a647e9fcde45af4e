#include "platform/SafeFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/CodePage.h"
#include "platform/FileReplacer.h"
#include "support/TempDir.h"

namespace sorrelbox {
namespace {

namespace fs = std::filesystem;

std::size_t EntriesIn(const test::TempDir& dir) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir.path()), {}));
}
std::span<const std::uint8_t> AsBytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}
unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// "new" through either policy's front: FileReplacer (outputs, INI) or SafeFile (tag writes).
bool Replace(bool safe, const std::string& path) {
    if (safe) {
        auto file = SafeFile::Begin(path);
        return file && file->Write(AsBytes("new")) && file->Commit();
    }
    auto file = FileReplacer::Create(path);
    return file && file->Write("new") && file->Commit();
}

TEST(SafeFileTest, EachPolicyReplacesWhatItMayAndKeepsModesAndLinks) {
    enum Kind { Plain, Missing, NoFolder, Folder, Link, TwoNames };
    // Per policy (FileReplacer, SafeFile): "a" and "b" afterwards; "" for no file.
    const struct {
        Kind kind;
        const char *replacerA, *replacerB, *safeA, *safeB;
    } rows[] = {
        {Plain, "new", "", "new", ""},
        {Missing, "new", "", "", ""},
        {NoFolder, "", "", "", ""},
        {Folder, "", "", "", ""},
        {Link, "new", "new", "new", "new"},  // the link stays and names the new bytes
        // An output is written through both names; a tag write replaces the one named.
        {TwoNames, "new", "new", "old", "new"},
    };
    for (const auto& r : rows) {
        for (const bool safe : {false, true}) {
            SCOPED_TRACE(testing::Message() << r.kind << " safe " << safe);
            test::TempDir dir;
            std::string path = dir.File(r.kind == NoFolder ? "x/a" : "a");
            if (r.kind == Folder) fs::create_directory(path);
            if (r.kind >= Link || r.kind == Plain) {
                dir.Write("a", "old");
                ::chmod(path.c_str(), 0604);
            }
            if (r.kind == Link) fs::create_symlink(path, dir.path() / "b");
            if (r.kind == TwoNames) fs::create_hard_link(path, dir.path() / "b");
            if (r.kind >= Link) path = dir.File("b");
            const std::string a = safe ? r.safeA : r.replacerA, b = safe ? r.safeB : r.replacerB;
            EXPECT_EQ(Replace(safe, path), a == "new" || b == "new");
            EXPECT_EQ(fs::is_regular_file(dir.File("a")) ? test::ReadAll(dir.File("a")) : "", a);
            EXPECT_EQ(fs::exists(dir.File("b")) ? test::ReadAll(dir.File("b")) : "", b);
            if (r.kind != Missing && !a.empty()) {
                EXPECT_EQ(ModeOf(dir.File("a")), 0604u);
            }
            EXPECT_EQ(fs::is_symlink(dir.File("b")), r.kind == Link);
            EXPECT_EQ(EntriesIn(dir), (r.kind == Folder || !a.empty() ? 1u : 0u) + !b.empty());
        }
    }
}

TEST(SafeFileTest, NothingChangesBeforeCommitNorAfterAFailure) {
    test::TempDir dir;
    const std::string path = dir.Write("song.mp3", "old");
    const std::string source = dir.Write("source", "0123456789");
    auto in = ReadFile::Open(source);
    ASSERT_TRUE(in);
    {
        auto file = SafeFile::Begin(path);
        ASSERT_TRUE(file);
        EXPECT_TRUE(file->Write(AsBytes("new ")));
        EXPECT_TRUE(file->CopyFrom(*in, 2, 5));
        EXPECT_TRUE(fs::exists(file->tempPath()));
        EXPECT_EQ(test::ReadAll(path), "old");
    }  // abandoned
    EXPECT_EQ(test::ReadAll(path), "old");
    EXPECT_EQ(EntriesIn(dir), 2u);
    {
        auto file = FileReplacer::Create(path);
        ASSERT_TRUE(file);
        EXPECT_TRUE(file->Write("never committed"));
    }
    EXPECT_EQ(test::ReadAll(path), "old");
    EXPECT_EQ(EntriesIn(dir), 2u);

    auto file = SafeFile::Begin(path);
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->CopyFrom(*in, 8, 10));  // the source ends early
    EXPECT_FALSE(file->Write(AsBytes("x")));
    EXPECT_FALSE(file->Commit());
    EXPECT_EQ(test::ReadAll(path), "old");
    EXPECT_EQ(EntriesIn(dir), 2u);
    auto good = SafeFile::Begin(path);
    ASSERT_TRUE(good && good->Write(AsBytes("new ")) && good->CopyFrom(*in, 2, 5) &&
                good->Commit());
    EXPECT_FALSE(good->Commit());
    EXPECT_EQ(test::ReadAll(path), "new 23456");
}

TEST(SafeFileTest, ShiftJisPathIsReplaced) {
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    test::TempDir dir;
    dir.Write("\xE3\x82\xBD.mp3", "old");  // ソ.mp3 on disk
    EXPECT_TRUE(Replace(true, dir.path().string() + "/\x83\x5C.mp3"));
    EXPECT_EQ(test::ReadAll(dir.File("\xE3\x82\xBD.mp3")), "new");
    EXPECT_FALSE(Replace(true, ""));
}

TEST(SafeFileTest, RenameNeverReplaces) {
    test::TempDir dir;
    const std::string a = dir.Write("a.mp3", "a");
    const std::string b = dir.Write("b.mp3", "b");
    EXPECT_EQ(RenameNoReplace(a, b), RenameResult::TargetExists);
    EXPECT_EQ(test::ReadAll(a) + test::ReadAll(b), "ab");
    EXPECT_EQ(RenameNoReplace(a, dir.File("c.mp3")), RenameResult::Renamed);
    EXPECT_FALSE(fs::exists(a));
    EXPECT_EQ(test::ReadAll(dir.File("c.mp3")), "a");
    EXPECT_EQ(RenameNoReplace(a, dir.File("d.mp3")), RenameResult::Failed);
    EXPECT_EQ(RenameNoReplace(b, dir.File("no folder/d.mp3")), RenameResult::Failed);
}

// Over 1 MiB, from this file system and (through a buffer) from another one when there is one.
TEST(SafeFileTest, CopiesReplaceTheTargetWhole) {
    test::TempDir dir;
    std::string bytes(3 << 20, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
    const std::string from = dir.Write("song.mp3", bytes);
    const std::string to = dir.Write("backup.mp3", "an old backup");
    ::chmod(from.c_str(), 0640);
    EXPECT_TRUE(CopyFileReplacing(from, to));
    EXPECT_EQ(test::ReadAll(to), bytes);
    EXPECT_EQ(ModeOf(to), 0640u);
    EXPECT_TRUE(CopyFileReplacing(from, dir.File("fresh.mp3")));
    EXPECT_FALSE(CopyFileReplacing(dir.File("missing.mp3"), to));
    EXPECT_FALSE(CopyFileReplacing(from, dir.File("no folder/backup.mp3")));
    EXPECT_EQ(EntriesIn(dir), 3u);

    struct stat shm {
    }, here{};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(dir.path().c_str(), &here) != 0 ||
        shm.st_dev == here.st_dev) {
        GTEST_SKIP() << "no second file system at hand";
    }
    const std::string source = "/dev/shm/sorrelbox-" + std::to_string(::getpid());
    { std::ofstream(source, std::ios::binary) << bytes; }
    auto in = ReadFile::Open(source);
    auto file = SafeFile::Begin(to);
    ASSERT_TRUE(in && file);
    EXPECT_TRUE(file->CopyFrom(*in, 5, bytes.size() - 5));
    EXPECT_TRUE(file->Commit());
    fs::remove(source);
    EXPECT_EQ(test::ReadAll(to), bytes.substr(5));
}

}  // namespace
}  // namespace sorrelbox
