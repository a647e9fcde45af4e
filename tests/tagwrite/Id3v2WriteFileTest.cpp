#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"
#include "support/Messages.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"
#include "tagwrite/Id3v2TestSupport.h"
#include "tagwrite/Id3v2Writer.h"

// WriteId3v2Tag on files: messages, backup, removal, refusals that leave the song as it was.

namespace sorrelbox {
namespace {

using test::Bytes;
using test::Id3v2Tag;
using test::TextFrame;
using Message = ScriptedPrompts::Message;
using test::Done;
using test::Failure;
using namespace std::string_literals;

const std::string kAudio = test::CbrFile(5000);

std::size_t FilesIn(const std::filesystem::path& dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

class Id3v2WriteFileTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    ScriptedPrompts prompts;
    WriterEnv env{
        .backup = 0, .kanryoumes = 0, .backupPath = dir.File("backup.mp3"), .prompts = prompts};

    // Writes value into the field (all of mask) of the song at path; true when refused.
    bool Write(const std::string& path, std::size_t oldTagLength, std::uint16_t mask = kFieldTitle,
               const std::string& value = "New") {
        Id3v2Edit edit = EditOf(path, static_cast<std::uint32_t>(oldTagLength));
        edit.values[0] = value;
        lastMask = mask;
        return WriteId3v2Tag(edit, lastMask, env);
    }
    std::uint16_t lastMask = 0;

    Id3v2Edit EditOf(const std::string& path, std::uint32_t oldTagLength) {
        Id3v2Edit edit;
        edit.songPath = path;
        edit.oldTagLength = oldTagLength;
        return edit;
    }
};

Bytes SampleTag() {
    Id3v2Tag tag;
    tag.frames = {TextFrame("TIT2", "Old title"), TextFrame("TPE1", "Artist")};
    tag.padding = 64;
    return tag.Build();
}

TEST_F(Id3v2WriteFileTest, NewTagGoesInFrontOfTheAudio) {
    const test::Id3v1Tag v1 = test::Id3v1WithTitle("v1");
    const std::string path = dir.Write("a.mp3", kAudio + v1.Build());
    EXPECT_FALSE(Write(path, 0, kFieldTitle, "abc"));
    EXPECT_EQ(lastMask, 0);
    const std::string after = test::ReadAll(path);
    ASSERT_EQ(after.size(), 150 + kAudio.size() + 128);
    EXPECT_EQ(after.substr(0, 10), Bytes("ID3\x03\0\0\0\0\x01\x0C", 10));
    EXPECT_EQ(after.substr(24, 4), "TPE1");
    EXPECT_EQ(after.substr(150), kAudio + v1.Build());  // the audio at 150
    EXPECT_EQ(prompts.messages, std::vector{Done("ID3v2タグを編集しました")});
    EXPECT_EQ(FilesIn(dir.path()), 1u);  // no temporary file left behind
}

TEST_F(Id3v2WriteFileTest, RemovalKeepsAudioAndId3v1) {
    const Bytes tag = SampleTag();
    const Bytes rest = kAudio + test::Id3v1WithTitle("v1").Build();
    const std::string path = dir.Write("a.mp3", tag + rest);
    EXPECT_FALSE(Write(path, tag.size(), kRemoveId3v2Tag));
    EXPECT_EQ(test::ReadAll(path), rest);  // shrinks by exactly the tag's whole length
    EXPECT_EQ(prompts.messages, std::vector{Done("ID3v2タグを削除しました")});
}

TEST_F(Id3v2WriteFileTest, CompletionMessagesFollowKanryoumes) {
    for (std::uint8_t kanryoumes : {0, 1, 2}) {
        prompts.messages.clear();
        env.kanryoumes = kanryoumes;
        EXPECT_FALSE(
            Write(dir.Write("a.mp3", SampleTag() + kAudio), SampleTag().size(), kFieldAlbum));
        EXPECT_EQ(prompts.messages.size(), kanryoumes == 0 ? 1u : 0u);
    }
}

TEST_F(Id3v2WriteFileTest, BackupHoldsTheSongAsItWas) {
    const Bytes before = SampleTag() + kAudio;
    for (std::uint8_t backup : {0, 1}) {
        // An older backup is replaced.
        if (backup == 1) dir.Write("backup.mp3", "an older backup");
        env.backup = backup;
        const std::string path = dir.Write("a.mp3", before);
        EXPECT_FALSE(Write(path, SampleTag().size()));
        EXPECT_NE(test::ReadAll(path), before);
        EXPECT_EQ(std::filesystem::exists(dir.File("backup.mp3")), backup == 1);
        if (backup == 1) {
            EXPECT_EQ(test::ReadAll(dir.File("backup.mp3")), before);
        }
    }
}

TEST_F(Id3v2WriteFileTest, FailedBackupIsToldAndTheWriteGoesOn) {
    const std::string path = dir.Write("a.mp3", SampleTag() + kAudio);
    env.backup = 1;
    env.backupPath = dir.File("no such folder/backup.mp3");
    EXPECT_FALSE(Write(path, SampleTag().size()));
    EXPECT_EQ(prompts.messages, (std::vector{Failure("バックアップファイルの保存に失敗しました"),
                                             Done("ID3v2タグを編集しました")}));
    EXPECT_NE(test::ReadAll(path).find("New"), std::string::npos);
}

// Each of these leaves the song byte for byte as it was and says it could not be edited.
TEST_F(Id3v2WriteFileTest, RefusalsLeaveTheSongUntouched) {
    const Bytes tag = SampleTag();
    const auto tagLength = static_cast<std::uint32_t>(tag.size());
    Id3v2Tag unsync24;
    unsync24.major = 4;
    unsync24.unsynchronise = true;
    unsync24.frames = {TextFrame("TIT2", "t")};
    Bytes unflagged24 = unsync24.Build();
    unflagged24[19] = 0;  // the frame lacks its own unsynchronisation flag
    Id3v2Tag huge;        // a header claiming 256 MB on a small file
    huge.frames = {TextFrame("TIT2", "t")};
    huge.sizeOverride = (1u << 28) - 1;
    struct Case {
        const char* what;
        Bytes file;
        std::uint32_t oldTagLength;
        std::uint16_t mask;
        bool removing;
    };
    const Case cases[] = {
        {"tag changed since it was read", tag + kAudio, tagLength + 1, kFieldTitle, false},
        {"tag appeared since it was read", tag + kAudio, 0, kFieldTitle, false},
        {"tag gone since it was read", kAudio, tagLength, kFieldTitle, false},
        {"2.4 unsynchronised without frame flags", unflagged24 + kAudio,
         static_cast<std::uint32_t>(unflagged24.size()), kFieldTitle, false},
        {"size past the end", huge.Build() + kAudio, (1u << 28) + 9, kFieldTitle, false},
        {"size past the end, removing", huge.Build() + kAudio, (1u << 28) + 9, kRemoveId3v2Tag,
         true},
        {"version 2.2", Bytes("ID3\x02\0\0\0\0\0\x0A", 10) + Bytes(10, 'x') + kAudio, 20,
         kFieldTitle, false},
        {"nothing to remove", kAudio, 0, kRemoveId3v2Tag, true},
    };
    for (const Case& c : cases) {
        ScriptedPrompts p;
        WriterEnv e{.backup = 0, .kanryoumes = 0, .backupPath = "", .prompts = p};
        const std::string path = dir.Write("a.mp3", c.file);
        Id3v2Edit edit = EditOf(path, c.oldTagLength);
        edit.values[0] = "New";
        std::uint16_t mask = c.mask;
        EXPECT_TRUE(WriteId3v2Tag(edit, mask, e)) << c.what;
        EXPECT_EQ(mask, c.mask) << c.what;
        EXPECT_EQ(test::ReadAll(path), c.file) << c.what;
        EXPECT_EQ(p.messages, std::vector{Failure("ID3v2タグを編集できませんでした")}) << c.what;
    }

    ScriptedPrompts p;
    WriterEnv e{.backup = 0, .kanryoumes = 0, .backupPath = "", .prompts = p};
    std::uint16_t mask = kFieldTitle;
    EXPECT_TRUE(WriteId3v2Tag(EditOf(dir.File("missing.mp3"), 0), mask, e));
    EXPECT_EQ(p.messages, std::vector{Failure("ID3v2タグを編集できませんでした")});
    EXPECT_EQ(FilesIn(dir.path()), 1u);
}

TEST_F(Id3v2WriteFileTest, PermissionsAndLinksSurvive) {
    const std::string path = dir.Write("a.mp3", SampleTag() + kAudio);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const std::string link = dir.File("link.mp3");
    std::filesystem::create_symlink(path, link);
    EXPECT_FALSE(Write(link, SampleTag().size()));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_NE(test::ReadAll(path).find("New"), std::string::npos);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(Id3v2WriteFileTest, WritingTheSameValuesAgainChangesNoByte) {
    const std::string path = dir.Write("a.mp3", kAudio);
    Id3v2Edit edit = EditOf(path, 0);
    for (std::size_t i = 0; i < kId3v2FieldCount; ++i)
        edit.values[i] = "value " + std::to_string(i);
    std::uint16_t mask = kId3v2AllFields;
    ASSERT_FALSE(WriteId3v2Tag(edit, mask, env));
    const std::string first = test::ReadAll(path);
    ASSERT_EQ(first.substr(0, 3), "ID3");
    edit.oldTagLength = static_cast<std::uint32_t>(first.size() - kAudio.size());
    for (std::uint16_t again : {std::uint16_t{0}, kId3v2AllFields}) {
        mask = again;
        EXPECT_FALSE(WriteId3v2Tag(edit, mask, env));
        EXPECT_EQ(test::ReadAll(path), first);
    }
}

TEST_F(Id3v2WriteFileTest, FooterIsRewrittenToMatch) {
    Id3v2Tag tag;
    tag.major = 4;
    tag.flags = 0x10;
    tag.frames = {TextFrame("TIT2", "t")};
    const Bytes oldTag = tag.Build();
    const Bytes footer = "3DI" + oldTag.substr(3, 7);
    const std::string path = dir.Write("a.mp3", oldTag + footer + kAudio);
    EXPECT_FALSE(Write(path, oldTag.size(), kFieldTitle, "longer"));
    const std::string after = test::ReadAll(path);
    const std::size_t newTag = oldTag.size() + 5;
    ASSERT_EQ(after.size(), newTag + 10 + kAudio.size());
    EXPECT_EQ(after.substr(newTag, 10), "3DI" + after.substr(3, 7));
    EXPECT_EQ(after.substr(newTag + 10), kAudio);

    // Removing the tag takes its footer with it.
    EXPECT_FALSE(Write(path, newTag, kRemoveId3v2Tag));
    EXPECT_EQ(test::ReadAll(path), kAudio);
}

TEST_F(Id3v2WriteFileTest, BareHeaderTakesTheNewFrames) {
    const std::string path = dir.Write("a.mp3", "ID3\x04\0\0\0\0\0\0"s + kAudio);
    EXPECT_FALSE(Write(path, 0, kFieldTitle, "abc"));  // the scan counts a tag of size 0 as none
    EXPECT_EQ(test::ReadAll(path),
              "ID3\x04\0\0\0\0\0\x0ETIT2\0\0\0\x04\0\0\x03"
              "abc"s +
                  kAudio);
}

// Without a temporary file (the folder takes no new entries), the song is rewritten in place.
TEST_F(Id3v2WriteFileTest, InPlaceWhereNoTemporaryFileCanBeMade) {
    const std::string path = dir.Write("a.mp3", SampleTag() + kAudio);
    const std::string folder = dir.path().string();
    const bool immutable = std::system(("chattr +i '" + folder + "' 2>/dev/null").c_str()) == 0;
    if (!immutable) {
        if (::geteuid() == 0) GTEST_SKIP() << "cannot make the folder read-only";
        ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    }
    struct Restore {
        std::string folder;
        bool immutable;
        ~Restore() {
            if (immutable) std::system(("chattr -i '" + folder + "'").c_str());
            ::chmod(folder.c_str(), 0755);
        }
    } restore{folder, immutable};

    Id3v2Edit edit = EditOf(path, static_cast<std::uint32_t>(SampleTag().size()));
    edit.values[Id3v2FieldIndex(kFieldComposer)] = std::string(100, 'c');  // past the padding
    std::uint16_t mask = kFieldComposer;
    EXPECT_FALSE(WriteId3v2Tag(edit, mask, env));
    const std::string after = test::ReadAll(path);
    EXPECT_EQ(after.size(), SampleTag().size() + 111 + kAudio.size());
    EXPECT_EQ(after.substr(after.size() - kAudio.size()), kAudio);
    EXPECT_NE(after.find("TCOM"), std::string::npos);

    EXPECT_FALSE(Write(path, after.size() - kAudio.size(), kRemoveId3v2Tag));
    EXPECT_EQ(test::ReadAll(path), kAudio);
}

}  // namespace
}  // namespace sorrelbox
