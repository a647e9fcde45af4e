// The settings window, the Qt prompts, the text edge, the user's folder and the start-up, on the
// offscreen platform.
#include <QtTest>
#include <QtWidgets>
#include <filesystem>

#include "ClistApp.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"
#include "ui/main/CsetDlg.h"
#include "ui/main/QtPrompts.h"
#include "ui/main/QtText.h"

namespace sorrelbox {
namespace {

// Runs look on the modal window of type T that the next call opens.
template <typename T>
void AtNextModal(std::function<void(T*)> look) {
    QTimer::singleShot(0, [look] {
        auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        QVERIFY(modal);
        look(modal);
    });
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT
    test::TempDir dir;  // shared: each test uses its own names in it
    QString folder = QString::fromStdString(dir.path().string());
    QtPrompts prompts;

  private slots:
    void initTestCase() { QVERIFY(InstallJapaneseTranslation()); }

    // Shows hand-edited values as they act; a click on OK saves, one on キャンセル changes nothing.
    void settingsWindow() {
        const std::string ini = dir.File("sorrelbox.ini");
        const Settings saved{1, 0, 1, 1, 1, 0}, handEdited{2, 2, 0, 1, 1};
        for (const char* button : {"button2", "button1"}) {
            Settings settings = handEdited;
            CsetDlg dialog(settings, ini);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            QString checked;
            for (QCheckBox* box : dialog.findChildren<QCheckBox*>())
                checked += box->objectName().right(2) + (box->isChecked() ? "+" : "-");
            QCOMPARE(checked, QString("72+73-76-74+75+77+"));
            for (const char* name : {"check1076", "check1077"})
                dialog.findChild<QCheckBox*>(name)->click();
            QTest::mouseClick(dialog.findChild<QPushButton*>(button), Qt::LeftButton);
            const bool ok = button == std::string("button1");
            QCOMPARE(settings, ok ? saved : handEdited);
            QCOMPARE(std::filesystem::exists(ini), ok);
        }
        QCOMPARE(LoadSettings(ini), saved);
    }

    // Only a question has キャンセル, and it answers it.
    void messageBoxes() {
        for (const MessageIcon icon : {MessageIcon::Warning, MessageIcon::Question}) {
            const bool question = icon == MessageIcon::Question;
            AtNextModal<QMessageBox>([&](QMessageBox* box) {
                QAbstractButton* cancel = box->button(QMessageBox::Cancel);
                QCOMPARE(box->windowTitle() + box->text() + (cancel ? cancel->text() : ""),
                         QString("確認1行目\n2行目") + (question ? "キャンセル" : ""));
                QCOMPARE(box->icon(), question ? QMessageBox::Question : QMessageBox::Warning);
                box->button(question ? QMessageBox::Cancel : QMessageBox::Ok)->click();
            });
            QCOMPARE(prompts.ShowMessage("1行目\n2行目", "確認", icon,
                                         question ? MessageButtons::OkCancel : MessageButtons::Ok),
                     question ? MessageAnswer::Cancel : MessageAnswer::Ok);
        }
    }

    // Name filters match without letter case. The open dialog takes far more than the 15000
    // bytes an old fixed buffer held; each dialog opens where the user chose last; the save
    // dialog adds the default extension; the folder browser shows its title on one line.
    void fileDialogs() {
        QCOMPARE(QtNameFilters("MP3ファイル(*.mp3),M3U|*.mp3; *.m3u|B|*.b||"),
                 (QStringList{"MP3ファイル(*.mp3),M3U (*.[mM][pP]3 *.[mM]3[uU])", "B (*.[bB])"}));
        const auto answer = [](const QString& typed,
                               const std::function<void(QFileDialog*)>& look) {
            AtNextModal<QFileDialog>([=](QFileDialog* dialog) {
                look(dialog);
                dialog->findChild<QLineEdit*>("fileNameEdit")->setText(typed);
                static_cast<QDialog*>(dialog)->accept();
            });
        };
        QString typed;
        std::vector<std::string> expected;
        for (int i = 1000; i < 1400; ++i) {
            const std::string name =
                "a song with a long name, number " + std::to_string(i) + ".mp3";
            expected.push_back(dir.Write(name, "x"));
            typed += "\"" + QString::fromStdString(name) + "\" ";
        }
        answer(typed, [this](QFileDialog* dialog) {
            QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
            dialog->setDirectory(folder);
        });
        QCOMPARE(prompts.ChooseOpenFiles({"MP3|*.mp3||", "", "", true}), expected);
        answer("曲リスト", [this](QFileDialog* dialog) {
            QCOMPARE(dialog->directory(), QDir(folder));
            QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
        });
        QCOMPARE(prompts.ChooseSaveFile({"テキスト文書(*.txt)|*.txt||", "*.txt", "txt"}),
                 std::optional(dir.File("曲リスト.txt")));
        answer(folder, [](QFileDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("フォルダを選択 (m3uは読み込みません)"));
        });
        const FolderChoice choice = prompts.ChooseFolder("フォルダを選択\n(m3uは読み込みません)");
        QCOMPARE(QDir(QString::fromStdString(choice.path.value_or(""))), QDir(folder));
        AtNextModal<QDialog>([](QDialog* dialog) { dialog->reject(); });
        QVERIFY(prompts.ChooseFolder("x").cancelled);
    }

    void textsAndPathsConvertAtTheEdge() {
        ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
        const std::string bytes = "/\x8b\xc8/\x95\x5C.mp3";  // /曲/表.mp3 in Shift-JIS
        QCOMPARE(ToQString(bytes) + PathToQString(bytes), QString("/曲/表.mp3/曲/表.mp3"));
        QCOMPARE(FromQString("/曲/表.mp3") + PathFromQString("/曲/表.mp3"), bytes + bytes);
        // A name Shift-JIS cannot hold still arrives, so it fails later like a missing file.
        QCOMPARE(PathFromQString("/tmp/é.mp3"), std::string("/tmp/?.mp3"));
    }

    // The shipped genre list is converted to the code page; the user's files are never replaced.
    void userFolderIsSeededOnce() {
        ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
        for (const char* sub : {"share", "own"}) std::filesystem::create_directory(dir.File(sub));
        dir.Write("share/genre.txt", "\xE6\xBC\x94\xE6\xAD\x8C\r\n");  // 演歌 in UTF-8
        dir.Write("share/manual.htm", "<html>\xE6\xBC\x94</html>");
        dir.Write("own/genre.txt", "Mine\r\n");
        for (const char* seed : {"/missing", "/share"})
            QVERIFY(PrepareUserFolder(folder + "/own", {folder + "/missing", folder + seed}));
        QCOMPARE(test::ReadAll(dir.File("own/genre.txt")), std::string("Mine\r\n"));
        QCOMPARE(test::ReadAll(dir.File("own/manual.htm")), "<html>\xE6\xBC\x94</html>");
        QVERIFY(PrepareUserFolder(folder + "/new", {folder + "/share"}));
        QCOMPARE(test::ReadAll(dir.File("new/genre.txt")), std::string("\x89\x89\x89\xCC\r\n"));
        QVERIFY(!PrepareUserFolder(folder + "/own/genre.txt/sub", {folder + "/share"}));
    }

    // The program itself, started in dir/cwd with its own config folder. The shell start writes
    // nothing and makes no user folder; the desktop start seeds it. A song before the options is
    // never taken for an option's value. An unknown code page waits in a message box, its text on
    // standard error first.
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

QTEST_MAIN(sorrelbox::DialogsTest)
#include "DialogsTest.moc"
