// The real main window on the offscreen platform, with scripted answers in place of the user;
// then the settings window, the Qt prompts, the path edge, the user's folder and the start-up.
// Mouse input goes through the window system, where a right press asks for the context menu.
#define QTEST_QPA_MOUSE_HANDLING

#include <QtTest>
#include <QtWidgets>
#include <filesystem>

#include "ClistApp.h"
#include "support/Messages.h"
#include "support/Mp3Builder.h"
#include "support/RecordingMediaDevice.h"
#include "support/TempDir.h"
#include "ui/main/ClistDlg.h"
#include "ui/main/CsetDlg.h"
#include "ui/main/LoadProgress.h"
#include "ui/main/QtPrompts.h"
#include "ui/main/QtText.h"

namespace sorrelbox {

class ClistDlgTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempDir> dir;
    std::unique_ptr<ScriptedPrompts> prompts;
    Settings settings;
    StartupInfo startup;
    std::vector<QPoint> menus;  // where the context menu showed
    QString chosen;             // the command the scripted user picks in it
    std::unique_ptr<ClistDlg> window;
    QtPrompts asked;  // the real prompts, for the dialogs' own tests

    QAction* Action(int n) { return window->findChild<QAction*>("action" + QString::number(n)); }
    QLineEdit* Edit(int n) { return window->findChild<QLineEdit*>("edit" + QString::number(n)); }
    QListWidget* List() { return window->findChild<QListWidget*>("list1007"); }
    // The lines' first letters, the fields' texts and the current row.
    QString State() {
        QString state;
        for (int i = 0; i < List()->count(); ++i) state += List()->item(i)->text().right(5)[0];
        for (int i = 1000; i <= 1006; ++i) state += "|" + Edit(i)->text();
        return state + "|" + QString::number(List()->currentRow());
    }
    QPoint Row(int row) { return List()->visualItemRect(List()->item(row)).center(); }
    void Select(int row) {
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, Row(row));
        QTRY_COMPARE(window->commands().selection(), row);
    }
    void OpenSongs(int count) {
        prompts->openFiles.push_back(test::WriteLetterSongs(*dir, count));
        Action(32771)->trigger();
    }
    void Context(int command) {  // right-clicks the last row: the menu acts on the selection
        chosen = "action" + QString::number(command);
        QTest::mouseClick(List()->viewport(), Qt::RightButton, {}, Row(List()->count() - 1));
    }

  private slots:
    void initTestCase() { QVERIFY(InstallJapaneseTranslation()); }

    void init() {
        window.reset();
        dir = std::make_unique<test::TempDir>();
        prompts = std::make_unique<ScriptedPrompts>();
        startup = MakeStartupInfo(dir->path().string());
        window = std::make_unique<ClistDlg>(settings = {}, startup, prompts.get());
        menus.clear();
        window->setMenuRunner([this](QMenu& menu, const QPoint& pos) {
            menus.push_back(pos);
            QCoreApplication::processEvents();  // a shown menu runs an event loop
            for (QAction* action : menu.actions())
                if (action->objectName() == chosen) action->trigger();
        });
        window->setMediaDeviceFactory([] { return std::make_shared<RecordingMediaDevice>(); });
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    // One pass through the menus' flows: open, select, append, delete, outputs, new list,
    // manual; then a drop takes only local files and leaves no busy cursor, and the menu shows
    // only below the list's top. On the way, every control that takes the focus
    // has a name a screen reader speaks, in every window.
    void flowsThroughTheMenus() {
        QCOMPARE(State(), QString("|0|0：00|0.0MB|||||-1"));
        OpenSongs(3);
        Select(1);
        QCOMPARE(State(), QString("abc|3|1：00|0.9MB|0：20|0.3MB|128kbps|b.mp3|1"));
        QStringList unnamed;
        const auto check = [&unnamed](QWidget* top) {
            for (QWidget* widget : top->findChildren<QWidget*>()) {
                const QString name =
                    QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
                // A combo box named by its current text has no name of its own.
                const auto* box = qobject_cast<QComboBox*>(widget);
                if (widget->focusPolicy() != Qt::NoFocus && !widget->focusProxy() &&
                    widget->window() == top &&
                    (name.trimmed().isEmpty() || (box && name == box->currentText())))
                    unnamed << top->objectName() + "/" + widget->objectName();
            }
        };
        for (const int command : {32787, 32777, 32785}) {  // settings, tag editor, player
            QTimer::singleShot(0, [&] {
                check(QApplication::activeModalWidget());
                QApplication::activeModalWidget()->close();
            });
            Action(command)->trigger();
        }
        check(window.get());
        QCOMPARE(unnamed, QStringList());
        // Ctrl+click cannot empty the single-selection list.
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::ControlModifier, Row(1));
        QTRY_VERIFY(List()->item(1)->isSelected());
        prompts->openFiles.push_back(std::vector{test::WriteCbrSong(*dir, "d.mp3", 600)});
        Action(32771)->trigger();
        QCOMPARE(State(), QString("abcd|4|11：00|10.0MB|0：20|0.3MB|128kbps|b.mp3|1"));
        Context(32781);
        QCOMPARE(State(), QString("acd|3|10：40|9.7MB|||||-1"));
        prompts->saveFiles = {dir->File("songs.txt"), dir->File("songs.m3u")};
        Action(32774)->trigger();
        Action(32779)->trigger();
        QVERIFY(test::ReadAll(dir->File("songs.txt")).starts_with(CpText("  0：10  a.mp3\r\n")));
        QVERIFY(test::ReadAll(dir->File("songs.m3u")).starts_with(dir->File("a.mp3") + "\r\n/"));
        QList<QUrl> opened;
        window->setUrlOpener([&](const QUrl& url) {
            opened << url;
            return true;
        });
        const QString manual = QString::fromStdString(dir->Write("manual.htm", "<html></html>"));
        Action(32789)->trigger();
        QCOMPARE(opened, QList{QUrl::fromLocalFile(manual)});

        Action(32773)->trigger();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir->File("a.mp3"))),
                      QUrl("https://example.org/b.mp3")});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &drop);
        QVERIFY(enter.isAccepted() && drop.isAccepted() && !QApplication::overrideCursor());
        QCOMPARE(State(), QString("a|1|0：10|0.1MB|||||-1"));
        QWidget* label = window->findChild<QWidget*>("label1000");
        QTest::mouseClick(label, Qt::RightButton, {}, label->rect().center());
        QTest::mouseClick(window.get(), Qt::RightButton, {},
                          List()->mapTo(window.get(), QPoint(5, -1)));
        QVERIFY(menus.size() == 1);
    }

    // The menu opens by Menu, Shift+F10 and the window system's request at the selected row,
    // and not with nothing selected or while a move waits. A right press never selects; one
    // click on the target asks once, though the button comes up while the question's box runs
    // its event loop.
    void contextMenuAndReorder() {
        OpenSongs(4);
        List()->setFocus();
        const std::function<void()> presses[] = {
            [this] { QTest::keyClick(List(), Qt::Key_Menu); },
            [this] { QTest::keyClick(List(), Qt::Key_F10, Qt::ShiftModifier); },
            [this] {  // the request X11 makes of the Menu key, to the window
                QContextMenuEvent request(QContextMenuEvent::Keyboard, {}, {});
                QApplication::sendEvent(window->windowHandle(), &request);
            }};
        for (const auto& press : presses) press();
        QVERIFY(menus.empty());
        Select(1);
        chosen.clear();
        const QRect selected = List()->visualItemRect(List()->item(1));
        for (const auto& press : presses) {
            press();
            QVERIFY(selected.contains(List()->viewport()->mapFromGlobal(menus.back())));
        }
        Context(32780);
        prompts->messages.clear();
        for (const auto& press : presses) press();
        QTest::mouseClick(List()->viewport(), Qt::RightButton, {}, Row(2));
        QCoreApplication::processEvents();
        QVERIFY(menus.size() == 4 && prompts->messages.empty() && List()->currentRow() == 1);
        prompts->onMessage = [&](const auto&) {
            QTest::mouseRelease(List()->viewport(), Qt::LeftButton, {}, Row(3));
            QCoreApplication::processEvents();
        };
        QTest::mousePress(List()->viewport(), Qt::LeftButton, {}, Row(3));
        QTRY_VERIFY(!window->commands().movePending());
        QCoreApplication::processEvents();
        prompts->onMessage = nullptr;
        QCOMPARE(prompts->messages, std::vector{test::Question("2番目を4番目に移動しますか？")});
        QCOMPARE(State(), QString("acdb|4|1：40|1.5MB|0：20|0.3MB|128kbps|b.mp3|3"));
        QVERIFY(List()->item(3)->isSelected());
    }

    // F10 opens the menu bar; Return and the exit command end the window, and Esc a load.
    void keysEndTheWindowAndALoad() {
        QMenu* fileMenu = window->findChild<QMenu*>("menuFile");
        QTest::keyClick(List(), Qt::Key_F10);
        QTRY_VERIFY(fileMenu->isVisible());
        fileMenu->hide();
        const std::function<void()> ends[] = {[this] { QTest::keyClick(List(), Qt::Key_Return); },
                                              [this] { Action(32776)->trigger(); }};
        for (const auto& end : ends) {
            end();
            QVERIFY(!window->isVisible() && window->result() == QDialog::Accepted);
            window->show();
        }
        // A load leaves nothing enabled that could start another command; Esc stops it after the
        // current song, and the window closes with the list and its totals in step.
        window->setProgressDelay(0);
        bool shownAndLocked = false;
        QTimer::singleShot(0, window.get(), [&] {
            shownAndLocked = window->loadProgress()->dialog()->isVisible() &&
                             !Action(32771)->isEnabled() && !List()->isEnabled();
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus ? focus : window.get(), Qt::Key_Escape);
        });
        window->LoadDropped(test::WriteLetterSongs(*dir, 8));
        QVERIFY(shownAndLocked);
        QTRY_VERIFY(!window->isVisible());
        const int count = List()->count();
        QVERIFY(count >= 1 && count < 8 && prompts->messages.empty());
        QCOMPARE(Edit(1000)->text(), QString::number(count));
        QCOMPARE(window->table().totalSeconds(), 10u * count * (count + 1) / 2);
        QVERIFY(Action(32771)->isEnabled() && List()->isEnabled());
    }

    // Hand-edited values act as shown; a click on OK takes the boxes and saves them.
    void settingsWindow() {
        const std::string ini = dir->File("sorrelbox.ini");
        Settings settings{2, 2, 0, 1, 1};
        CsetDlg dialog(settings, ini);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        for (const char* name : {"check1076", "check1077"})
            dialog.findChild<QCheckBox*>(name)->click();
        QTest::mouseClick(dialog.findChild<QPushButton*>("button1"), Qt::LeftButton);
        const Settings saved{1, 0, 1, 1, 1, 0};
        QCOMPARE(settings, saved);
        QCOMPARE(LoadSettings(ini), saved);
    }

    // A question's キャンセル answers it. Name filters match without letter case. The open
    // dialog takes far more than the 15000 bytes an old fixed buffer held; each dialog opens where
    // the user chose last; the save dialog asks before overwriting and adds the default
    // extension; the folder browser shows its title on one line.
    void messageBoxAndFileDialogs() {
        QTimer::singleShot(0, [] {
            qobject_cast<QMessageBox*>(QApplication::activeModalWidget())
                ->button(QMessageBox::Cancel)
                ->click();
        });
        QCOMPARE(asked.ShowMessage("?", "確認", MessageIcon::Question, MessageButtons::OkCancel),
                 MessageAnswer::Cancel);
        const QString folder = QString::fromStdString(dir->path().string());
        QCOMPARE(QtNameFilters("MP3ファイル(*.mp3),M3U|*.mp3; *.m3u|B|*.b||"),
                 (QStringList{"MP3ファイル(*.mp3),M3U (*.[mM][pP]3 *.[mM]3[uU])", "B (*.[bB])"}));
        const auto answer = [](const QString& typed,
                               const std::function<void(QFileDialog*)>& look) {
            QTimer::singleShot(0, [=] {
                auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
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
            expected.push_back(dir->Write(name, "x"));
            typed += "\"" + QString::fromStdString(name) + "\" ";
        }
        answer(typed, [folder](QFileDialog* dialog) { dialog->setDirectory(folder); });
        QCOMPARE(asked.ChooseOpenFiles({"MP3|*.mp3||", "", "", true}), expected);
        answer("曲リスト", [folder](QFileDialog* dialog) {
            QCOMPARE(dialog->directory(), QDir(folder));
            QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
        });
        QCOMPARE(asked.ChooseSaveFile({"テキスト文書(*.txt)|*.txt||", "*.txt", "txt"}),
                 std::optional(dir->File("曲リスト.txt")));
        answer(folder, [](QFileDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QString("フォルダを選択 (m3uは読み込みません)"));
        });
        const FolderChoice choice = asked.ChooseFolder("フォルダを選択\n(m3uは読み込みません)");
        QCOMPARE(QDir(QString::fromStdString(choice.path.value_or(""))), QDir(folder));
    }

    // Shift-JIS for paths at the Qt edge and in the user's folder, where the shipped genre list is
    // converted to it and the user's own files are never replaced.
    void shiftJisTextsPathsAndUserFolder() {
        ScopedCodePage sjis{CodePage(CodePage::Kind::Cp932)};
        // A name Shift-JIS cannot hold still arrives, so it fails later like a missing file.
        QCOMPARE(PathFromQString("/tmp/é.mp3"), std::string("/tmp/?.mp3"));
        const QString folder = QString::fromStdString(dir->path().string());
        for (const char* sub : {"share", "own"}) std::filesystem::create_directory(dir->File(sub));
        dir->Write("share/genre.txt", "\xE6\xBC\x94\xE6\xAD\x8C\r\n");  // 演歌 in UTF-8
        dir->Write("share/manual.htm", "<html></html>");
        dir->Write("own/manual.htm", "Mine");
        QVERIFY(PrepareUserFolder(folder + "/own", {folder + "/missing", folder + "/share"}));
        QCOMPARE(
            test::ReadAll(dir->File("own/genre.txt")) + test::ReadAll(dir->File("own/manual.htm")),
            std::string("\x89\x89\x89\xCC\r\nMine"));
    }

    // The program itself, started from the desktop menu with its own config folder, seeds that
    // folder. A song before the options is never taken for an option's value.
    void startsFromTheDesktop() {
        test::TempDir home;
        const QString shot = QString::fromStdString(home.File("shot.png"));
        const QStringList args{"--desktop",
                               QString::fromStdString(home.Write("a.mp3", test::CbrFile(80000))),
                               "--screenshot", shot};
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(home.File("config")));
        env.insert("SORRELBOX_CODEPAGE", "UTF-8");
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(SORRELBOX_GUI_PATH, args);
        QVERIFY(process.waitForFinished(30000));
        QVERIFY(process.exitCode() == 0 && QImage(shot).width() > 300);
        QVERIFY(std::filesystem::is_regular_file(home.File("config/sorrelbox/manual.htm")));
        QVERIFY(std::filesystem::is_regular_file(home.File("config/sorrelbox/genre.txt")));
    }
};

}  // namespace sorrelbox

QTEST_MAIN(sorrelbox::ClistDlgTest)
#include "ClistDlgTest.moc"
