#include "ui/player/QtMediaDevice.h"

#include <QFileInfo>
#include <QUrl>
#include <algorithm>

#include "ui/main/QtText.h"

#ifdef SORRELBOX_HAVE_MULTIMEDIA
#include <QAudioDevice>
#include <QAudioOutput>
#include <QMediaDevices>
#include <QMediaPlayer>
#endif

namespace sorrelbox {

#ifdef SORRELBOX_HAVE_MULTIMEDIA

namespace {

std::uint32_t Milliseconds(qint64 ms) {
    return static_cast<std::uint32_t>(std::clamp<qint64>(ms, 0, 0xFFFFFFFF));
}

}  // namespace

struct QtMediaDevice::Backend {
    QAudioOutput output;
    QMediaPlayer player;

    explicit Backend(const QAudioDevice& device) : output(device) {
        player.setAudioOutput(&output);
    }
};

QtMediaDevice::QtMediaDevice() = default;

QtMediaDevice::~QtMediaDevice() {
    Close(alias_);
}

bool QtMediaDevice::Open(std::string_view path, std::string_view alias) {
    if (!alias_.empty() || alias.empty()) return false;
    const QString file = PathToQString(path);
    const QFileInfo info(file);
    if (!info.isFile() || !info.isReadable()) return false;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return false;

    auto backend = std::make_unique<Backend>(device);
    if (!backend->player.isAvailable()) return false;
    backend->player.setSource(QUrl::fromLocalFile(file));
    if (backend->player.error() != QMediaPlayer::NoError) return false;
    alias_ = std::string(alias);
    open_ = std::move(backend);
    return true;
}

void QtMediaDevice::SetTimeFormatMs(std::string_view) {
    // Qt counts in milliseconds already.
}

void QtMediaDevice::PlayFrom(std::string_view alias, std::uint32_t ms) {
    if (alias != alias_ || !open_) return;
    // The position is set once playing: back ends differ in whether a stopped player keeps a
    // position set before it starts.
    open_->player.play();
    if (ms != 0) open_->player.setPosition(static_cast<qint64>(ms));
}

void QtMediaDevice::Pause(std::string_view alias) {
    if (alias == alias_ && open_) open_->player.pause();
}

void QtMediaDevice::Resume(std::string_view alias) {
    if (alias != alias_ || !open_) return;
    if (open_->player.playbackState() == QMediaPlayer::PausedState) open_->player.play();
}

void QtMediaDevice::Stop(std::string_view alias) {
    if (alias == alias_ && open_) open_->player.stop();
}

void QtMediaDevice::Close(std::string_view alias) {
    if (alias != alias_ || !open_) return;
    open_->player.stop();
    open_.reset();
    alias_.clear();
}

std::uint32_t QtMediaDevice::StatusPosition(std::string_view alias) {
    return alias == alias_ && open_ ? Milliseconds(open_->player.position()) : 0;
}

std::uint32_t QtMediaDevice::StatusLength(std::string_view alias) {
    return alias == alias_ && open_ ? Milliseconds(open_->player.duration()) : 0;
}

MediaMode QtMediaDevice::StatusMode(std::string_view alias) {
    if (alias != alias_ || !open_) return MediaMode::None;
    switch (open_->player.playbackState()) {
        case QMediaPlayer::PlayingState:
            return MediaMode::Playing;
        case QMediaPlayer::PausedState:
            return MediaMode::Paused;
        case QMediaPlayer::StoppedState:
            break;
    }
    // Also after an error: a file that does not decode ends at once.
    return MediaMode::Stopped;
}

#else  // Built without Qt Multimedia: nothing can be played.

struct QtMediaDevice::Backend {};

QtMediaDevice::QtMediaDevice() = default;
QtMediaDevice::~QtMediaDevice() = default;
bool QtMediaDevice::Open(std::string_view, std::string_view) {
    return false;
}
void QtMediaDevice::SetTimeFormatMs(std::string_view) {}
void QtMediaDevice::PlayFrom(std::string_view, std::uint32_t) {}
void QtMediaDevice::Pause(std::string_view) {}
void QtMediaDevice::Resume(std::string_view) {}
void QtMediaDevice::Stop(std::string_view) {}
void QtMediaDevice::Close(std::string_view) {}
std::uint32_t QtMediaDevice::StatusPosition(std::string_view) {
    return 0;
}
std::uint32_t QtMediaDevice::StatusLength(std::string_view) {
    return 0;
}
MediaMode QtMediaDevice::StatusMode(std::string_view) {
    return MediaMode::None;
}

#endif

}  // namespace sorrelbox
