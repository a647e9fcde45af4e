#include <gtest/gtest.h>

#include <string>

#include "analysis/Id3Reader.h"
#include "analysis/MpegScan.h"
#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"
#include "tagwrite/Id3v2TestSupport.h"
#include "tagwrite/Id3v2Writer.h"

// Written, then read back by the tag editor's reader: the same values.

namespace sorrelbox {
namespace {

using test::Bytes;
using test::Id3v2Frame;
using test::Id3v2Tag;
using test::RawFrame;

std::uint32_t Id3v2SizeOf(const std::string& path) {
    SongInfo info;
    ScanMpegFile(path, info);
    return info.id3v2Size;
}

struct Values {
    const char* codePage;
    std::array<std::string, kId3v2FieldCount> values;
};

Values AsciiValues() {
    return {"UTF-8",
            {"Title", "Artist", "Album", "1999", "(17)", "Comment", "3/12", "Composer", "Orig",
             "(C) someone", "http://example.com/", "Encoder"}};
}

Values Cp932Values() {
    // 日本語 (with 0x5C as a second byte: ソ), 表示, and so on.
    return {"CP932",
            {"\x93\xFA\x96\x7B\x8C\xEA\x83\x5C", "\x95\x5C\x8E\xA6", "\x83\x41\x83\x8B\x83\x6F",
             "2001", "(3)", "\x83\x52\x83\x81\x83\x93\x83\x67", "7", "\x8D\xEC\x8B\xC8", "\x8C\xB4",
             "\x92\x98\x8D\xEC", "http://x.jp/", "\x95\x84"}};
}

Values Utf8Values() {
    return {"UTF-8",
            {"日本語ソ", "表示 \xF0\x9F\x8E\xB5", "Ålbum", "2002", "", "コメント", "1", "作曲",
             "原", "著作", "http://u/", "符"}};
}

// Every field is rewritten or created, over old tags of both versions whose text frames use
// each encoding, and read back the same; frames not edited come back as they were.
TEST(Id3v2RoundTripTest, WrittenValuesReadBackTheSame) {
    for (const Values& v : {AsciiValues(), Cp932Values(), Utf8Values()}) {
        ScopedCodePage cp(*CodePage::FromName(v.codePage));
        for (std::uint8_t major : {3, 4}) {
            for (int encoding : {-1, 0, 1, 2, 3}) {  // -1: no tag at all
                test::TempDir dir;
                Bytes file;
                if (encoding >= 0) {
                    Id3v2Tag old;
                    old.major = major;
                    for (const char* id :
                         {"TIT2", "TPE1", "TALB", "TRCK", "TCOM", "TOPE", "TCOP", "TENC"}) {
                        old.frames.push_back(
                            test::TextFrame(id, encoding == 1 ? test::Utf16Le("old") : Bytes("old"),
                                            static_cast<std::uint8_t>(encoding)));
                    }
                    old.frames.push_back(RawFrame("APIC", Bytes(3000, '\x5A')));
                    old.frames.push_back(RawFrame("COMM", test::CommBody(0, "eng", "d", "old")));
                    old.padding = 100;
                    file = old.Build();
                }
                const std::size_t tagBytes = file.size();
                file += test::CbrFile(20000);
                const std::string path = dir.Write("a.mp3", file);
                ScriptedPrompts prompts;
                WriterEnv env{.backup = 0, .kanryoumes = 1, .backupPath = "", .prompts = prompts};
                Id3v2Edit edit;
                edit.songPath = path;
                edit.oldTagLength = static_cast<std::uint32_t>(tagBytes);
                edit.values = v.values;
                std::uint16_t mask = kId3v2AllFields;
                ASSERT_FALSE(WriteId3v2Tag(edit, mask, env)) << prompts.messages.size();
                EXPECT_EQ(mask, 0);

                const auto read = ReadSongTags(path, Id3v2SizeOf(path));
                ASSERT_TRUE(read);
                const std::string where = std::string(v.codePage) + " v2." + std::to_string(major) +
                                          " enc " + std::to_string(encoding);
                const std::uint8_t version = encoding < 0 ? 3 : major;
                EXPECT_EQ(read->v2.tagVersion, version) << where;
                EXPECT_FALSE(read->v2.cutShort) << where;
                for (int type = 1; type <= kFieldTypes; ++type) {
                    const FrameRecord& f = read->v2.field(type);
                    if (type == kGenre) {
                        const auto code = GenreCodeOf(v.values[kGenre - 1]);
                        EXPECT_EQ(read->v2.oldGenreCode, code.value_or(kNoGenreCode)) << where;
                        continue;
                    }
                    EXPECT_TRUE(f.present) << where << " type " << type;
                    EXPECT_EQ(f.value, v.values[static_cast<std::size_t>(type - 1)])
                        << where << " type " << type;
                }
                if (encoding >= 0) {
                    EXPECT_NE(test::ReadAll(path).find(std::string(3000, '\x5A')),
                              std::string::npos);
                    EXPECT_EQ(read->v2.field(kComment).language, "eng");
                }
            }
        }
    }
}

}  // namespace
}  // namespace sorrelbox
