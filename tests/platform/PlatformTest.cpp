#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/CodePage.h"
#include "platform/FileReplacer.h"
#include "platform/PathStyle.h"
#include "platform/ProfileFile.h"
#include "platform/SafeFile.h"
#include "support/TempDir.h"

namespace sorrelbox {
namespace {

namespace fs = std::filesystem;
using S = std::string;
const CodePage kSjis(CodePage::Kind::Cp932), kUtf8(CodePage::Kind::Utf8);
const S kSo = "\x83\x5C", kHyou = "\x95\x5C", kR = "\xEF\xBF\xBD";  // ソ 表: trail byte '\'
const S kSoUtf8 = "\xE3\x82\xBD";

// Several results as one line to compare, "a b c ", in the order given.
struct Str : S {
    template <class... T>
    explicit Str(const T&... v) {
        std::ostringstream out;
        ((out << v << ' '), ...);
        assign(out.str());
    }
    friend void PrintTo(const Str& s, std::ostream* out) { *out << testing::PrintToString(S(s)); }
};
std::span<const std::uint8_t> AsBytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}
S ModeOf(const S& path) {
    std::ostringstream out;
    out << std::oct << int(fs::status(path).permissions());
    return out.str();
}
// The folder's files "a" and "b" ("-" for none), a's mode, whether b is a link, the entries.
S Describe(const test::TempDir& dir, bool mode = true) {
    auto text = [&](const char* n) {
        return fs::is_regular_file(dir.File(n)) ? test::ReadAll(dir.File(n)) : S("-");
    };
    return (Str{text("a"), text("b"), fs::is_symlink(dir.File("b")),
                std::distance(fs::directory_iterator(dir.path()), {})}) +
           (mode && fs::is_regular_file(dir.File("a")) ? ModeOf(dir.File("a")) + " " : "");
}
// "new" through either front: FileReplacer (outputs, INI) or SafeFile (tag writes).
bool Replace(bool safe, const S& path) {
    if (safe) {
        auto file = SafeFile::Begin(path);
        return file && file->Write(AsBytes("new")) && file->Commit();
    }
    auto file = FileReplacer::Create(path);
    return file && file->Write("new") && file->Commit();
}

TEST(SafeFileTest, EachPolicyReplacesWhatItMayAndKeepsModesAndLinks) {
    enum Kind { Plain, Missing, Link, TwoNames };
    // Replaced?, then Describe, per policy. An output is written through both hard links; a tag
    // write replaces the one named.
    const std::tuple<Kind, const char*, const char*> rows[] = {
        {Plain, "1 new - 0 1 604 ", "1 new - 0 1 604 "},
        {Missing, "1 new - 0 1 ", "0 - - 0 0 "},
        {Link, "1 new new 1 2 604 ", "1 new new 1 2 604 "},
        {TwoNames, "1 new new 0 2 604 ", "1 old new 0 2 604 "}};
    for (const auto& [kind, replacer, safe] : rows) {
        for (const bool isSafe : {false, true}) {
            test::TempDir dir;
            S path = dir.File("a");
            if (kind != Missing) ::chmod(dir.Write("a", "old").c_str(), 0604);
            if (kind == Link) fs::create_symlink(path, dir.path() / "b");
            if (kind == TwoNames) fs::create_hard_link(path, dir.path() / "b");
            if (kind >= Link) path = dir.File("b");
            const bool replaced = Replace(isSafe, path);
            EXPECT_EQ((Str{replaced}) + Describe(dir, kind != Missing), isSafe ? safe : replacer)
                << kind;
        }
    }
}

TEST(SafeFileTest, ReplacesWholeOnCommitAndNothingOtherwise) {
    test::TempDir dir;
    const S path = dir.Write("a", "old");
    auto in = ReadFile::Open(dir.Write("b", "0123456789"));
    ASSERT_TRUE(in);
    {
        auto file = SafeFile::Begin(path);
        ASSERT_TRUE(file && file->Write(AsBytes("new ")) && file->CopyFrom(*in, 2, 5));
        auto other = FileReplacer::Create(dir.File("b"));
        ASSERT_TRUE(other && other->Write("never committed"));
        EXPECT_EQ(test::ReadAll(path), "old");
    }                                   // both abandoned
    auto file = SafeFile::Begin(path);  // the source ends early: nothing more goes
    ASSERT_TRUE(file);
    EXPECT_EQ((Str{file->CopyFrom(*in, 8, 10), file->Write(AsBytes("x")), file->Commit()}),
              "0 0 0 ");
    EXPECT_EQ(Describe(dir, false), "old 0123456789 0 2 ");
    auto good = SafeFile::Begin(path);
    ASSERT_TRUE(good);
    EXPECT_EQ((Str{good->Write(AsBytes("new ")) && good->CopyFrom(*in, 2, 5), good->Commit(),
                   good->Commit(), test::ReadAll(path)}),
              "1 1 0 new 23456 ");
    ScopedCodePage sjis{kSjis};  // a Shift-JIS path names the UTF-8 file
    dir.Write(kSoUtf8, "old");
    const S bad = dir.File("\x85\x40");  // no Shift-JIS
    EXPECT_EQ((Str{Replace(true, dir.File(kSo)), Replace(true, ""), int(RenameNoReplace(bad, path)),
                   int(RenameNoReplace(path, bad)), CopyFileReplacing(path, bad),
                   int(RenameNoReplace(path, dir.File("b")))}),
              "1 0 2 2 0 1 ");  // a rename never replaces
    EXPECT_EQ(Describe(dir, false) + test::ReadAll(dir.File(kSoUtf8)),
              "new 23456 0123456789 0 3 new");
    const S bytes = S(1 << 20, 'x') + S(1 << 20, 'y') + S(1 << 20, 'z');  // copied whole
    ::chmod(dir.Write("b", bytes).c_str(), 0640);
    EXPECT_EQ(
        (Str{CopyFileReplacing(dir.File("b"), path), test::ReadAll(path) == bytes, ModeOf(path)}),
        "1 1 640 ");
    // From another file system the copy cannot share blocks: it reads and writes.
    if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no second file system at hand";
    const S source = "/dev/shm/sorrelbox-" + std::to_string(::getpid());
    std::ofstream(source, std::ios::binary) << bytes;
    auto far = ReadFile::Open(source);
    auto copy = SafeFile::Begin(path);
    ASSERT_TRUE(far && copy && copy->CopyFrom(*far, 5, bytes.size() - 5) && copy->Commit());
    fs::remove(source);
    EXPECT_EQ(test::ReadAll(path), bytes.substr(5));
}

TEST(FileOpsTest, OpensOnlyRegularFilesNeverBlocksAndMapsShiftJisNames) {
    test::TempDir dir;
    const S a = dir.Write("a", "hello");
    ASSERT_EQ(::mkfifo(dir.File("p").c_str(), 0600), 0);  // would hang if opened blocking
    for (const S& path : {dir.path().string(), dir.File("p"), dir.File("no"), S(), S("/dev/null")})
        EXPECT_FALSE(ReadFile::Open(path)) << path;
    const int input = ::dup(0);
    ::close(0);  // with no input open, a file gets descriptor 0
    EXPECT_TRUE(ReadFile::Open(a));
    auto out = WriteFile::Create(a);
    EXPECT_TRUE(out && out->Write("new") && out->Close());
    ::dup2(input, 0);
    ::close(input);
    ScopedCodePage sjis{kSjis};
    fs::remove(dir.File("p"));
    fs::rename(a, dir.File(kSoUtf8));
    EXPECT_EQ(ListDirectory(dir.path().string()), std::vector<S>{kSo});
}

TEST(PathStyleTest, SplitsPathsInBothStyles) {
    const auto W = PathStyle::Windows, P = PathStyle::Posix;
    const std::tuple<PathStyle, S, S> rows[] = {
        // {path, file name, folder, folder with separator, drive, absolute}
        {W, "C:\\" + kSo + "\\x", "x C:\\" + kSo + " C:\\" + kSo + "\\ C: 1 "},
        {W, "C:\\" + kHyou, kHyou + " C: C:\\ C: 1 "},
        {W, "\\a", "a  \\ \\a 1 "},
        {W, "s\\a", "a s s\\ s\\ 0 "},
        {P, "/music/t.mp3", "t.mp3 /music /music/  1 "},
        {P, "a\\b", "a\\b    0 "}};
    for (const auto& [style, path, expected] : rows)
        EXPECT_EQ((Str{FileNameOf(path, style, kSjis), FolderOf(path, style, kSjis),
                       FolderWithSeparator(path, style, kSjis), DriveOf(path, style),
                       IsAbsolutePath(path, style)}),
                  expected);
}

TEST(CodePageTest, FindsCharactersAndTheirBoundaries) {
    const S path = "C:\\" + kSo + "\\" + kHyou + ".mp3", utf8 = "\xE3/\xE3\x82/\xC3\xA9";
    const auto npos = S::npos;  // a trail byte or an invalid one never hides a separator
    EXPECT_EQ((std::vector{kSjis.FindChar(path, '\\'), kSjis.FindChar(path, '\\', 3),
                           kSjis.FindLastChar(path, '\\'), kSjis.FindToken(path, "\\.mp3"),
                           kSjis.FindToken(path, ".mp3"), kUtf8.FindChar(utf8, '/', 2),
                           kUtf8.FindLastChar(utf8, '/'), kUtf8.FindLastChar("\xC3\xA9", '/')}),
              (std::vector<std::size_t>{2, 5, 5, npos, 8, 4, 4, npos}));
    // {code page, text, "characters, cut at 1, 2, 3, 4, 6, 7 and 100 bytes"}
    const std::tuple<const CodePage*, S, S> rows[] = {
        {&kSjis, "a" + kSo + kHyou + "b", "4 1 1 3 3 6 6 6 "},
        {&kUtf8, "a" + kSoUtf8 + "\xE8\xA1\xA8" + "b", "4 1 1 1 4 4 7 8 "},
        {&kUtf8, "\xFF\xFE", "2 1 2 2 2 2 2 2 "}};
    for (const auto& [cp, text, expected] : rows) {
        S got = (Str{cp->CountChars(text)});
        for (std::size_t max : {1, 2, 3, 4, 6, 7, 100})
            got += (Str{cp->CutAtCharBoundary(text, max)});
        EXPECT_EQ(got, expected) << cp->name() << " " << text;
    }
}

TEST(CodePageTest, ConvertsAndReplacesBadInput) {
    const S utf8 = "A" + kSoUtf8 + "\xE8\xA1\xA8\xEF\xBC\x9A",
            sjis = "A" + kSo + kHyou + "\x81\x46";
    EXPECT_EQ((Str{kSjis.FromUtf8(utf8), kSjis.ToUtf8(sjis), kSjis.FromUtf16(u"Aソ表："),
                   kUtf8.FromUtf16(u"Aソ表：")}),
              (Str{sjis, utf8, sjis, utf8}));
    EXPECT_EQ(kSjis.ToUtf16(sjis) + kUtf8.ToUtf16(utf8), u"Aソ表：Aソ表：");
    EXPECT_EQ(kSjis.ToUtf8("a\x85\x40z"), "a" + kR + "@z");
    EXPECT_EQ(kSjis.FromUtf16(u"a\u00E9\U0001F600b"), "a??b");  // what Shift-JIS cannot hold
    EXPECT_EQ(kUtf8.FromUtf16(std::u16string(u"a") + char16_t(0xD800) + u"b"), "a" + kR + "b");
    // Valid UTF-8 is kept (U+E9, U+10000, U+10FFFF); invalid becomes one replacement per byte.
    const S kept = "\xC3\xA9\xF0\x90\x80\x80\xF4\x8F\xBF\xBF";
    const std::pair<S, S> rows[] = {{kept, kept},
                                    {"a\xC0\x80z", "a" + kR + kR + "z"},  // overlong
                                    {"\xE0\x80\x80", kR + kR + kR},       // overlong
                                    {"\xED\xA0\x80", kR + kR + kR},
                                    {"x\xE3\x82", "x" + kR + kR},            // surrogate, cut
                                    {"\xF5\x80/\x80", kR + kR + "/" + kR}};  // past U+10FFFF, stray
    for (const auto& [in, out] : rows)
        EXPECT_EQ((Str{kUtf8.ToUtf8(in), kUtf8.FromUtf8(in), kUtf8.FromUtf16(kUtf8.ToUtf16(in))}),
                  (Str{out, out, out}));
}

TEST(ProfileFileTest, ReadsHandEditedValuesAndChangesOnlyOneLine) {
    const ProfileFile profile = ProfileFile::FromText(
        "; settings\nkanryoumes=1\n[Main]\n  Soutai = 10abc  \nneg=-5\nplus=+7\nnone=abc\nempty=\n"
        "quoted=\"3\"\nbig=4294967297\nbare\nsoutai=9\n[tag\nbroken=1\n[ tag ]\r\nbackup=0\r\n");
    S got;
    for (const char* key : {"soutai", "SOUTAI", "neg", "plus", "none", "empty", "quoted", "big",
                            "bare", "missing", "kanryoumes", "broken"})
        got += (Str{profile.GetInt(key[0] == 'S' ? "MAIN" : "main", key, 42)});
    for (const char* key : {"backup", "soutai", "broken"})
        got += (Str{profile.GetInt("tag", key, 42)});
    EXPECT_EQ(got + (Str{profile.GetInt("x", "backup", 42)}),
              "10 10 0 7 0 0 3 1 0 42 42 1 0 42 42 42 ");
    ProfileFile edited = ProfileFile::FromText("\xEF\xBB\xBF[main]\na=1\n\n[tag]\n");
    edited.SetString("main", "soutai", "1");  // after the section's last key
    EXPECT_EQ(edited.ToText() + (Str{edited.GetInt("main", "soutai", 7)}),
              "\xEF\xBB\xBF[main]\r\na=1\r\nsoutai=1\r\n\r\n[tag]\r\n1 ");
    EXPECT_FALSE(ProfileFile::FromText("[main]").Save("/dev/full"));  // a write that fails
}

}  // namespace
}  // namespace sorrelbox
