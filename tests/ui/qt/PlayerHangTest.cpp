// The player with Qt Multimedia when the sound server takes the connection and never answers:
// the window does not hang, the song counts as one that cannot play.

#include <sys/socket.h>
#include <sys/un.h>

#include <QtTest>
#include <QtWidgets>

#include "platform/ScriptedPrompts.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"
#include "ui/main/ClistDlg.h"
#include "ui/player/QtMediaDevice.h"

namespace sorrelbox {

class PlayerHangTest : public QObject {
    Q_OBJECT

  private slots:
    void songOnASilentSoundServerCannotPlay() {
        test::TempDir dir;
        ScriptedPrompts prompts;
        Settings settings;
        ClistDlg window(settings, MakeStartupInfo(dir.path().string()), &prompts);
        window.show();
        prompts.openFiles.push_back(test::WriteLetterSongs(dir, 1));
        window.findChild<QAction*>("action32771")->trigger();
        window.SelectRow(0);
        // 1曲再生, twice: the second finds the back end still busy with the first.
        for (std::size_t tries = 1; tries <= 2; ++tries) {
            window.findChild<QAction*>("action32785")->trigger();
            QCOMPARE(prompts.messages.size(), tries);  // a warning, and the window closed
        }
        QVERIFY2(QtMediaDevice::BackEndHangs(), "the silent sound server was not asked");
    }
};

}  // namespace sorrelbox

int main(int argc, char** argv) {
    // Before Qt starts (the sound server is chosen once): a socket that listens, never accepting.
    sorrelbox::test::TempDir serverDir;
    sockaddr_un address{AF_UNIX, {}};
    const std::string path = serverDir.File("silent");
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ::bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::listen(server, 16);  // if either fails, the test finds the server never asked
    qputenv("PULSE_SERVER", QByteArray("unix:") + path.c_str());
    QApplication app(argc, argv);
    sorrelbox::PlayerHangTest test;
    const int failures = QTest::qExec(&test, argc, argv);
    // As the program does: the back end still waiting would hold up the exit.
    std::filesystem::remove_all(serverDir.path());
    std::_Exit(failures);
}

#include "PlayerHangTest.moc"
