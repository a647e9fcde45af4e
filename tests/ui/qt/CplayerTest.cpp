// The player window on the offscreen platform with a recording media device, and the Qt device.

#include <QtTest>
#include <QtWidgets>
#if __has_include(<QMediaDevices>)
#include <QAudioDevice>
#include <QMediaDevices>
#endif

#include "platform/ScriptedPrompts.h"
#include "support/Mp3Builder.h"
#include "support/RecordingMediaDevice.h"
#include "support/TempDir.h"
#include "ui/main/ClistDlg.h"
#include "ui/player/Cplayer.h"
#include "ui/player/Ctimeber.h"
#include "ui/player/QtMediaDevice.h"

namespace sorrelbox {
namespace {

// Title, time line, state, place and bar as the window shows them, "|" between.
QString Texts(QWidget* w) {
    QStringList texts{w->findChild<QLineEdit*>("edit1063")->text()};
    for (const char* name : {"label1029", "label1070", "label1071"})
        texts << w->findChild<QLabel*>(name)->text();
    return texts.join('|') + "|" + QString::number(w->findChild<Ctimeber*>("bar1062")->value());
}
// Clicks a button: the state, place and bar it leaves, and whether the timer runs.
QString Click(Cplayer* player, int button) {
    QTest::mouseClick(player->findChild<QPushButton*>(QStringLiteral("button%1").arg(button)),
                      Qt::LeftButton);
    return Texts(player).section('|', 2) + QString::number(player->timer().isActive());
}

}  // namespace

class CplayerTest : public QObject {
    Q_OBJECT

  private slots:
    // Opened from the main window in sequence at its selection: the buttons, the bar, the timer
    // and the keys drive it, the main window follows, Enter closes it.
    void sequenceFromTheMainWindow() {
        ScriptedPrompts prompts;
        Settings settings;
        ClistDlg window(settings, MakeStartupInfo(dir.path().string()), &prompts);
        auto device = std::make_shared<RecordingMediaDevice>();
        window.setMediaDeviceFactory([&] { return device; });
        window.show();
        prompts.openFiles.push_back(test::WriteLetterSongs(dir, 3));
        window.findChild<QAction*>("action32771")->trigger();
        window.SelectRow(0);
        QStringList seen;
        QTimer::singleShot(0, [&] {
            const auto closeAfter = qScopeGuard([] {  // a failed check leaves no modal window
                if (auto* modal = QApplication::activeModalWidget())
                    QTest::keyClick(modal, Qt::Key_Escape);
            });
            QTRY_VERIFY(qobject_cast<Cplayer*>(QApplication::activeModalWidget()));
            auto* player = qobject_cast<Cplayer*>(QApplication::activeModalWidget());
            auto* bar = player->findChild<Ctimeber*>("bar1062");
            QTRY_VERIFY(player->logic().timerRunning());
            QCOMPARE(QApplication::focusWidget(), bar);
            seen << player->windowTitle() << Texts(player);
            Click(player, 1069);  // next: the main window follows
            seen << window.findChild<QLineEdit*>("edit1006")->text();
            player->findChild<QPushButton*>("button1066")->setFocus();
            device->positionMs = 5'400;  // the window's timer picks it up, and leaves the focus
            QTRY_COMPARE(Texts(player), "b.mp3|0：05/0：20  128kbps  44100hz|再生中|2/3|5");
            QCOMPARE(QApplication::focusWidget()->objectName(), "button1066");
            // 20 s over 210 pixels: 95 ms per pixel; x counts from the inner edge.
            QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(106, 8));
            seen << QString::fromStdString(device->commands.back())
                 << Texts(player).section('|', 2);
            for (const int button : {1067, 1066, 1065, 1047})  // pause, stop, play, previous
                seen << Click(player, button);
            QCOMPARE(QApplication::focusWidget(), bar);
            QTest::keyClick(player, Qt::Key_Return);
            QVERIFY(!player->isVisible());
        });
        window.findChild<QAction*>("action32786")->trigger();
        QCOMPARE(seen.join(' '),
                 "Sorrelbox Player v2.0 a.mp3|0：00/0：10  128kbps  44100hz|再生中|1/3|0 b.mp3 "
                 "play 9975 再生中|2/3|9 一時停止|2/3|91 停止|2/3|00 再生中|2/3|01 再生中|1/3|01");
        QVERIFY(!device->isOpen());
        {  // destroyed while playing (the main window went away): the song does not play on
            SongTable table{PathStyle::Posix};
            Cplayer player(table, prompts, *device, {}, {PlayerMode::Single, dir.File("a.mp3")});
            player.show();
            QTRY_VERIFY(device->isOpen());
        }
        QVERIFY(!device->isOpen());
    }

    // A real song through Qt Multimedia, as the player's commands drive it.
    void qtDevicePlaysPausesSeeksAndEnds() {
        QtMediaDevice song;
        // 5 s of 128 kbit/s frames that decode to silence
        if (!song.Open(dir.Write("real.mp3", test::FramesFile(192)), "mp3")) {
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
        song.Pause("mp3");
        QCOMPARE(song.StatusMode("mp3"), MediaMode::Paused);
        const std::uint32_t paused = song.StatusPosition("mp3");
        song.Resume("mp3");
        QTRY_VERIFY_WITH_TIMEOUT(song.StatusPosition("mp3") > paused + 200, kLimit);
        // A seek back lands at its target (playing on never goes back), plays on, and ends.
        const std::uint32_t before = song.StatusPosition("mp3");
        song.Stop("mp3");
        song.PlayFrom("mp3", 700);
        std::uint32_t landed = 0;
        QTRY_VERIFY_WITH_TIMEOUT((landed = song.StatusPosition("mp3")) >= 600 && landed < before,
                                 kLimit);
        QTRY_VERIFY_WITH_TIMEOUT(song.StatusPosition("mp3") > landed + 200, kLimit);
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
