#include "ui/player/QtMediaDevice.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSemaphore>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <atomic>

#include "ui/main/QtText.h"

#ifdef SORRELBOX_HAVE_GSTREAMER
#include <gst/gst.h>
#endif

#ifdef SORRELBOX_HAVE_MULTIMEDIA
#include <QAudioDevice>
#include <QAudioOutput>
#include <QMediaDevices>
#include <QMediaPlayer>
#endif

namespace sorrelbox {

#ifdef SORRELBOX_HAVE_MULTIMEDIA

namespace {

// The first open also starts GStreamer and connects to the sound server. Commands without an
// answer are queued and not waited for; a question waits for them too.
constexpr int kOpenWaitMs = 8000;
constexpr int kQuestionWaitMs = 4000;

std::uint32_t Milliseconds(qint64 ms) {
    return static_cast<std::uint32_t>(std::clamp<qint64>(ms, 0, 0xFFFFFFFF));
}

// Whether Qt's media back end has what it needs here: its GStreamer back end, the default one,
// crashes or waits forever when some GStreamer elements are not installed.
bool BackEndComplete() {
#ifdef SORRELBOX_HAVE_GSTREAMER
    static const bool complete = [] {
        const QByteArray chosen = qgetenv("QT_MEDIA_BACKEND");
        if (!chosen.isEmpty() && chosen != "gstreamer") return true;
        if (!gst_init_check(nullptr, nullptr, nullptr)) return false;
        const auto has = [](const char* name) {
            GstElementFactory* factory = gst_element_factory_find(name);
            if (factory != nullptr) gst_object_unref(factory);
            return factory != nullptr;
        };
        return has("uridecodebin") && has("decodebin") && has("audioconvert") &&
               has("audioresample") && has("volume") && (has("pulsesink") || has("autoaudiosink"));
    }();
    return complete;
#else
    return true;
#endif
}

struct Call {
    QSemaphore answered;
    std::atomic<bool> done = false;
    std::int64_t result = 0;
};

// The command the media thread has not answered in time: the thread is busy until it is done.
std::shared_ptr<Call> unanswered;

QThread* mediaThread = nullptr;

// An object on the media thread, which lives for the whole run: the back end keeps state
// (the sound server's connection) on the thread that first used it.
QObject* MediaThreadContext() {
    static QObject* const context = [] {
        mediaThread = new QThread;
        mediaThread->setObjectName(QStringLiteral("sorrelbox media"));
        auto* object = new QObject;
        object->moveToThread(mediaThread);
        mediaThread->start();
        qAddPostRoutine([] {
            QMetaObject::invokeMethod(MediaThreadContext(), [] {
                delete MediaThreadContext();
                QThread::currentThread()->quit();
            });
            // A thread stuck in the back end is left to the end of the process.
            if (mediaThread->wait(kQuestionWaitMs)) delete mediaThread;
        });
        return object;
    }();
    return context;
}

}  // namespace

struct QtMediaDevice::Backend {
    std::unique_ptr<QAudioOutput> output;
    QMediaPlayer player;
};

QtMediaDevice::QtMediaDevice() : slot_(std::make_shared<Slot>()) {}

QtMediaDevice::~QtMediaDevice() {
    // The Qt objects are destroyed on their thread, without waiting for it.
    QMetaObject::invokeMethod(MediaThreadContext(), [slot = std::move(slot_)] { slot->reset(); });
}

bool QtMediaDevice::BackEndHangs() {
    return unanswered && !unanswered->done;
}

void QtMediaDevice::Tell(std::function<void(Slot&)> work) {
    // Commands queue behind whatever the thread works on, even a question it never answered.
    QMetaObject::invokeMethod(MediaThreadContext(),
                              [slot = slot_, work = std::move(work)] { work(*slot); });
}

std::optional<std::int64_t> QtMediaDevice::Ask(std::function<std::int64_t(Slot&)> work,
                                               int waitMs) {
    if (unanswered && unanswered->done) unanswered.reset();
    // While the thread is stuck on an earlier question, a new one gets no answer.
    if (unanswered) return std::nullopt;
    auto call = std::make_shared<Call>();
    QMetaObject::invokeMethod(MediaThreadContext(), [call, slot = slot_, work = std::move(work)] {
        call->result = work(*slot);
        call->done = true;
        call->answered.release();
    });
    if (call->answered.tryAcquire(1, waitMs)) return call->result;
    unanswered = std::move(call);
    return std::nullopt;
}

bool QtMediaDevice::Open(std::string_view path, std::string_view alias) {
    if (!alias_.empty() || alias.empty()) return false;
    const QString file = PathToQString(path);
    const QFileInfo info(file);
    if (!info.isFile() || !info.isReadable()) return false;
    const auto opened = Ask(
        [file](Slot& slot) -> std::int64_t {
            slot.reset();  // left by an open that answered too late
            if (!BackEndComplete()) return 0;
            const QAudioDevice device = QMediaDevices::defaultAudioOutput();
            if (device.isNull()) return 0;
            auto backend = std::make_unique<Backend>();
            if (!backend->player.isAvailable()) return 0;
            backend->output = std::make_unique<QAudioOutput>(device);
            backend->player.setAudioOutput(backend->output.get());
            backend->player.setSource(QUrl::fromLocalFile(file));
            if (backend->player.error() != QMediaPlayer::NoError) return 0;
            slot = std::move(backend);
            return 1;
        },
        kOpenWaitMs);
    if (opened.value_or(0) == 0) return false;
    alias_ = std::string(alias);
    return true;
}

void QtMediaDevice::SetTimeFormatMs(std::string_view) {
    // Qt counts in milliseconds already.
}

void QtMediaDevice::PlayFrom(std::string_view alias, std::uint32_t ms) {
    if (alias != alias_) return;
    Tell([ms](Slot& slot) {
        if (!slot) return;
        // The position is set once playing: back ends differ in whether a stopped player
        // keeps a position set before it starts.
        slot->player.play();
        if (ms != 0) slot->player.setPosition(static_cast<qint64>(ms));
    });
}

void QtMediaDevice::Pause(std::string_view alias) {
    if (alias != alias_) return;
    Tell([](Slot& slot) {
        if (slot) slot->player.pause();
    });
}

void QtMediaDevice::Resume(std::string_view alias) {
    if (alias != alias_) return;
    Tell([](Slot& slot) {
        if (slot && slot->player.playbackState() == QMediaPlayer::PausedState) slot->player.play();
    });
}

void QtMediaDevice::Stop(std::string_view alias) {
    if (alias != alias_) return;
    Tell([](Slot& slot) {
        if (slot) slot->player.stop();
    });
}

void QtMediaDevice::Close(std::string_view alias) {
    if (alias != alias_ || alias_.empty()) return;
    alias_.clear();
    Tell([](Slot& slot) {
        if (slot) slot->player.stop();
        slot.reset();
    });
}

std::uint32_t QtMediaDevice::StatusPosition(std::string_view alias) {
    if (alias != alias_ || alias_.empty()) return 0;
    const auto position = Ask(
        [](Slot& slot) -> std::int64_t { return slot ? Milliseconds(slot->player.position()) : 0; },
        kQuestionWaitMs);
    return static_cast<std::uint32_t>(position.value_or(0));
}

std::uint32_t QtMediaDevice::StatusLength(std::string_view alias) {
    if (alias != alias_ || alias_.empty()) return 0;
    const auto length = Ask(
        [](Slot& slot) -> std::int64_t { return slot ? Milliseconds(slot->player.duration()) : 0; },
        kQuestionWaitMs);
    return static_cast<std::uint32_t>(length.value_or(0));
}

MediaMode QtMediaDevice::StatusMode(std::string_view alias) {
    if (alias != alias_ || alias_.empty()) return MediaMode::None;
    const auto mode = Ask(
        [](Slot& slot) -> std::int64_t {
            if (!slot) return static_cast<std::int64_t>(MediaMode::Stopped);
            switch (slot->player.playbackState()) {
                case QMediaPlayer::PlayingState:
                    return static_cast<std::int64_t>(MediaMode::Playing);
                case QMediaPlayer::PausedState:
                    return static_cast<std::int64_t>(MediaMode::Paused);
                case QMediaPlayer::StoppedState:
                    break;
            }
            // Also after an error: a file that does not decode ends at once.
            return static_cast<std::int64_t>(MediaMode::Stopped);
        },
        kQuestionWaitMs);
    // No answer: the player waits for one rather than taking the song for ended.
    return static_cast<MediaMode>(mode.value_or(static_cast<std::int64_t>(MediaMode::None)));
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
bool QtMediaDevice::BackEndHangs() {
    return false;
}

#endif

}  // namespace sorrelbox
