// The settings window, the Qt prompts, the text edge and the start-up folder, on the offscreen
// platform.

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <functional>

#include "ClistApp.h"
#include "platform/CodePage.h"
#include "settings/Settings.h"
#include "support/TempDir.h"
#include "ui/main/CsetDlg.h"
#include "ui/main/QtPrompts.h"
#include "ui/main/QtText.h"

namespace sorrelbox {
namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Runs check on the modal window of type T that the next call opens.
template <typename T>
void WithNextModal(std::function<void(T*)> check) {
    QTimer::singleShot(0, [check = std::move(check)] {
        auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        QVERIFY(modal);
        check(modal);
    });
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QVERIFY(InstallJapaneseTranslation()); }

    void settingsWindowShowsAndSavesOnOk() {
        test::TempDir dir;
        const std::string ini = dir.File("sorrelbox.ini");
        Settings settings;
        settings.kanryoumes = 2;  // hand-edited: on, as any non-zero value
        settings.soutai = 2;      // hand-edited: off, as anything but 1
        settings.hyouzi = 1;
        settings.kuuran = 1;
        CsetDlg dialog(settings, ini);
        const std::pair<const char*, bool> boxes[] = {{"check1072", true},  {"check1073", false},
                                                      {"check1076", false}, {"check1074", true},
                                                      {"check1075", true},  {"check1077", true}};
        for (const auto& [name, checked] : boxes) {
            QCOMPARE(dialog.findChild<QCheckBox*>(name)->isChecked(), checked);
        }
        dialog.findChild<QCheckBox*>("check1076")->click();
        QTest::mouseClick(dialog.findChild<QPushButton*>("button1"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const Settings expected{
            .kanryoumes = 1, .soutai = 0, .zyuuhuku = 1, .hyouzi = 1, .kuuran = 1, .backup = 1};
        QCOMPARE(settings, expected);
        QCOMPARE(LoadSettings(ini), expected);
    }

    void settingsWindowCancelAndCloseChangeNothing() {
        test::TempDir dir;
        const std::string ini = dir.File("sorrelbox.ini");
        // Clicked, Esc, and Return while キャンセル has the focus.
        for (int way : {0, 1, 2}) {
            Settings settings;
            CsetDlg dialog(settings, ini);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            dialog.findChild<QCheckBox*>("check1072")->click();
            dialog.findChild<QCheckBox*>("check1077")->click();
            auto* cancel = dialog.findChild<QPushButton*>("button2");
            if (way == 0) {
                cancel->click();
            } else if (way == 1) {
                QTest::keyClick(&dialog, Qt::Key_Escape);
            } else {
                cancel->setFocus();
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            }
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QCOMPARE(settings, Settings{});
            QVERIFY(!std::filesystem::exists(ini));
        }
    }

    void messageBoxesHaveCaptionIconAndJapaneseButtons() {
        QtPrompts prompts;
        const struct {
            MessageIcon icon;
            QMessageBox::Icon qtIcon;
            bool cancel;
        } cases[] = {{MessageIcon::Information, QMessageBox::Information, false},
                     {MessageIcon::Warning, QMessageBox::Warning, false},
                     {MessageIcon::Error, QMessageBox::Critical, false},
                     {MessageIcon::Question, QMessageBox::Question, true},
                     {MessageIcon::Question, QMessageBox::Question, false}};
        for (const auto& c : cases) {
            const bool question = c.icon == MessageIcon::Question;
            WithNextModal<QMessageBox>([&](QMessageBox* box) {
                QCOMPARE(box->windowTitle(), Q("確認"));
                QCOMPARE(box->text(), Q("1行目\n2行目"));
                QCOMPARE(box->icon(), c.qtIcon);
                QCOMPARE(box->standardButtons(),
                         question ? QMessageBox::Ok | QMessageBox::Cancel
                                  : QMessageBox::StandardButtons(QMessageBox::Ok));
                if (question) QCOMPARE(box->button(QMessageBox::Cancel)->text(), Q("キャンセル"));
                box->button(c.cancel ? QMessageBox::Cancel : QMessageBox::Ok)->click();
            });
            QCOMPARE(prompts.ShowMessage(CpText("1行目\n2行目"), CpText("確認"), c.icon,
                                         question ? MessageButtons::OkCancel : MessageButtons::Ok),
                     c.cancel ? MessageAnswer::Cancel : MessageAnswer::Ok);
        }
    }

    void nameFiltersMatchWithoutLetterCase() {
        QCOMPARE(QtNameFilters(CpText("MP3ファイル(*.mp3),M3Uファイル(*.m3u)|*.mp3; *.m3u||")),
                 QStringList{Q("MP3ファイル(*.mp3),M3Uファイル(*.m3u) (*.[mM][pP]3 *.[mM]3[uU])")});
        QCOMPARE(QtNameFilters("A|*.a|B|*.b||"), (QStringList{Q("A (*.[aA])"), Q("B (*.[bB])")}));
        QVERIFY(QtNameFilters("").isEmpty());
    }

    void saveDialogAddsTheDefaultExtension() {
        test::TempDir dir;
        QtPrompts prompts;
        FileDialogOptions options;
        options.filter = CpText("テキスト文書(*.txt)|*.txt||");
        options.initialName = "*.txt";
        options.defaultExtension = "txt";
        const QString folder = QString::fromStdString(dir.path().string());
        WithNextModal<QFileDialog>([folder](QFileDialog* dialog) {
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
            QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
            QCOMPARE(dialog->defaultSuffix(), Q("txt"));
            dialog->setDirectory(folder);
            dialog->selectFile(folder + Q("/曲リスト"));
            static_cast<QDialog*>(dialog)->accept();
        });
        const auto chosen = prompts.ChooseSaveFile(options);
        QVERIFY(chosen);
        QCOMPARE(QString::fromStdString(*chosen),
                 QString::fromStdString(dir.path().string()) + Q("/曲リスト.txt"));

        // The next dialog opens where the user chose last.
        QCOMPARE(QDir(prompts.folder()), QDir(folder));
        WithNextModal<QFileDialog>([folder](QFileDialog* dialog) {
            QCOMPARE(dialog->directory(), QDir(folder));
            dialog->reject();
        });
        QVERIFY(!prompts.ChooseSaveFile(options));
    }

    void openDialogTakesASelectionOfAnyLength() {
        // Far more than the 15000 bytes an old fixed buffer would hold.
        test::TempDir dir;
        QString typed;
        std::vector<std::string> expected;
        for (int i = 0; i < 400; ++i) {
            const std::string name =
                "a song with a long name, number " + std::to_string(1000 + i) + ".mp3";
            expected.push_back(dir.Write(name, "x"));
            typed += Q("\"") + QString::fromStdString(name) + Q("\" ");
        }
        QtPrompts prompts;
        FileDialogOptions options;
        options.filter = CpText("MP3ファイル(*.mp3),M3Uファイル(*.m3u)|*.mp3; *.m3u||");
        options.multiSelect = true;
        const QString folder = QString::fromStdString(dir.path().string());
        WithNextModal<QFileDialog>([folder, typed](QFileDialog* dialog) {
            QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
            dialog->setDirectory(folder);
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            QVERIFY(name);
            name->setText(typed);
            static_cast<QDialog*>(dialog)->accept();
        });
        const auto chosen = prompts.ChooseOpenFiles(options);
        QVERIFY(chosen);
        QVERIFY(typed.size() > 15000);
        QCOMPARE(*chosen, expected);
    }

    void folderBrowserShowsItsTitleOnOneLine() {
        test::TempDir dir;
        QtPrompts prompts;
        const QString folder = QString::fromStdString(dir.path().string());
        WithNextModal<QFileDialog>([folder](QFileDialog* dialog) {
            QCOMPARE(dialog->windowTitle(),
                     Q("mp3ファイルを取得するフォルダを選択してください (m3uは読み込みません)"));
            dialog->setDirectory(folder);
            dialog->selectFile(folder);
            static_cast<QDialog*>(dialog)->accept();
        });
        const FolderChoice choice = prompts.ChooseFolder(
            CpText("mp3ファイルを取得するフォルダを選択してください\n(m3uは読み込みません)"));
        QVERIFY(!choice.cancelled);
        QVERIFY(choice.path);
        QCOMPARE(QDir(QString::fromStdString(*choice.path)), QDir(folder));

        WithNextModal<QDialog>([](QDialog* dialog) { dialog->reject(); });
        QVERIFY(prompts.ChooseFolder("x").cancelled);
    }

    void shiftKeyIsReadAtTheMoment() {
        QtPrompts prompts;
        QWidget widget;
        widget.show();
        QVERIFY(QTest::qWaitForWindowExposed(&widget));
        QTest::keyPress(&widget, Qt::Key_Shift, Qt::ShiftModifier);
        QVERIFY(prompts.IsShiftDown());
        QTest::keyRelease(&widget, Qt::Key_Shift, Qt::NoModifier);
        QVERIFY(!prompts.IsShiftDown());
    }

    void textsAndPathsConvertAtTheEdge() {
        {
            ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
            const std::string bytes = "\x95\x5C.mp3";  // 表.mp3 in Shift-JIS
            QCOMPARE(ToQString(bytes), Q("表.mp3"));
            QCOMPARE(FromQString(Q("表.mp3")), bytes);
            QCOMPARE(PathFromQString(Q("/曲/表.mp3")), std::string("/\x8b\xc8/") + bytes);
            QCOMPARE(PathToQString(std::string("/\x8b\xc8/") + bytes), Q("/曲/表.mp3"));
            // A name Shift-JIS cannot hold still arrives, so it fails later like a missing file.
            QCOMPARE(PathFromQString(Q("/tmp/é.mp3")), std::string("/tmp/?.mp3"));
        }
        ScopedCodePage utf8{CodePage(CodePage::Kind::Utf8)};
        QCOMPARE(PathFromQString(Q("/曲/表.mp3")), std::string("/曲/表.mp3"));
    }

    void userFolderIsSeededOnceInTheCodePage() {
        ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
        test::TempDir dir;
        const QString root = QString::fromStdString(dir.path().string());
        QVERIFY(QDir().mkpath(root + Q("/share")));
        dir.Write("share/genre.txt", "\xE6\xBC\x94\xE6\xAD\x8C\r\n");  // 演歌 in UTF-8
        dir.Write("share/manual.htm", "<html>\xE6\xBC\x94</html>");
        const QString own = root + Q("/own");
        QVERIFY(PrepareUserFolder(own, {root + Q("/missing"), root + Q("/share")}));
        QCOMPARE(test::ReadAll(dir.File("own/genre.txt")), std::string("\x89\x89\x89\xCC\r\n"));
        // The manual says its own encoding and is copied as it is.
        QCOMPARE(test::ReadAll(dir.File("own/manual.htm")),
                 std::string("<html>\xE6\xBC\x94</html>"));

        // The user's own files are never replaced.
        dir.Write("own/genre.txt", "Mine\r\n");
        std::filesystem::remove(dir.File("own/manual.htm"));
        QVERIFY(PrepareUserFolder(own, {root + Q("/share")}));
        QCOMPARE(test::ReadAll(dir.File("own/genre.txt")), std::string("Mine\r\n"));
        QVERIFY(std::filesystem::exists(dir.File("own/manual.htm")));
        QVERIFY(!PrepareUserFolder(root + Q("/own/genre.txt/sub"), {root + Q("/share")}));
    }

    void shippedSeedsExistInTheSourceTree() {
        QVERIFY(SeedFolders().contains(QStringLiteral(SORRELBOX_RESOURCE_DIR)));
        QVERIFY(QFileInfo(QStringLiteral(SORRELBOX_RESOURCE_DIR "/manual.htm")).isFile());
    }
};

}  // namespace sorrelbox

QTEST_MAIN(sorrelbox::DialogsTest)
#include "DialogsTest.moc"
