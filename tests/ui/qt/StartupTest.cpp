// The program itself, started as a process: where its start-up folder is and what it does with
// a bad code page name.

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QtTest>
#include <filesystem>

#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox {

class StartupTest : public QObject {
    Q_OBJECT

  private:
    static QProcessEnvironment Environment(const test::TempDir& dir) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir.File("config")));
        env.insert(QStringLiteral("SORRELBOX_CODEPAGE"), QStringLiteral("UTF-8"));
        return env;
    }

    static bool Run(QProcess& process, const test::TempDir& dir, const QStringList& args) {
        process.setProcessEnvironment(Environment(dir));
        process.setWorkingDirectory(QString::fromStdString(dir.File("cwd")));
        process.start(QStringLiteral(SORRELBOX_GUI_PATH), args);
        return process.waitForFinished(30000);
    }

  private slots:
    void shellStartUsesTheCurrentFolder() {
        test::TempDir dir;
        std::filesystem::create_directory(dir.File("cwd"));
        const std::string song = dir.Write("cwd/a.mp3", test::CbrFile(16000 * 5));
        const QString shot = QString::fromStdString(dir.File("shot.png"));
        QProcess process;
        QVERIFY(Run(process, dir,
                    {QStringLiteral("--screenshot"), shot, QString::fromStdString(song)}));
        QCOMPARE(process.exitCode(), 0);
        const QImage image(shot);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() > 300 && image.height() > 300);
        // Nothing is written at start or exit; the user's folder is not made.
        QVERIFY(!std::filesystem::exists(dir.File("cwd/sorrelbox.ini")));
        QVERIFY(!std::filesystem::exists(dir.File("config/sorrelbox")));
    }

    void desktopStartSeedsTheUsersFolder() {
        test::TempDir dir;
        std::filesystem::create_directory(dir.File("cwd"));
        const QString shot = QString::fromStdString(dir.File("shot.png"));
        QProcess process;
        QVERIFY(
            Run(process, dir, {QStringLiteral("--desktop"), QStringLiteral("--screenshot"), shot}));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(std::filesystem::is_regular_file(dir.File("config/sorrelbox/manual.htm")));
        QVERIFY(std::filesystem::is_regular_file(dir.File("config/sorrelbox/genre.txt")));
        QVERIFY(std::filesystem::is_empty(dir.File("cwd")));
    }

    void unknownCodePageIsAClearError() {
        test::TempDir dir;
        std::filesystem::create_directory(dir.File("cwd"));
        QProcess process;
        QProcessEnvironment env = Environment(dir);
        env.insert(QStringLiteral("SORRELBOX_CODEPAGE"), QStringLiteral("EBCDIC"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(SORRELBOX_GUI_PATH), {});
        QVERIFY(process.waitForStarted());
        // It waits in a message box for the user; the same text is on standard error first.
        QByteArray error;
        QTRY_VERIFY_WITH_TIMEOUT((error += process.readAllStandardError()).contains("EBCDIC"),
                                 20000);
        QVERIFY(error.contains("unknown code page"));
        process.kill();
        process.waitForFinished();
    }
};

}  // namespace sorrelbox

QTEST_MAIN(sorrelbox::StartupTest)
#include "StartupTest.moc"
