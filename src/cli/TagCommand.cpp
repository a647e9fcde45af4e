#include <array>
#include <charconv>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "Commands.h"
#include "Json.h"
#include "SourceLoading.h"
#include "analysis/SongTable.h"
#include "platform/FileOps.h"
#include "platform/ScriptedPrompts.h"
#include "settings/Settings.h"
#include "tagwrite/RenameSong.h"
#include "editor/TagEditor.h"
#include "editor/TagUpdate.h"

namespace sorrelbox::cli {
namespace {

constexpr const char* kTagUsage =
    "usage: sorrelbox-cli tag show FILE\n"
    "       sorrelbox-cli tag set FILE [--v1 KEY=VALUE]... [--v2 KEY=VALUE]... [--no-v1] "
    "[--no-v2] [--name TEXT]\n"
    "  v1 keys: title artist album year comment track genre\n"
    "  v2 keys: title artist album year comment track composer origArtist copyright url\n"
    "           encodedBy genre\n"
    "  genre: a decimal genre code, empty for the empty choice\n";

// The ID3v2 fields by their JSON and command-line names, in fieldMask order.
constexpr std::array<const char*, kId3v2FieldCount> kV2Keys = {
    "title", "artist",   "album",      "year",      "genre", "comment",
    "track", "composer", "origArtist", "copyright", "url",   "encodedBy",
};

int Usage(std::ostream& err, std::string_view problem = {}) {
    if (!problem.empty()) err << "sorrelbox-cli tag: " << problem << "\n";
    err << kTagUsage;
    return 2;
}

// Everything the editor needs around it, as the program has it after start-up with the
// current folder as its start-up folder.
struct Session {
    StartupInfo startup;
    Settings settings;
    ScriptedPrompts prompts;
    SongTable table;
    std::string path;
    ScanResult scan = ScanResult::ScanOk;
};

std::optional<std::string> CodePageArgument(const std::string& argument) {
    return FromNativePath(argument);
}

bool OpenSession(Session& session, const std::string& fileArgument, std::ostream& err) {
    const auto cwd = CurrentDirectory();
    if (!cwd) {
        err << "sorrelbox-cli: cannot read the current folder\n";
        return false;
    }
    const auto path = CodePageArgument(fileArgument);
    if (!path || path->empty()) {
        err << "sorrelbox-cli: cannot use this path in the code page " << ActiveCodePage().name()
            << ": " << fileArgument << "\n";
        return false;
    }
    session.path = *path;
    session.startup = MakeStartupInfo(*cwd);
    session.settings = LoadSettings(session.startup.iniPath);
    session.prompts.onMessage = [&err](const ScriptedPrompts::Message& message) {
        err << MessageLine(message.caption, message.text) << "\n";
    };
    // The song as the main window holds it: in the table, selected, its scan in SongInfo.
    session.scan = session.table.ScanMpegFile(session.path, ScanMode::Quiet);
    session.table.AppendEntry(session.path,
                              SongListEntry(session.table.info().seconds,
                                            FileNameOf(session.path, session.table.style())));
    return true;
}

TagEditor OpenEditor(Session& session) {
    TagEditor editor(EditorMode::Single, session.path);
    editor.LoadLists(StartupFile(session.startup, "genre.txt"),
                     StartupFile(session.startup, "artist.txt"), session.settings.kuuran);
    return editor;
}

JsonObject V1Json(const TagEditor& editor) {
    const Id3v1Values& v = editor.v1.values;
    JsonObject o;
    o.AddString("title", v.title)
        .AddString("artist", v.artist)
        .AddString("album", v.album)
        .AddString("year", v.year)
        .AddString("comment", v.comment)
        .AddInt("track", v.track)
        .AddUnsigned("genre", editor.v1.stored().genre);
    return o;
}

JsonObject V2Json(const TagEditor& editor) {
    const Id3v2Values& v = editor.v2.values;
    const Id3v2Record& r = editor.v2.record;
    JsonObject o;
    o.AddInt("version", r.tagVersion);
    for (std::size_t i = 0; i < kId3v2FieldCount; ++i) {
        if (static_cast<V2Field>(i) == V2Field::Genre) continue;
        o.AddString(kV2Keys[i], v.texts[i]);
    }
    if (r.genreCodeRead) {
        o.AddUnsigned("genre", r.oldGenreCode);
    } else {
        o.AddNull("genre");
    }
    // The fields kept locked because the code page cannot hold their text.
    std::vector<std::string> utf16;
    for (std::size_t i = 0; i < kId3v2FieldCount; ++i) {
        if (r.lockedFlags & (1u << i)) utf16.emplace_back(kV2Keys[i]);
    }
    o.AddStringArray("utf16", utf16);
    return o;
}

int RunShow(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 1) return Usage(err);
    Session session;
    if (!OpenSession(session, args[0], err)) return 1;
    TagEditor editor = OpenEditor(session);
    const bool read =
        editor.LoadSong(session.table.info().id3v2Size, session.prompts, session.table.style());
    JsonObject line;
    line.AddString("path", session.path)
        .AddInt("result", static_cast<int>(session.scan))
        .AddUnsigned("id3v2Size", session.table.info().id3v2Size);
    if (read && editor.hasId3v1) {
        line.AddObject("v1", V1Json(editor));
    } else {
        line.AddNull("v1");
    }
    if (read && editor.hasId3v2) {
        line.AddObject("v2", V2Json(editor));
    } else {
        line.AddNull("v2");
    }
    line.AddBool("v2Unsupported", editor.isId3v22);
    WriteJsonLine(out, line);
    out.flush();
    return read ? 0 : 1;
}

// What `tag set` was asked to type into the pages.
struct SetRequest {
    std::string file;
    std::vector<std::pair<std::string, std::string>> v1;
    std::vector<std::pair<std::string, std::string>> v2;
    bool noV1 = false;
    bool noV2 = false;
    std::optional<std::string> name;
};

bool IsV1Key(std::string_view key) {
    for (const char* k : {"title", "artist", "album", "year", "comment", "track", "genre"}) {
        if (key == k) return true;
    }
    return false;
}

std::optional<std::size_t> V2Index(std::string_view key) {
    for (std::size_t i = 0; i < kV2Keys.size(); ++i) {
        if (key == kV2Keys[i]) return i;
    }
    return std::nullopt;
}

// A genre argument: kEmptyChoice for "", else a decimal code 0-255; nullopt when invalid.
constexpr int kEmptyChoice = -1;
std::optional<int> ParseGenreArgument(std::string_view text) {
    if (text.empty()) return kEmptyChoice;
    unsigned code = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), code);
    if (ec != std::errc() || end != text.data() + text.size() || code > 255) return std::nullopt;
    return static_cast<int>(code);
}

