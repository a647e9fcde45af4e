// The program itself, started as a process: its start-up folder and a bad code page name.
#include <QtTest>
#include <filesystem>

#include "support/Mp3Builder.h"
#include "support/TempDir.h"

namespace sorrelbox {

class StartupTest : public QObject {
    Q_OBJECT
    // Starts the program in dir/cwd with its own config folder and the given code page.
    static void Start(QProcess& process, const test::TempDir& dir, const QStringList& args,
                      const QString& codePage = "UTF-8") {
        std::filesystem::create_directories(dir.File("cwd"));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(dir.File("config")));
        env.insert("SORRELBOX_CODEPAGE", codePage);
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(QString::fromStdString(dir.File("cwd")));
        process.start(SORRELBOX_GUI_PATH, args);
    }

  private slots:
    // The shell start writes nothing and makes no user folder; the desktop start seeds it.
    void shellStartUsesTheCurrentFolderAndDesktopStartSeedsTheUsers() {
        for (const bool desktop : {false, true}) {
            test::TempDir dir;
            const QString shot = QString::fromStdString(dir.File("shot.png"));
            // A song before the options: an argument is never taken for an option's value.
            QStringList args{QString::fromStdString(dir.Write("a.mp3", test::CbrFile(80000))),
                             "--screenshot", shot};
            if (desktop) args.prepend("--desktop");
            QProcess process;
            Start(process, dir, args);
            QVERIFY(process.waitForFinished(30000));
            QCOMPARE(process.exitCode(), 0);
            QVERIFY(QImage(shot).width() > 300);
            for (const char* name : {"manual.htm", "genre.txt"})
                QCOMPARE(std::filesystem::is_regular_file(dir.File("config/sorrelbox/") + name),
                         desktop);
            QVERIFY(std::filesystem::is_empty(dir.File("cwd")));
        }
    }

    // It waits in a message box for the user; the same text is on standard error first.
    void unknownCodePageIsAClearError() {
        test::TempDir dir;
        QProcess process;
        Start(process, dir, {}, "EBCDIC");
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
