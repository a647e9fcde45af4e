// sorrelbox-cli scan reads each file once and shares the bytes between the scan and the title;
// whatever the layout, it must report what the scan and the title reader report on their own.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "analysis/Id3Reader.h"
#include "analysis/SongTable.h"
#include "platform/CodePage.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox::test {
namespace {

std::vector<std::string> ScanLines(const std::vector<std::string>& paths) {
    std::string command =
        "SORRELBOX_CODEPAGE=UTF-8 timeout 60 '" + std::string(SORRELBOX_CLI_PATH) + "' scan";
    for (const std::string& path : paths) command += " '" + path + "'";
    std::vector<std::string> lines;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return lines;
    char buffer[65536];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        std::string line(buffer);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        lines.push_back(line);
    }
    ::pclose(pipe);
    return lines;
}

std::string Field(const std::string& key, const std::string& value) {
    return "\"" + key + "\":" + value;
}

Bytes TagOf(std::size_t fillerBytes, std::string_view title) {
    Id3v2Tag tag;
    tag.frames = {TextFrame("TXXX", std::string(fillerBytes, 'f')), TextFrame("TIT2", title)};
    return tag.Build();
}

TEST(ScanCommandAgreement, EveryLayoutReportsWhatTheReadersReport) {
    const ScopedCodePage utf8(CodePage(CodePage::Kind::Utf8));
    TempDir dir;
    XingHeader xing;
    xing.frames = 5000;
    Id3v1Tag v1;
    v1.title = "Only v1";
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const std::vector<Case> cases = {
        // The tag ends inside the first block; the window runs past it.
        {"small-tag.mp3", Mp3Builder().Raw(TagOf(100, "Small")).Frame().FillTo(9000).Build()},
        // The whole file is shorter than one block.
        {"short.mp3", Mp3Builder().Raw(TagOf(10, "Short")).Frame({}, xing).Build()},
        // The first frame starts in the first block, its Xing bytes lie beyond it.
        {"xing-across.mp3",
         Mp3Builder().Raw(TagOf(4045, "Across")).Frame({}, xing).FillTo(12000).Build()},
        // A tag much larger than the first block.
        {"big-tag.mp3", Mp3Builder().Raw(TagOf(20000, "Big")).Frame().FillTo(40000).Build()},
        // A tag larger than the file.
        {"tag-past-end.mp3", Mp3Builder().Raw("ID3\x03\x00\x00\x00\x01\x00\x00").Frame().Build()},
        // Only an ID3v1 tag, in a file of one block.
        {"v1.mp3", Mp3Builder().Frame().FillToBeforeId3v1(4098).Id3v1(v1).Build()},
        // Nothing but the ID3v1 tag.
        {"v1-only.mp3", Mp3Builder().Id3v1(v1).Build()},
        {"empty.mp3", Bytes()},
    };
    std::vector<std::string> paths;
    for (const Case& c : cases) paths.push_back(dir.Write(c.name, c.bytes));

    const std::vector<std::string> lines = ScanLines(paths);
    ASSERT_EQ(lines.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        SongTable table(PathStyle::Posix);
        const ScanResult result = table.ScanMpegFile(paths[i], ScanMode::Add);
        const SongInfo& info = table.info();
        const std::string& line = lines[i];
        EXPECT_NE(line.find(Field("result", std::to_string(static_cast<int>(result)))),
                  std::string::npos)
            << line;
        EXPECT_NE(line.find(Field("seconds", std::to_string(info.seconds))), std::string::npos);
        EXPECT_NE(line.find(Field("id3v2Size", std::to_string(info.id3v2Size))), std::string::npos);
        EXPECT_NE(line.find(Field("bitRate", std::to_string(info.bitRate))), std::string::npos);
        const std::string title = result == ScanResult::ScanOk
                                      ? ReadDisplayTitle(paths[i], info.id3v2Size, PathStyle::Posix)
                                      : std::string();
        EXPECT_NE(line.find(Field("title", "\"" + title + "\"")), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace sorrelbox::test
