// The program itself, started as a process in dir/cwd with its own config folder.
#include <QtTest>
#include <filesystem>

#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox {

class StartupTest : public QObject {
    Q_OBJECT

  private slots:
    // The shell start writes nothing and makes no user folder; the desktop start seeds it. A
    // song before the options is never taken for an option's value. An unknown code page waits
    // in a message box, its text on standard error first.
    void startsFromTheShellOrTheDesktopOrStopsOnABadCodePage() {
        for (const QString way : {"shell", "--desktop", "EBCDIC"}) {
            test::TempDir dir;
            std::filesystem::create_directories(dir.File("cwd"));
            const QString shot = QString::fromStdString(dir.File("shot.png"));
            QStringList args{QString::fromStdString(dir.Write("a.mp3", test::CbrFile(80000))),
                             "--screenshot", shot};
            if (way == "--desktop") args.prepend(way);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("XDG_CONFIG_HOME", QString::fromStdString(dir.File("config")));
            env.insert("SORRELBOX_CODEPAGE", way == "EBCDIC" ? way : "UTF-8");
            QProcess process;
            process.setProcessEnvironment(env);
            process.setWorkingDirectory(QString::fromStdString(dir.File("cwd")));
            process.start(SORRELBOX_GUI_PATH, args);
            if (way == "EBCDIC") {
                QByteArray error;
                QTRY_VERIFY_WITH_TIMEOUT(
                    (error += process.readAllStandardError()).contains("unknown code page"), 20000);
                process.kill();
            }
            QVERIFY(process.waitForFinished(30000));
            if (way == "EBCDIC") continue;
            QVERIFY(process.exitCode() == 0 && QImage(shot).width() > 300);
            for (const char* name : {"manual.htm", "genre.txt"})
                QCOMPARE(std::filesystem::is_regular_file(dir.File("config/sorrelbox/") + name),
                         way != "shell");
            QVERIFY(std::filesystem::is_empty(dir.File("cwd")));
        }
    }
};

}  // namespace sorrelbox

QTEST_MAIN(sorrelbox::StartupTest)
#include "StartupTest.moc"
