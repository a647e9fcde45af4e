// The player window on the offscreen platform with a recording media device, and the Qt device.

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QtTest>
#if __has_include(<QMediaDevices>)
#include <QAudioDevice>
#include <QMediaDevices>
#endif

#include "platform/ScriptedPrompts.h"
#include "settings/Settings.h"
#include "support/Mp3Builder.h"
#include "support/RecordingMediaDevice.h"
#include "support/TempDir.h"
#include "ui/main/ClistDlg.h"
#include "ui/player/Cplayer.h"
#include "ui/player/Ctimeber.h"
#include "ui/player/QtMediaDevice.h"

namespace sorrelbox {
namespace {

// Title, time line, state and place as the window shows them, "|" between.
QString Texts(QWidget* w) {
    QStringList texts{w->findChild<QLineEdit*>("edit1063")->text()};
    for (const char* name : {"label1029", "label1070", "label1071"})
        texts << w->findChild<QLabel*>(name)->text();
    return texts.join('|');
}
void Click(QWidget* w, int button) {
    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("button%1").arg(button)),
                      Qt::LeftButton);
}
Ctimeber* Bar(QWidget* w) {
    return w->findChild<Ctimeber*>("bar1062");
}
std::string Last(const RecordingMediaDevice& device, std::size_t count) {
    std::string last;
    for (auto c = device.commands.end() - std::min(count, device.commands.size());
         c != device.commands.end(); ++c)
        last += *c + ";";
    return last;
}

}  // namespace

class CplayerTest : public QObject {
    Q_OBJECT

  private slots:
    // Opened from the main window in sequence: the mouse on the buttons and the bar, Esc.
    void sequenceFollowsTheMainWindowAndTheMouse() {
        test::TempDir dir;
        ScriptedPrompts prompts;
        Settings settings;
        ClistDlg window(settings, MakeStartupInfo(dir.path().string()), &prompts);
        auto device = std::make_shared<RecordingMediaDevice>();
        window.setMediaDeviceFactory([&] { return device; });
        window.show();
        prompts.openFiles.push_back(test::WriteLetterSongs(dir, 3));
        window.findChild<QAction*>("action32771")->trigger();
        window.SelectRow(1);
        bool checked = false;
        QTimer::singleShot(0, [&] {
            const auto closeAfter = qScopeGuard([] {  // a failed check leaves no modal window
                if (auto* player = qobject_cast<Cplayer*>(QApplication::activeModalWidget()))
                    QTest::keyClick(player, Qt::Key_Escape);
            });
            Cplayer* player = nullptr;
            QTRY_VERIFY_WITH_TIMEOUT(
                (player = qobject_cast<Cplayer*>(QApplication::activeModalWidget())) &&
                    player->logic().timerRunning(),
                5000);
            QCOMPARE(player->windowTitle(), "Sorrelbox Player v2.0");
            QCOMPARE(Texts(player), "b.mp3|0：00/0：20  128kbps  44100hz|再生中|2/3");
            QCOMPARE(player->timer().interval(), 200);
            QCOMPARE(QApplication::focusWidget(), Bar(player));
            for (int button : {1065, 1066, 1067, 1047, 1069})
                QVERIFY(!player->findChild<QPushButton*>(QStringLiteral("button%1").arg(button))
                             ->icon()
                             .isNull());
            Click(player, 1069);  // next
            QCOMPARE(Texts(player) + window.findChild<QLineEdit*>("edit1006")->text(),
                     "c.mp3|0：00/0：30  128kbps  44100hz|再生中|3/3c.mp3");
            QCOMPARE(window.findChild<QListWidget*>("list1007")->currentRow(), 2);
            QCOMPARE(QApplication::focusWidget(), Bar(player));
            // 30 s over 210 pixels: 142 ms per pixel; x counts from the inner edge.
            QCOMPARE(Bar(player)->UsableWidth(), 210);
            QTest::mouseClick(Bar(player), Qt::LeftButton, {}, QPoint(106, 8));
            QCOMPARE(Last(*device, 1), "play mp3 from 14910;");
            QCOMPARE(Bar(player)->value(), 14);
            QCOMPARE(Texts(player), "c.mp3|0：14/0：30  128kbps  44100hz|再生中|3/3");
            checked = true;
        });
        window.findChild<QAction*>("action32786")->trigger();
        QVERIFY(checked);
        QCOMPARE(Last(*device, 2), "stop mp3;close mp3;");  // Esc closed the player
        QVERIFY(!device->isOpen());
        // After a sequence the main window shows no selection.
        QCOMPARE(window.findChild<QListWidget*>("list1007")->selectedItems().size(), 0);
        QCOMPARE(window.findChild<QLineEdit*>("edit1006")->text(), QString());
        QVERIFY(prompts.messages.empty());
    }