// The genre box line for a code: the first line with it, or line 0 for the empty choice.
std::optional<int> GenreLine(const GenreList& genres, int code) {
    if (code == kEmptyChoice) {
        return genres.names().empty() ? std::nullopt : std::optional<int>(0);
    }
    return genres.FirstLineWithCode(static_cast<std::uint8_t>(code));
}

std::optional<std::string> ParseSet(const std::vector<std::string>& args, SetRequest& request,
                                    std::string& problem) {
    std::vector<std::string> operands;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--v1" || arg == "--v2" || arg == "--name") {
            if (i + 1 >= args.size()) {
                problem = arg + " needs a value";
                return std::nullopt;
            }
            const auto value = CodePageArgument(args[++i]);
            if (!value) {
                problem = "a value cannot be held in the code page " +
                          std::string(ActiveCodePage().name()) + ": " + args[i];
                return std::nullopt;
            }
            if (arg == "--name") {
                request.name = *value;
                continue;
            }
            const std::size_t eq = value->find('=');
            if (eq == std::string::npos) {
                problem = arg + " takes KEY=VALUE: " + args[i];
                return std::nullopt;
            }
            std::string key = value->substr(0, eq);
            std::string text = value->substr(eq + 1);
            const bool known = arg == "--v1" ? IsV1Key(key) : V2Index(key).has_value();
            if (!known) {
                problem = "unknown " + arg.substr(2) + " key: " + key;
                return std::nullopt;
            }
            if (key == "genre" && !ParseGenreArgument(text)) {
                problem = "genre takes a decimal code 0-255 or nothing: " + text;
                return std::nullopt;
            }
            if (arg == "--v1" && key == "track" && !Id3v1Page::ParseTrack(text)) {
                problem = "the ID3v1 track is a whole number from -32768 to 32767: " + text;
                return std::nullopt;
            }
            (arg == "--v1" ? request.v1 : request.v2).emplace_back(std::move(key), std::move(text));
        } else if (arg == "--no-v1") {
            request.noV1 = true;
        } else if (arg == "--no-v2") {
            request.noV2 = true;
        } else if (arg == "--") {
            operands.insert(operands.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                            args.end());
            break;
        } else if (arg.starts_with("--")) {
            problem = "unknown option: " + arg;
            return std::nullopt;
        } else {
            operands.push_back(arg);
        }
    }
    if (operands.size() != 1) {
        problem = "tag set takes one FILE";
        return std::nullopt;
    }
    return operands.front();
}

