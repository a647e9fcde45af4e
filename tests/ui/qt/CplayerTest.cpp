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
    // Opened from the main window in sequence, at its selection; Esc closes it.
    void sequenceFollowsTheMainWindow() {
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
        QString shown;
        QTimer::singleShot(0, [&] {
            const auto closeAfter = qScopeGuard([] {  // a failed check leaves no modal window
                if (auto* modal = QApplication::activeModalWidget())
                    QTest::keyClick(modal, Qt::Key_Escape);
            });
            QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<Cplayer*>(QApplication::activeModalWidget()),
                                     5000);
            auto* player = qobject_cast<Cplayer*>(QApplication::activeModalWidget());
            QTRY_VERIFY(player->logic().timerRunning());
            shown = player->windowTitle() + "|" + Texts(player);
            Click(player, 1069);  // next: the main window follows
            shown += "|" + window.findChild<QLineEdit*>("edit1006")->text();
        });
        window.findChild<QAction*>("action32786")->trigger();
        QCOMPARE(shown,
                 "Sorrelbox Player v2.0|b.mp3|0：00/0：20  128kbps  44100hz|再生中|2/3|c.mp3");
        QCOMPARE(Last(*device, 2) + std::to_string(device->isOpen()), "stop mp3;close mp3;0");
        // After a sequence the main window shows no selection.
        QCOMPARE(window.findChild<QListWidget*>("list1007")->selectedItems().size(), 0);
        QCOMPARE(window.findChild<QLineEdit*>("edit1006")->text(), QString());
    }

    // Alone: the timer, the mouse on the buttons and the bar, the focus, Enter, a destroyed one.
    void timerMouseAndEnter() {
        test::TempDir dir;
        ScriptedPrompts prompts;
        SongTable table{PathStyle::Posix};
        PlayerRequest request;
        request.path = test::WriteCbrSong(dir, "long.mp3", 30);
        RecordingMediaDevice device;
        auto player = std::make_unique<Cplayer>(
            table, prompts, device, [](int) {}, request);
        QWidget* w = player.get();
        player->show();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QTRY_COMPARE(Texts(w), "long.mp3|0：00/0：30  128kbps  44100hz|再生中|1/1");
        QCOMPARE(QApplication::focusWidget(), Bar(w));
        QCOMPARE(player->timer().interval(), 200);
        for (const char* name :
             {"button1065", "button1066", "button1067", "button1047", "button1069"})
            QVERIFY(!w->findChild<QPushButton*>(name)->icon().isNull());
        w->findChild<QPushButton*>("button1066")->setFocus();
        device.positionMs = 5'400;  // the window's timer picks it up, and leaves the focus
        QTRY_COMPARE(Texts(w), "long.mp3|0：05/0：30  128kbps  44100hz|再生中|1/1");
        QCOMPARE(QString::number(Bar(w)->value()) + QApplication::focusWidget()->objectName(),
                 "5button1066");
        // 30 s over 210 pixels: 142 ms per pixel; x counts from the inner edge.
        QTest::mouseClick(Bar(w), Qt::LeftButton, {}, QPoint(106, 8));
        QCOMPARE(Last(device, 1) + std::to_string(Bar(w)->value()), "play mp3 from 14910;14");
        Click(w, 1067);  // pause
        QCOMPARE(QApplication::focusWidget(), Bar(w));
        QCOMPARE(Texts(w).section('|', 2) + Last(device, 1).c_str(), "一時停止|1/1pause mp3;");
        device.EndSong();
        Click(w, 1067);
        QTRY_COMPARE(Texts(w).section('|', 2, 2), "停止");
        QCOMPARE(Bar(w)->value() + player->timer().isActive(), 0);
        Click(w, 1065);  // play
        QCOMPARE(Texts(w).section('|', 2, 2) + QString::number(player->timer().isActive()),
                 "再生中1");
        QTest::keyClick(w, Qt::Key_Return);
        QVERIFY(!w->isVisible() && !player->timer().isActive());
        QCOMPARE(Last(device, 2), "stop mp3;close mp3;");
        // Destroyed while playing (the main window went away): the song does not play on.
        player = std::make_unique<Cplayer>(
            table, prompts, device, [](int) {}, request);
        player->show();
        QTRY_VERIFY(device.isOpen());
        player.reset();
        QCOMPARE(Last(device, 2) + std::to_string(device.isOpen()), "stop mp3;close mp3;0");
        device.devicePresent = false;  // a song that cannot play: a warning, the window closes
        Cplayer failed(
            table, prompts, device, [](int) {}, request);
        failed.show();
        QTRY_VERIFY(!failed.isVisible());
        QCOMPARE(prompts.messages.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(prompts.messages[0].text), "再生できませんでした");
    }

    // A real song through Qt Multimedia, as the player's commands drive it.
    void qtDevicePlaysPausesSeeksAndEnds() {
        QtMediaDevice song;
        QVERIFY(!song.Open((dir.path() / "missing.mp3").string(), "mp3"));
        QVERIFY(!song.Open(dir.path().string(), "mp3"));  // a folder
        song.PlayFrom("mp3", 1000);  // commands to an alias not open do nothing
        QCOMPARE(song.StatusPosition("mp3") + int(song.StatusMode("mp3")), 0u);
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
        // Seen playing (at once, or by its place) before it stops: a busy machine may miss the
        // whole second in between.
        bool played = false;
        QTRY_VERIFY_WITH_TIMEOUT((played = played || song.StatusMode("mp3") == MediaMode::Playing ||
                                           song.StatusPosition("mp3") > 0) &&
                                     song.StatusMode("mp3") == MediaMode::Stopped,
                                 kLimit);
        song.Close("mp3");
        QCOMPARE(song.StatusMode("mp3"), MediaMode::None);
    }

  private:
    test::TempDir dir;
};

}  // namespace sorrelbox

QTEST_MAIN(sorrelbox::CplayerTest)
#include "CplayerTest.moc"
