#include "support/RecordingMediaDevice.h"

#include <utility>

namespace sorrelbox {
namespace {

std::string Command(std::string_view verb, std::string_view alias, std::string_view rest = {}) {
    std::string text(verb);
    text += ' ';
    text += alias;
    if (!rest.empty()) {
        text += ' ';
        text += rest;
    }
    return text;
}

}  // namespace

bool RecordingMediaDevice::Open(std::string_view path, std::string_view alias) {
    std::string text = "open \"";
    text += path;
    text += "\" type mpegvideo alias ";
    text += alias;
    commands.push_back(std::move(text));
    // An alias in use cannot be opened again until it is closed.
    if (!devicePresent || !openAlias.empty() || alias.empty() ||
        unplayable.count(std::string(path)) != 0) {
        return false;
    }
    openAlias = std::string(alias);
    openPath = std::string(path);
    mode = MediaMode::Stopped;
    positionMs = 0;
    return true;
}

void RecordingMediaDevice::SetTimeFormatMs(std::string_view alias) {
    commands.push_back(Command("set", alias, "time format ms"));
}

void RecordingMediaDevice::PlayFrom(std::string_view alias, std::uint32_t ms) {
    commands.push_back(Command("play", alias, "from " + std::to_string(ms)));
    if (!IsOpenAs(alias)) return;
    mode = MediaMode::Playing;
    positionMs = ms;
}

void RecordingMediaDevice::Pause(std::string_view alias) {
    commands.push_back(Command("pause", alias));
    if (IsOpenAs(alias) && mode == MediaMode::Playing) mode = MediaMode::Paused;
}

void RecordingMediaDevice::Resume(std::string_view alias) {
    commands.push_back(Command("resume", alias));
    if (IsOpenAs(alias) && mode == MediaMode::Paused) mode = MediaMode::Playing;
}

void RecordingMediaDevice::Stop(std::string_view alias) {
    commands.push_back(Command("stop", alias));
    if (IsOpenAs(alias)) mode = MediaMode::Stopped;
}

void RecordingMediaDevice::Close(std::string_view alias) {
    commands.push_back(Command("close", alias));
    if (!IsOpenAs(alias)) return;
    openAlias.clear();
    openPath.clear();
    mode = MediaMode::None;
}

std::uint32_t RecordingMediaDevice::StatusPosition(std::string_view alias) {
    commands.push_back(Command("status", alias, "position"));
    return IsOpenAs(alias) ? positionMs : 0;
}

std::uint32_t RecordingMediaDevice::StatusLength(std::string_view alias) {
    commands.push_back(Command("status", alias, "length"));
    return IsOpenAs(alias) ? lengthMs : 0;
}

MediaMode RecordingMediaDevice::StatusMode(std::string_view alias) {
    commands.push_back(Command("status", alias, "mode"));
    return IsOpenAs(alias) ? mode : MediaMode::None;
}

std::vector<std::string> RecordingMediaDevice::TakeCommands() {
    std::vector<std::string> taken;
    taken.swap(commands);
    return taken;
}

}  // namespace sorrelbox
