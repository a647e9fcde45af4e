#include "platform/FileOps.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/CodePage.h"
#include "support/TempDir.h"

namespace sorrelbox {
namespace {

TEST(FileOpsTest, OpensOnlyRegularFilesAndNeverBlocks) {
    test::TempDir dir;
    const std::string file = dir.Write("a.mp3", "hello");
    std::filesystem::create_directory(dir.path() / "x.mp3");
    const std::string fifo = dir.File("p.mp3");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    auto opened = ReadFile::Open(file);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->size(), 5u);
    auto bytes = opened->ReadRange(3, 10);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "lo");
    EXPECT_TRUE(opened->ReadRange(5, 1).empty());

    EXPECT_FALSE(ReadFile::Open(dir.File("x.mp3")));
    EXPECT_FALSE(ReadFile::Open(fifo));  // would hang without a writer if opened blocking
    EXPECT_FALSE(ReadFile::Open(dir.File("missing.mp3")));
    EXPECT_FALSE(ReadFile::Open(""));
    EXPECT_FALSE(ReadFile::Open("/dev/null"));
}

TEST(FileOpsTest, ShiftJisPathsMapToUtf8FileNames) {
    ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
    test::TempDir dir;
    dir.Write("\xE3\x82\xBD.mp3", "x");  // ソ.mp3 on disk in UTF-8
    const std::string sjisPath = dir.path().string() + "/\x83\x5C.mp3";
    EXPECT_TRUE(ReadFile::Open(sjisPath));
    auto names = ListDirectory(dir.path().string());
    ASSERT_TRUE(names);
    EXPECT_EQ(*names, std::vector<std::string>{"\x83\x5C.mp3"});
    // A path that is not valid Shift-JIS cannot name a file.
    EXPECT_FALSE(ReadFile::Open(dir.path().string() + "/\x85\x40.mp3"));
}

TEST(FileOpsTest, WriteFileTruncatesAndReportsFailure) {
    test::TempDir dir;
    const std::string file = dir.Write("out.txt", "a long old content");
    auto out = WriteFile::Create(file);
    ASSERT_TRUE(out);
    EXPECT_TRUE(out->Write("new"));
    EXPECT_TRUE(out->Close());
    EXPECT_EQ(test::ReadAll(file), "new");
    EXPECT_FALSE(WriteFile::Create(dir.File("no/such/folder.txt")));
}

}  // namespace
}  // namespace sorrelbox
