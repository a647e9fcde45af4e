#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"
#include "tagwrite/Id3v2TestSupport.h"
#include "tagwrite/Id3v2Writer.h"

// A writer killed or failing at any point leaves the song whole: the old file or the new one.
// The writing runs in a forked child so that it can be killed or limited.

namespace sorrelbox {
namespace {

using test::Bytes;

Bytes TagWithTitle(const std::string& title) {
    test::Id3v2Tag tag;
    tag.frames = {test::TextFrame("TIT2", title), test::TextFrame("TPE1", "artist")};
    tag.padding = 256;
    return tag.Build();
}

// Runs f in a child; returns its process id.
template <typename F>
pid_t Spawn(F f) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        f();
        ::_exit(0);
    }
    return pid;
}

// Waits for the child; returns its exit status, or -signal when it was killed.
int Reap(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

template <typename F>
int InChild(F f) {
    return Reap(Spawn(f));
}

bool Running(pid_t pid) {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

ino_t Inode(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_ino;
}

// The size of the temporary file a write is filling; nothing between writes.
std::optional<std::uintmax_t> TemporaryFileSize(const test::TempDir& dir) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path(), error)) {
        if (!entry.path().filename().string().starts_with(".sorrelbox-")) continue;
        const std::uintmax_t size = std::filesystem::file_size(entry.path(), error);
        return error ? 0 : size;
    }
    return std::nullopt;
}

int RemoveTemporaryFiles(const test::TempDir& dir) {
    int removed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        if (entry.path().filename().string().starts_with(".sorrelbox-")) {
            std::filesystem::remove(entry.path());
            ++removed;
        }
    }
    return removed;
}

// The kill points are moments the writer shows, not times, so they fall alike on any machine:
// before or after the song's first replacement, and with the next temporary file not looked
// for or filled to a random part (all of it: flushing or renaming).
TEST(Id3v2CrashTest, KilledAtAnyMomentLeavesTheOldOrTheNewFile) {
    test::TempDir dir;
    const Bytes audio = test::CbrFile(3 << 20);
    const Bytes fileA = TagWithTitle("AAAA") + audio;
    const Bytes fileB = TagWithTitle("BBBB") + audio;
    const std::string path = dir.Write("song.mp3", fileA);
    const auto tagLength = static_cast<std::uint32_t>(TagWithTitle("AAAA").size());

    std::mt19937 random(12345);
    std::uniform_real_distribution<double> filled(-0.25, 1.0);  // below 0: no file looked for
    int sawOld = 0;
    int sawNew = 0;
    int midWrite = 0;
    for (int i = 0; i < 48; ++i) {
        const std::string old = test::ReadAll(path);
        const ino_t oldInode = Inode(path);
        const pid_t writer = Spawn([&] {
            ScriptedPrompts prompts;
            WriterEnv env{.backup = 0, .kanryoumes = 1, .backupPath = "", .prompts = prompts};
            Id3v2Edit edit;
            edit.songPath = path;
            edit.oldTagLength = tagLength;
            // Each write flips the title, starting from the one the file has now.
            for (bool toB = old == fileA;; toB = !toB) {
                edit.values[0] = toB ? "BBBB" : "AAAA";
                std::uint16_t mask = kFieldTitle;
                if (WriteId3v2Tag(edit, mask, env)) ::_exit(3);
            }
        });
        const bool afterReplacement = i % 2 == 1;
        const double part = filled(random);
        const auto reached = [&] {
            if (afterReplacement && Inode(path) == oldInode) return false;
            if (part < 0) return true;
            const auto size = TemporaryFileSize(dir);
            return size && static_cast<double>(*size) >= part * static_cast<double>(fileA.size());
        };
        while (!reached() && Running(writer)) std::this_thread::yield();
        ::kill(writer, SIGKILL);
        ASSERT_EQ(Reap(writer), -SIGKILL);
        const std::string now = test::ReadAll(path);
        ASSERT_TRUE(now == fileA || now == fileB)
            << "iteration " << i << ", " << now.size() << " bytes";
        (now == old ? sawOld : sawNew)++;
        if (RemoveTemporaryFiles(dir) > 0) ++midWrite;
    }
    // The kills landed on both sides of a replacement, and in the middle of writing one.
    EXPECT_GT(sawOld, 0);
    EXPECT_GT(sawNew, 0);
    EXPECT_GT(midWrite, 0);
}

