// The player window on the offscreen platform with a recording media device: opened from the
// main window's commands, and alone over a song table.

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QtTest>
#if __has_include(<QMediaDevices>)
#include <QAudioDevice>
#include <QMediaDevices>
#endif
#include <algorithm>
#include <functional>
#include <memory>

#include "platform/CodePage.h"
#include "support/RecordingMediaDevice.h"
#include "platform/ScriptedPrompts.h"
#include "settings/Settings.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"
#include "ui/main/ClistDlg.h"
#include "ui/player/Cplayer.h"
#include "ui/player/Ctimeber.h"
#include "ui/player/QtMediaDevice.h"

namespace sorrelbox {
namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// The text of edit or static text number (an edit's label carries the edit's number too).
QString Text(QWidget* window, int number) {
    if (auto* edit = window->findChild<QLineEdit*>(QStringLiteral("edit%1").arg(number)))
        return edit->text();
    if (auto* label = window->findChild<QLabel*>(QStringLiteral("label%1").arg(number)))
        return label->text();
    qFatal("no control %d", number);
    return {};
}

QPushButton* Button(QWidget* window, int number) {
    auto* button = window->findChild<QPushButton*>(QStringLiteral("button%1").arg(number));
    if (!button) qFatal("no button%d", number);
    return button;
}

Ctimeber* Bar(QWidget* window) {
    return window->findChild<Ctimeber*>(QStringLiteral("bar1062"));
}

bool Sent(const RecordingMediaDevice& device, const std::string& command) {
    return std::find(device.commands.begin(), device.commands.end(), command) !=
           device.commands.end();
}

// Runs check on the player once the main window's command has opened it, then closes the
// player with Esc whatever the check found, so a failed check cannot leave a modal window.
void WhenPlayerOpens(std::function<void(Cplayer*)> check) {
    QTimer::singleShot(0, [check = std::move(check)] {
        const auto closeAfter = qScopeGuard([] {
            if (auto* player = qobject_cast<Cplayer*>(QApplication::activeModalWidget()))
                QTest::keyClick(player, Qt::Key_Escape);
        });
        Cplayer* player = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(
            (player = qobject_cast<Cplayer*>(QApplication::activeModalWidget())) != nullptr &&
                player->logic().timerRunning(),
            5000);
        check(player);
    });
}

}  // namespace

class CplayerTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::TempDir> dir;
    std::unique_ptr<ScriptedPrompts> prompts;
    std::shared_ptr<RecordingMediaDevice> device;
    Settings settings;
    StartupInfo startup;
    std::unique_ptr<ClistDlg> window;

    std::string Song(const std::string& name, std::size_t seconds) {
        return test::WriteCbrSong(*dir, name, seconds);
    }

    // a.mp3, b.mp3, ... of 10, 20, ... seconds, loaded through the open-files command.
    void OpenSongs(int count) {
        const std::vector<std::string> paths = test::WriteLetterSongs(*dir, count);
        prompts->openFiles.push_back(paths);
        Trigger(32771);
    }

    void Trigger(int number) {
        auto* action = window->findChild<QAction*>(QStringLiteral("action%1").arg(number));
        QVERIFY(action);
        action->trigger();
    }

    QListWidget* List() { return window->findChild<QListWidget*>(QStringLiteral("list1007")); }

  private slots:
    void init() {
        dir = std::make_unique<test::TempDir>();
        prompts = std::make_unique<ScriptedPrompts>();
        device = std::make_shared<RecordingMediaDevice>();
        settings = Settings{};
        startup = MakeStartupInfo(dir->path().string());
        window = std::make_unique<ClistDlg>(settings, startup, prompts.get());
        window->setMediaDeviceFactory([this] { return device; });
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup() {
        window.reset();
        device.reset();
        prompts.reset();
        dir.reset();
    }

    void sequenceFollowsTheMainWindowAndSeeksOnAClick() {
        OpenSongs(3);
        window->SelectRow(1);
        bool checked = false;
        WhenPlayerOpens([&](Cplayer* player) {
            QCOMPARE(player->windowTitle(), Q("Sorrelbox Player v2.0"));
            QCOMPARE(Text(player, 1063), Q("b.mp3"));
            QCOMPARE(Text(player, 1029), Q("0：00/0：20  128kbps  44100hz"));
            QCOMPARE(Text(player, 1070), Q("再生中"));
            QCOMPARE(Text(player, 1071), Q("2/3"));
            QCOMPARE(player->timer().interval(), 200);
            QVERIFY(player->timer().isActive());
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Bar(player)));
            for (int number : {1065, 1066, 1067, 1047, 1069})
                QVERIFY(!Button(player, number)->icon().isNull());

            Button(player, 1069)->click();
            QCOMPARE(Text(player, 1071), Q("3/3"));
            QCOMPARE(List()->currentRow(), 2);
            QCOMPARE(Text(window.get(), 1006), Q("c.mp3"));
            QCOMPARE(Bar(player)->maximum(), 30);
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Bar(player)));

            // 30 s over 210 pixels: 142 ms per pixel; x counts from the inner edge.
            QCOMPARE(Bar(player)->UsableWidth(), 210);
            device->commands.clear();
            QTest::mouseClick(Bar(player), Qt::LeftButton, {}, QPoint(106, 8));
            QVERIFY(Sent(*device, "play mp3 from 14910"));
            QCOMPARE(Bar(player)->value(), 14);
            QCOMPARE(Text(player, 1029), Q("0：14/0：30  128kbps  44100hz"));
            device->commands.clear();
            checked = true;
        });
        Trigger(32786);
        QVERIFY(checked);
        // Esc closed the player: the song stopped and the device closed.
        QVERIFY(device->commands.size() >= 2);
        QCOMPARE(std::vector<std::string>(device->commands.end() - 2, device->commands.end()),
                 (std::vector<std::string>{"stop mp3", "close mp3"}));
        QVERIFY(!device->isOpen());
        // After a sequence the main window shows no selection.
        QCOMPARE(List()->selectedItems().size(), 0);
        QCOMPARE(Text(window.get(), 1006), QString());
        QVERIFY(prompts->messages.empty());
    }

    void singleSongThatCannotPlayClosesThePlayer() {
        OpenSongs(2);
        window->SelectRow(1);
        device->devicePresent = false;  // as on a machine without sound
        // Should the player stay open, it is closed so the test ends.
        QTimer guard;
        guard.setInterval(5000);
        connect(&guard, &QTimer::timeout, [] {
            if (auto* player = qobject_cast<Cplayer*>(QApplication::activeModalWidget()))
                player->reject();
        });
        guard.start();
        QElapsedTimer elapsed;
        elapsed.start();
        Trigger(32785);
        QVERIFY(elapsed.elapsed() < 5000);
        QCOMPARE(prompts->messages.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(prompts->messages[0].text), Q("再生できませんでした"));
        QCOMPARE(prompts->messages[0].icon, MessageIcon::Warning);
        QCOMPARE(device->commands.back(), std::string("close mp3"));
        // Single mode leaves the main window's selection alone.
        QCOMPARE(List()->currentRow(), 1);
        QCOMPARE(Text(window.get(), 1006), Q("b.mp3"));
    }

    void qtDeviceRefusesWhatItCannotOpen() {
        QtMediaDevice qt;
        QVERIFY(!qt.Open((dir->path() / "missing.mp3").string(), "mp3"));
        QVERIFY(!qt.Open(dir->path().string(), "mp3"));  // a folder
        // Commands to an alias that is not open do nothing.
        qt.PlayFrom("mp3", 1000);
        qt.Pause("mp3");
        QCOMPARE(qt.StatusMode("mp3"), MediaMode::None);
        QCOMPARE(qt.StatusPosition("mp3"), std::uint32_t{0});
        qt.Close("mp3");
    }

    // A real song through Qt Multimedia, as the player's commands drive it.
    void qtDevicePlaysPausesSeeksAndEnds() {
        test::Mp3Builder silence;  // 5 s of 128 kbit/s frames that decode to silence
        for (int i = 0; i < 192; ++i) silence.Frame();
        const std::string path = silence.WriteTo(*dir, "real.mp3");
        QtMediaDevice song;
        if (!song.Open(path, "mp3")) {
#if __has_include(<QMediaDevices>)
            if (QMediaDevices::audioOutputs().isEmpty())
#endif
                QSKIP("no audio output here (no sound server, or no Qt Multimedia): nothing plays");
            QFAIL("an audio output exists, yet the song does not open (GStreamer plugins?)");
        }
        constexpr int kLimit = 20000;
        song.PlayFrom("mp3", 0);
        QTRY_VERIFY_WITH_TIMEOUT(song.StatusPosition("mp3") >= 1500, kLimit);
        QCOMPARE(song.StatusMode("mp3"), MediaMode::Playing);
        QCOMPARE(song.StatusLength("mp3") / 100, 50u);

        song.Pause("mp3");
        QCOMPARE(song.StatusMode("mp3"), MediaMode::Paused);
        const std::uint32_t paused = song.StatusPosition("mp3");
        // Time passes, however slowly (a second song as a clock stalled under load): the paused
        // one keeps its place.
        QTest::qWait(500);
        QVERIFY(song.StatusPosition("mp3") <= paused + 50);
        song.Resume("mp3");
        QTRY_VERIFY_WITH_TIMEOUT(song.StatusPosition("mp3") > paused + 200, kLimit);

        // A seek back lands at its target (playing on never goes back), and plays on from it.
        const std::uint32_t before = song.StatusPosition("mp3");
        song.Stop("mp3");
        song.PlayFrom("mp3", 700);
        std::uint32_t landed = 0;
        QTRY_VERIFY_WITH_TIMEOUT((landed = song.StatusPosition("mp3")) >= 600 && landed < before,
                                 kLimit);
        QTRY_VERIFY_WITH_TIMEOUT(song.StatusPosition("mp3") > landed + 200, kLimit);
        QCOMPARE(song.StatusMode("mp3"), MediaMode::Playing);

        song.Close("mp3");

        // A song played to its end says so (a 1 s song, opened afresh).
        test::Mp3Builder second;
        for (int i = 0; i < 39; ++i) second.Frame();
        QVERIFY(song.Open(second.WriteTo(*dir, "short.mp3"), "mp3"));
        song.PlayFrom("mp3", 0);
        QTRY_VERIFY_WITH_TIMEOUT(song.StatusPosition("mp3") > 0, kLimit);
        QTRY_COMPARE_WITH_TIMEOUT(song.StatusMode("mp3"), MediaMode::Stopped, kLimit);
        song.Close("mp3");
        QCOMPARE(song.StatusMode("mp3"), MediaMode::None);
    }

    void timerTicksButtonsAndEnter() {
        prompts->openFiles.push_back(std::vector<std::string>{Song("long.mp3", 100)});
        Trigger(32771);
        PlayerRequest request;
        request.path = window->table().songPaths().at(0);
        RecordingMediaDevice own;
        Cplayer player(
            window->table(), *prompts, own, [](int) {}, request);
        player.show();
        QVERIFY(QTest::qWaitForWindowActive(&player));
        QTRY_COMPARE(Text(&player, 1070), Q("再生中"));
        QCOMPARE(Text(&player, 1029), Q("0：00/1：40  128kbps  44100hz"));
        QCOMPARE(Text(&player, 1071), Q("1/1"));

        own.positionMs = 65'400;  // the window timer picks it up
        QTRY_COMPARE(Text(&player, 1029), Q("1：05/1：40  128kbps  44100hz"));
        QCOMPARE(Bar(&player)->value(), 65);

        // A tick leaves the focus where the user put it.
        Button(&player, 1066)->setFocus();
        own.positionMs = 70'000;
        QTRY_COMPARE(Text(&player, 1029), Q("1：10/1：40  128kbps  44100hz"));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Button(&player, 1066)));

        Button(&player, 1067)->click();
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Bar(&player)));
        QCOMPARE(Text(&player, 1070), Q("一時停止"));
        QVERIFY(Sent(own, "pause mp3"));
        Button(&player, 1067)->click();
        QCOMPARE(Text(&player, 1070), Q("再生中"));

        own.EndSong();
        QTRY_COMPARE(Text(&player, 1070), Q("停止"));
        QVERIFY(!player.timer().isActive());
        QCOMPARE(Bar(&player)->value(), 0);

        Button(&player, 1065)->click();
        QCOMPARE(Text(&player, 1070), Q("再生中"));
        QVERIFY(player.timer().isActive());

        own.commands.clear();
        QTest::keyClick(&player, Qt::Key_Return);
        QVERIFY(!player.isVisible());
        QVERIFY(own.commands.size() >= 2);
        QCOMPARE(std::vector<std::string>(own.commands.end() - 2, own.commands.end()),
                 (std::vector<std::string>{"stop mp3", "close mp3"}));
        QVERIFY(!player.timer().isActive());
    }
};

}  // namespace sorrelbox

QTEST_MAIN(sorrelbox::CplayerTest)
#include "CplayerTest.moc"
