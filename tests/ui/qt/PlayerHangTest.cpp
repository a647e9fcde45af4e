// The player with Qt Multimedia when the sound server takes the connection and never answers:
// the window does not hang, the song counts as one that cannot play.

#include <sys/socket.h>
#include <sys/un.h>

#include <QAction>
#include <QApplication>
#include <QtTest>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/ScriptedPrompts.h"
#include "settings/Settings.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"
#include "ui/main/ClistDlg.h"
#include "ui/player/QtMediaDevice.h"

namespace sorrelbox {
namespace {

// Set up before Qt starts: the sound server is chosen once per process.
test::TempDir serverDir;
const bool serverListens = [] {
    const std::string path = serverDir.File("silent");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::bind(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(server, 16) != 0)
        return false;
    qputenv("PULSE_SERVER", QByteArray("unix:") + path.c_str());
    return true;  // the socket stays open, never accepting
}();

}  // namespace

class PlayerHangTest : public QObject {
    Q_OBJECT

  private slots:
    void songOnASilentSoundServerCannotPlay() {
        QVERIFY(serverListens);
        test::TempDir dir;
        ScriptedPrompts prompts;
        Settings settings;
        const StartupInfo startup = MakeStartupInfo(dir.path().string());
        ClistDlg window(settings, startup, &prompts);
        window.show();
        prompts.openFiles.push_back(test::WriteLetterSongs(dir, 1));
        window.findChild<QAction*>(QStringLiteral("action32771"))->trigger();
        window.SelectRow(0);
        // 1曲再生, twice: the second finds the back end still busy with the first.
        for (std::size_t tries = 1; tries <= 2; ++tries) {
            window.findChild<QAction*>(QStringLiteral("action32785"))->trigger();
            QCOMPARE(prompts.messages.size(), tries);
            QCOMPARE(QString::fromStdString(prompts.messages.back().text),
                     QString::fromUtf8("再生できませんでした"));
            QVERIFY(!QApplication::activeModalWidget());
        }
        QVERIFY2(QtMediaDevice::BackEndHangs(), "the silent sound server was not asked");
    }
};

}  // namespace sorrelbox

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    sorrelbox::PlayerHangTest test;
    const int failures = QTest::qExec(&test, argc, argv);
    // As the program does: the back end still waiting would hold up the exit.
    if (sorrelbox::QtMediaDevice::BackEndHangs()) {
        std::filesystem::remove_all(sorrelbox::serverDir.path());
        std::_Exit(failures);
    }
    return failures;
}

#include "PlayerHangTest.moc"
