#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"
#include "support/Messages.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"
#include "tagwrite/Id3v1Writer.h"

// WriteId3v1Tag on files: overwrite, append, removal, and refusals that leave the file whole.

namespace sorrelbox {
namespace {

using Message = ScriptedPrompts::Message;
using test::Done;
using test::Failure;

Id3v1Image SampleImage() {
    Id3v1Image image;
    image.title.fill('T');
    image.artist.fill('A');
    image.album.fill('L');
    image.year = {'1', '9', '9', '9'};
    image.commentBlock.fill(' ');
    image.commentBlock[28] = 0;
    image.commentBlock[29] = 7;
    image.commentBlock[30] = 17;
    return image;
}

std::string ImageString(const Id3v1Image& image) {
    const auto bytes = image.Bytes();
    return std::string(bytes.begin(), bytes.end());
}

class Id3v1WriterTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    ScriptedPrompts prompts;
    const std::string audio = test::CbrFile(3000);
    std::string Tagged() const {
        test::Id3v1Tag tag;
        tag.title = "Old";
        return audio + tag.Build();
    }
};

// Overwrite, append (even behind a file too short to hold a tag), removal of exactly the tag;
// a file that lost its tag since it was read keeps every audio byte.
TEST_F(Id3v1WriterTest, WritesAppendsAndRemoves) {
    const std::string image = ImageString(SampleImage());
    const struct {
        std::string before;
        bool remove;
        std::uint8_t kanryoumes;
        Id3v1WriteResult result;
        std::string after;
        std::optional<Message> message;
    } cases[] = {
        {Tagged(), false, 0, Id3v1WriteResult::Written, audio + image,
         Done("ID3v1タグを編集しました")},
        {audio, false, 1, Id3v1WriteResult::Written, audio + image, std::nullopt},
        {"TAGxyz", false, 1, Id3v1WriteResult::Written, "TAGxyz" + image, std::nullopt},
        {Tagged(), true, 0, Id3v1WriteResult::Removed, audio, Done("ID3v1タグを削除しました")},
        {audio, true, 1, Id3v1WriteResult::Failed, audio,
         Failure("ID3v1タグを削除できませんでした")},
    };
    for (const auto& c : cases) {
        ScriptedPrompts p;
        const std::string path = dir.Write("song.mp3", c.before);
        EXPECT_EQ(WriteId3v1Tag(path, SampleImage(), c.remove, c.kanryoumes, p), c.result);
        EXPECT_EQ(test::ReadAll(path), c.after);
        EXPECT_EQ(p.messages, c.message ? std::vector{*c.message} : std::vector<Message>{});
    }
}

TEST_F(Id3v1WriterTest, UnopenableFilesFailWithTheirMessage) {
    std::filesystem::create_directory(dir.path() / "folder.mp3");
    for (const bool remove : {false, true}) {
        for (const std::string& path : {dir.File("missing.mp3"), dir.File("folder.mp3")}) {
            ScriptedPrompts p;
            EXPECT_EQ(WriteId3v1Tag(path, SampleImage(), remove, 1, p), Id3v1WriteResult::Failed);
            EXPECT_EQ(p.messages,
                      std::vector<Message>{Failure(remove ? "ID3v1タグを削除できませんでした"
                                                          : "ID3v1タグを編集できませんでした")});
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing.mp3"));  // never created
}

// A write that the system cuts short (here: a file-size limit 50 bytes above the file)
// leaves the file as it was, not with part of a tag behind the audio.
TEST_F(Id3v1WriterTest, ShortAppendIsCutBack) {
    const std::string path = dir.Write("song.mp3", audio);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{audio.size() + 50, audio.size() + 50};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ScriptedPrompts quiet;
        const auto result = WriteId3v1Tag(path, SampleImage(), false, 1, quiet);
        ::_exit(result == Id3v1WriteResult::Failed && quiet.messages.size() == 1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(test::ReadAll(path), audio);
}

}  // namespace
}  // namespace sorrelbox
