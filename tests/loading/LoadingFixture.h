#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/SongTable.h"
#include "loading/SongLoader.h"
#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"
#include "settings/Settings.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox::test {

// A song of exactly `seconds` (32 kbit/s CBR: 4000 bytes a second, at least one frame).
inline Bytes SongBytes(unsigned seconds) {
    MpegHeader header;
    header.bitRateIndex = 1;
    return CbrFile(seconds == 0 ? 417 : seconds * 4000u, header);
}

// A table, settings and scripted prompts in a temporary folder.
class LoadingTest : public ::testing::Test {
  protected:
    std::string Song(std::string_view name, unsigned seconds = 0) {
        return dir.Write(name, SongBytes(seconds));
    }
    std::string Junk(std::string_view name) { return dir.Write(name, std::string(600, 'x')); }
    std::string Folder(std::string_view name) {
        std::filesystem::create_directories(dir.path() / name);
        return dir.File(name);
    }
    // Fills the table to count songs with one small file.
    void FillTable(int count) {
        const std::string filler = dir.Write("filler.mp3", SongBytes(0));
        while (table.songCount() < count) ASSERT_EQ(AddSongFile(table, filler), ScanResult::ScanOk);
    }
    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> texts;
        for (const auto& m : prompts.messages) texts.push_back(m.text);
        return texts;
    }
    ScriptedPrompts::Message Msg(std::string_view text, std::string_view caption,
                                 MessageIcon icon) const {
        return {std::string(text), CpText(caption), icon, MessageButtons::Ok};
    }
    ScriptedPrompts::Message Full() const {
        return Msg(CpText("999曲までしか読み込めません"), "エラー", MessageIcon::Information);
    }
    ScriptedPrompts::Message Reached() const {
        return Msg(CpText("総曲数が999曲に達しました、読み込みを終了します"), "確認",
                   MessageIcon::Information);
    }
    ScriptedPrompts::Message Failures(std::string_view list) const {
        return Msg(CpText("読み込めなかったファイルがあります") + std::string(list), "エラー",
                   MessageIcon::Warning);
    }
    std::string Base() const { return dir.path().string() + "/"; }

    TempDir dir;
    SongTable table{PathStyle::Posix};
    Settings settings;
    ScriptedPrompts prompts;
    LoadContext context{table, settings, prompts};
};

}  // namespace sorrelbox::test