// Types the request into the pages. A problem (a genre the list has no line for, a field the
// page keeps locked) is a usage error: nothing has been written yet.
bool TypeIntoPages(const SetRequest& request, TagEditor& editor, std::string& problem) {
    for (const auto& [key, text] : request.v1) {
        Id3v1Values& v = editor.v1.values;
        if (key == "title") v.title = text;
        if (key == "artist") v.artist = text;
        if (key == "album") v.album = text;
        if (key == "year") v.year = text;
        if (key == "comment") v.comment = text;
        if (key == "track") v.track = *Id3v1Page::ParseTrack(text);
        if (key == "genre") {
            const auto line = GenreLine(editor.genres, *ParseGenreArgument(text));
            if (!line) {
                problem = "no line of genre.txt has the genre code " + text;
                return false;
            }
            v.genreLine = *line;
        }
    }
    for (const auto& [key, text] : request.v2) {
        const auto field = static_cast<V2Field>(*V2Index(key));
        if (editor.v2.FieldLocked(field)) {
            problem = "the ID3v2 " + key + " frame is not in the code page and cannot be edited";
            return false;
        }
        if (field == V2Field::Genre) {
            const auto line = GenreLine(editor.genres, *ParseGenreArgument(text));
            if (!line) {
                problem = "no line of genre.txt has the genre code " + text;
                return false;
            }
            editor.v2.values.genreLine = *line;
        } else {
            editor.v2.values[field] = text;
        }
    }
    editor.v1.hasBox = (editor.hasId3v1 || !request.v1.empty()) && !request.noV1;
    editor.v2.hasBox = (editor.hasId3v2 || !request.v2.empty()) && !request.noV2;
    // Without --name the field holds nothing to change: the file keeps its name whatever
    // its extension's spelling.
    editor.fileNameText = request.name.value_or(std::string());
    return true;
}

int RunSet(const std::vector<std::string>& args, std::ostream& err) {
    SetRequest request;
    std::string problem;
    const auto file = ParseSet(args, request, problem);
    if (!file) return Usage(err, problem);
    Session session;
    if (!OpenSession(session, *file, err)) return 1;
    // The editor only ever opens on a song of the list, and the list takes only files whose
    // scan succeeds: anything else is not written to.
    if (session.scan != ScanResult::ScanOk) {
        err << "sorrelbox-cli tag: not an MP3 file the song list would take (scan result "
            << static_cast<int>(session.scan) << "): " << *file << "\n";
        return 1;
    }
    TagEditor editor = OpenEditor(session);
    if (!editor.LoadSong(session.table.info().id3v2Size, session.prompts, session.table.style())) {
        return 1;
    }
    if (!TypeIntoPages(request, editor, problem)) return Usage(err, problem);

    UpdateEnv env{session.table,    0,
                  session.settings, StartupFile(session.startup, "backup.mp3"),
                  session.prompts,  session.table.style()};
    const UpdateOutcome outcome = RunTagUpdate(editor, env);
    const bool v2Refused = outcome.id3v2 == StepOutcome::Refused && editor.v2.hasBox;
    const bool failed =
        outcome.id3v2 == StepOutcome::Failed || v2Refused || outcome.id3v1 == StepOutcome::Failed ||
        outcome.rename == StepOutcome::Failed || outcome.rename == StepOutcome::Refused;
    return failed ? 1 : 0;
}

}  // namespace

int RunTag(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) return Usage(err);
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "show") return RunShow(rest, out, err);
    if (args[0] == "set") return RunSet(rest, err);
    if (args[0] == "--help" || args[0] == "-h") {
        out << kTagUsage;
        return 0;
    }
    return Usage(err, "unknown tag command: " + args[0]);
}

}  // namespace sorrelbox::cli
