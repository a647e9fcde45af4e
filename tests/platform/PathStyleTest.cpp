#include "platform/PathStyle.h"

#include <gtest/gtest.h>

namespace sorrelbox {
namespace {

const CodePage kSjis(CodePage::Kind::Cp932);

TEST(PathStyleTest, SplitsPathsInBothStyles) {
    struct Case {
        PathStyle style;
        std::string path;
        std::string name;
        std::string folder;
        std::string drive;
    };
    const Case cases[] = {
        {PathStyle::Windows, "C:\\music\\track01.mp3", "track01.mp3", "C:\\music", "C:"},
        {PathStyle::Windows, "C:\\a.mp3", "a.mp3", "C:", "C:"},
        {PathStyle::Windows, "a.mp3", "a.mp3", "", "a."},
        {PathStyle::Windows, "C:\\\x83\x5C\\x.mp3", "x.mp3", "C:\\\x83\x5C", "C:"},
        {PathStyle::Windows, "C:\\\x95\x5C.mp3", "\x95\x5C.mp3", "C:", "C:"},
        {PathStyle::Posix, "/music/track01.mp3", "track01.mp3", "/music", ""},
        {PathStyle::Posix, "/a.mp3", "a.mp3", "", ""},
        {PathStyle::Posix, "a\\b.mp3", "a\\b.mp3", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileNameOf(c.path, c.style, kSjis), c.name) << c.path;
        EXPECT_EQ(FolderOf(c.path, c.style, kSjis), c.folder) << c.path;
        EXPECT_EQ(DriveOf(c.path, c.style), c.drive) << c.path;
    }
}

TEST(PathStyleTest, AbsolutePaths) {
    EXPECT_TRUE(IsAbsolutePath("/a", PathStyle::Posix));
    EXPECT_FALSE(IsAbsolutePath("a/b", PathStyle::Posix));
    EXPECT_TRUE(IsAbsolutePath("C:\\a", PathStyle::Windows));
    EXPECT_TRUE(IsAbsolutePath("\\a", PathStyle::Windows));
    EXPECT_FALSE(IsAbsolutePath("sub\\a", PathStyle::Windows));
}

}  // namespace
}  // namespace sorrelbox