// A write that fails part-way (the file size limit stops it after some bytes) leaves the song
// as it was, says so, and leaves no temporary file.
TEST(Id3v2CrashTest, WriteFailingAtAnyByteLeavesTheSongUntouched) {
    test::TempDir dir;
    const Bytes audio = test::CbrFile(200000);
    const Bytes before = TagWithTitle("old") + audio;
    const std::string path = dir.Write("song.mp3", before);
    for (rlim_t limit : {rlim_t{0}, rlim_t{5}, rlim_t{10}, rlim_t{300}, rlim_t{4096},
                         rlim_t{100000}, rlim_t{before.size()}}) {
        const int status = InChild([&] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit rl{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &rl);
            ScriptedPrompts prompts;
            WriterEnv env{.backup = 0, .kanryoumes = 0, .backupPath = "", .prompts = prompts};
            Id3v2Edit edit;
            edit.songPath = path;
            edit.oldTagLength = static_cast<std::uint32_t>(TagWithTitle("old").size());
            edit.values[Id3v2FieldIndex(kFieldComposer)] = std::string(500, 'c');
            std::uint16_t mask = kFieldComposer;
            const bool failed = WriteId3v2Tag(edit, mask, env);
            const bool told = prompts.messages.size() == 1 &&
                              prompts.messages[0].text == CpText("ID3v2タグを編集できませんでした");
            ::_exit(failed && told ? 0 : 1);
        });
        EXPECT_EQ(status, 0) << "limit " << limit;
        EXPECT_EQ(test::ReadAll(path), before) << "limit " << limit;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    }
}

// In place (no temporary file possible), a write failing part-way ends with the song's audio
// and ID3v1 tag at the start, without an ID3v2 tag, and the recovery message.
TEST(Id3v2CrashTest, InPlaceFailureRecoversTheAudio) {
    test::TempDir dir;
    const Bytes rest = test::CbrFile(100000) + test::Id3v1WithTitle("v1").Build();
    const Bytes tag = TagWithTitle("old");
    const std::string path = dir.Write("song.mp3", tag + rest);
    const std::string folder = dir.path().string();
    if (std::system(("chattr +i '" + folder + "' 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "cannot keep new files out of the folder";
    }
    const int status = InChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        // The grown file cannot be written past its old length.
        const rlimit rl{tag.size() + rest.size(), tag.size() + rest.size()};
        ::setrlimit(RLIMIT_FSIZE, &rl);
        ScriptedPrompts prompts;
        WriterEnv env{.backup = 0, .kanryoumes = 0, .backupPath = "", .prompts = prompts};
        Id3v2Edit edit;
        edit.songPath = path;
        edit.oldTagLength = static_cast<std::uint32_t>(tag.size());
        edit.values[Id3v2FieldIndex(kFieldComposer)] = std::string(500, 'c');
        std::uint16_t mask = kFieldComposer;
        const bool failed = WriteId3v2Tag(edit, mask, env);
        const bool told =
            prompts.messages.size() == 1 &&
            prompts.messages[0].text ==
                CpText("ID3v2タグの編集に失敗しました\nファイル保護のためID3v2タグを削除しました");
        ::_exit(failed && told ? 0 : 1);
    });
    std::system(("chattr -i '" + folder + "'").c_str());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(test::ReadAll(path), rest);
}

}  // namespace
}  // namespace sorrelbox