    // Alone over a song table: the timer, the buttons' clicks and focus, Enter, a closed device.
    void timerButtonsAndEnter() {
        test::TempDir dir;
        ScriptedPrompts prompts;
        SongTable table{PathStyle::Posix};
        PlayerRequest request;
        request.path = test::WriteCbrSong(dir, "long.mp3", 100);
        RecordingMediaDevice device;
        auto player = std::make_unique<Cplayer>(
            table, prompts, device, [](int) {}, request);
        player->show();
        QVERIFY(QTest::qWaitForWindowActive(player.get()));
        QTRY_COMPARE(Texts(player.get()), "long.mp3|0：00/1：40  128kbps  44100hz|再生中|1/1");
        device.positionMs = 65'400;  // the window's timer picks it up
        QTRY_COMPARE(Texts(player.get()), "long.mp3|1：05/1：40  128kbps  44100hz|再生中|1/1");
        QCOMPARE(Bar(player.get())->value(), 65);
        player->findChild<QPushButton*>("button1066")->setFocus();
        device.positionMs = 70'000;  // a tick leaves the focus where the user put it
        QTRY_COMPARE(Bar(player.get())->value(), 70);
        QCOMPARE(QApplication::focusWidget()->objectName(), "button1066");
        Click(player.get(), 1067);  // pause
        QCOMPARE(QApplication::focusWidget(), Bar(player.get()));
        QCOMPARE(Texts(player.get()).section('|', 2) + Last(device, 1).c_str(),
                 "一時停止|1/1pause mp3;");
        Click(player.get(), 1067);
        QCOMPARE(Texts(player.get()).section('|', 2, 2), "再生中");
        device.EndSong();
        QTRY_COMPARE(Texts(player.get()).section('|', 2, 2), "停止");
        QVERIFY(!player->timer().isActive());
        QCOMPARE(Bar(player.get())->value(), 0);
        Click(player.get(), 1065);  // play
        QCOMPARE(Texts(player.get()).section('|', 2, 2), "再生中");
        QVERIFY(player->timer().isActive());
        QTest::keyClick(player.get(), Qt::Key_Return);
        QVERIFY(!player->isVisible() && !player->timer().isActive());
        QCOMPARE(Last(device, 2), "stop mp3;close mp3;");
        // Destroyed while playing (the main window went away): the song does not play on.
        player = std::make_unique<Cplayer>(
            table, prompts, device, [](int) {}, request);
        player->show();
        QTRY_VERIFY(device.isOpen());
        player.reset();
        QCOMPARE(Last(device, 2) + std::to_string(device.isOpen()), "stop mp3;close mp3;0");
    }

    // A single song that cannot play: a warning, and the window closes.
    void songThatCannotPlayClosesThePlayer() {
        test::TempDir dir;
        ScriptedPrompts prompts;
        SongTable table{PathStyle::Posix};
        PlayerRequest request;
        request.path = test::WriteCbrSong(dir, "a.mp3", 10);
        RecordingMediaDevice device;
        device.devicePresent = false;
        Cplayer player(
            table, prompts, device, [](int) {}, request);
        player.show();
        QTRY_VERIFY(!player.isVisible());
        QCOMPARE(prompts.messages.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(prompts.messages[0].text), "再生できませんでした");
        QCOMPARE(prompts.messages[0].icon, MessageIcon::Warning);
    }

    // A real song through Qt Multimedia, as the player's commands drive it.
    void qtDevicePlaysPausesSeeksAndEnds() {
        QtMediaDevice song;
        QVERIFY(!song.Open((dir.path() / "missing.mp3").string(), "mp3"));
        QVERIFY(!song.Open(dir.path().string(), "mp3"));  // a folder
        song.PlayFrom("mp3", 1000);  // commands to an alias not open do nothing
        QCOMPARE(song.StatusMode("mp3"), MediaMode::None);
        QCOMPARE(song.StatusPosition("mp3"), 0u);
        test::Mp3Builder silence;  // 5 s of 128 kbit/s frames that decode to silence
        for (int i = 0; i < 192; ++i) silence.Frame();
        if (!song.Open(silence.WriteTo(dir, "real.mp3"), "mp3")) {
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
        QTest::qWait(500);  // however slowly time passes, the paused song keeps its place
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
        song.Close("mp3");
        test::Mp3Builder second;  // a 1 s song played to its end says so
        for (int i = 0; i < 39; ++i) second.Frame();
        QVERIFY(song.Open(second.WriteTo(dir, "short.mp3"), "mp3"));
        song.PlayFrom("mp3", 0);
        QTRY_VERIFY_WITH_TIMEOUT(song.StatusPosition("mp3") > 0, kLimit);
        QTRY_COMPARE_WITH_TIMEOUT(song.StatusMode("mp3"), MediaMode::Stopped, kLimit);
        song.Close("mp3");
        QCOMPARE(song.StatusMode("mp3"), MediaMode::None);
    }

  private:
    test::TempDir dir;
};

}  // namespace sorrelbox

QTEST_MAIN(sorrelbox::CplayerTest)
#include "CplayerTest.moc"
