// The settings window, the Qt prompts, the text edge and the user's folder, on the offscreen
// platform.
#include <QtTest>
#include <QtWidgets>
#include <filesystem>

#include "ClistApp.h"
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

    // Questions alone have キャンセル; the last is answered with it.
    void messageBoxes() {
        const std::pair<MessageIcon, QMessageBox::Icon> rows[] = {
            {MessageIcon::Information, QMessageBox::Information},
            {MessageIcon::Warning, QMessageBox::Warning},
            {MessageIcon::Error, QMessageBox::Critical},
            {MessageIcon::Question, QMessageBox::Question},
            {MessageIcon::Question, QMessageBox::Question}};
        for (const auto& [icon, qtIcon] : rows) {
            const bool question = icon == MessageIcon::Question;
            const bool cancel = &qtIcon == &rows[4].second;
            AtNextModal<QMessageBox>([&](QMessageBox* box) {
                QAbstractButton* cancelButton = box->button(QMessageBox::Cancel);
                QCOMPARE(
                    box->windowTitle() + box->text() + (cancelButton ? cancelButton->text() : ""),
                    QString("確認1行目\n2行目") + (question ? "キャンセル" : ""));
                QCOMPARE(box->icon(), qtIcon);
                box->button(cancel ? QMessageBox::Cancel : QMessageBox::Ok)->click();
            });
            QCOMPARE(prompts.ShowMessage("1行目\n2行目", "確認", icon,
                                         question ? MessageButtons::OkCancel : MessageButtons::Ok),
                     cancel ? MessageAnswer::Cancel : MessageAnswer::Ok);
        }
    }

    // Name filters match without letter case. The save dialog adds the default extension, and
    // the next one opens where the user chose last.
    void saveDialog() {
        QCOMPARE(QtNameFilters("MP3ファイル(*.mp3),M3U|*.mp3; *.m3u|B|*.b||"),
                 (QStringList{"MP3ファイル(*.mp3),M3U (*.[mM][pP]3 *.[mM]3[uU])", "B (*.[bB])"}));
        const FileDialogOptions options{"テキスト文書(*.txt)|*.txt||", "*.txt", "txt"};
        AtNextModal<QFileDialog>([this](QFileDialog* dialog) {
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
            QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
            dialog->setDirectory(folder);
            dialog->selectFile(folder + "/曲リスト");
            static_cast<QDialog*>(dialog)->accept();
        });
        QCOMPARE(prompts.ChooseSaveFile(options), std::optional(dir.File("曲リスト.txt")));
        AtNextModal<QFileDialog>([this](QFileDialog* dialog) {
            QCOMPARE(dialog->directory(), QDir(folder));
            dialog->reject();
        });
        QVERIFY(!prompts.ChooseSaveFile(options));
    }

    // Far more than the 15000 bytes an old fixed buffer held.
    void openDialogTakesASelectionOfAnyLength() {
        QString typed;
        std::vector<std::string> expected;
        for (int i = 1000; i < 1400; ++i) {
            const std::string name =
                "a song with a long name, number " + std::to_string(i) + ".mp3";
            expected.push_back(dir.Write(name, "x"));
            typed += "\"" + QString::fromStdString(name) + "\" ";
        }
        AtNextModal<QFileDialog>([&](QFileDialog* dialog) {
            QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
            dialog->setDirectory(folder);
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(typed);
            static_cast<QDialog*>(dialog)->accept();
        });
        QCOMPARE(prompts.ChooseOpenFiles({"MP3|*.mp3||", "", "", true}), expected);
    }

    void folderBrowserShowsItsTitleOnOneLine() {
        AtNextModal<QFileDialog>([this](QFileDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("フォルダを選択 (m3uは読み込みません)"));
            dialog->setDirectory(folder);
            dialog->selectFile(folder);
            static_cast<QDialog*>(dialog)->accept();
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
};

}  // namespace sorrelbox

QTEST_MAIN(sorrelbox::DialogsTest)
#include "DialogsTest.moc"
