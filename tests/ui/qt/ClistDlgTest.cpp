// The real main window on the offscreen platform, with scripted answers in place of the user.
// Mouse input goes through the window system, where a right press asks for the context menu.
#define QTEST_QPA_MOUSE_HANDLING

#include <QtTest>
#include <QtWidgets>
#include <filesystem>

#include "support/Messages.h"
#include "support/Mp3Builder.h"
#include "support/RecordingMediaDevice.h"
#include "support/TempDir.h"
#include "ui/main/ClistDlg.h"
#include "ui/main/LoadProgress.h"

namespace sorrelbox {

class ClistDlgTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempDir> dir;
    std::unique_ptr<ScriptedPrompts> prompts;
    Settings settings;
    StartupInfo startup;
    std::unique_ptr<ClistDlg> window;
    std::vector<QPoint> menus;  // where the context menu showed
    QString chosen;             // the command the scripted user picks in it

    QAction* Action(int number) {
        return window->findChild<QAction*>(QStringLiteral("action%1").arg(number));
    }
    QLineEdit* Edit(int number) {
        return window->findChild<QLineEdit*>(QStringLiteral("edit%1").arg(number));
    }
    QStringList Fields(int first, int last) {
        QStringList texts;
        for (int i = first; i <= last; ++i) texts << Edit(i)->text();
        return texts;
    }
    QListWidget* List() { return window->findChild<QListWidget*>(QStringLiteral("list1007")); }
    QPoint Row(int row) { return List()->visualItemRect(List()->item(row)).center(); }
    void Click(int row, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseClick(List()->viewport(), button, {}, Row(row));
    }
    void OpenSongs(int count) {
        prompts->openFiles.push_back(test::WriteLetterSongs(*dir, count));
        Action(32771)->trigger();
    }
    QString Order() {
        QString order;
        for (int i = 0; i < List()->count(); ++i) order += List()->item(i)->text().right(5)[0];
        return order;
    }
    QString Last() { return QString::fromStdString(prompts->messages.back().text); }
    // Runs command from the context menu, right-clicking the last row: it acts on the selection.
    void Context(int command) {
        chosen = QStringLiteral("action%1").arg(command);
        const std::size_t shown = menus.size();
        const int rows = List()->count();
        QTest::mouseClick(List()->viewport(), Qt::RightButton, {},
                          rows ? Row(rows - 1) : QPoint(5, 5));
        QCOMPARE(menus.size(), shown + 1);
    }
    // Calls look at the modal window that the next call opens, then closes it.
    void AtNextModal(std::function<void(QWidget*)> look) {
        QTimer::singleShot(0, [look] {
            QWidget* modal = QApplication::activeModalWidget();
            QVERIFY(modal);
            look(modal);
            modal->close();
        });
    }

  private slots:
    void init() {
        dir = std::make_unique<test::TempDir>();
        prompts = std::make_unique<ScriptedPrompts>();
        settings = Settings{};
        startup = MakeStartupInfo(dir->path().string());
        window = std::make_unique<ClistDlg>(settings, startup, prompts.get());
        menus.clear();
        window->setMenuRunner([this](QMenu& menu, const QPoint& pos) {
            QCOMPARE(menu.objectName(), QStringLiteral("menu130"));
            menus.push_back(pos);
            QCoreApplication::processEvents();  // a shown menu runs an event loop
            for (QAction* action : menu.actions()) {
                if (action->objectName() == chosen) action->trigger();
            }
        });
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup() {
        window.reset();
        prompts.reset();
        dir.reset();
    }

    // The manual explains every command by its caption.
    void captionsAndTheManual() {
        QCOMPARE(window->windowTitle(), QStringLiteral("sorrelbox"));
        QCOMPARE(window->minimumSize(), window->maximumSize());
        QVERIFY(window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QFile file(QStringLiteral(SORRELBOX_RESOURCE_DIR "/manual.htm"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString manual = QString::fromUtf8(file.readAll());
        const QStringList captions =
            QString(
                "32771 ファイルを開く 32772 フォルダを開く 32773 新規リスト "
                "32774 リストの作成 32779 m3uの作成 32776 終了 32777 ID3タグの編集 32778 "
                "リスト内連続編集 "
                "32785 １曲再生 32786 連続再生 32787 設定 32789 マニュアル 32780 リストの並び替え "
                "32781 リストから削除 32782 ID3タグの編集 32784 再生")
                .split(' ');
        for (qsizetype i = 0; i < captions.size(); i += 2) {
            QCOMPARE(Action(captions[i].toInt())->text(), captions[i + 1]);
            QVERIFY2(manual.contains(captions[i + 1]), qPrintable(captions[i + 1]));
        }
        QCOMPARE(window->findChildren<QAction*>(QRegularExpression("^action")).size(), 16);
    }

    // Every control that takes the focus has a name a screen reader speaks, in all windows.
    void accessibleNames() {
        window->setMediaDeviceFactory([] { return std::make_shared<RecordingMediaDevice>(); });
        OpenSongs(1);
        Click(0);
        QTRY_COMPARE(window->commands().selection(), 0);
        QMap<QString, QString> names;
        const auto add = [&names](QWidget* top) {
            for (QWidget* w : top->findChildren<QWidget*>()) {
                if (w->focusPolicy() == Qt::NoFocus || w->focusProxy() || w->window() != top)
                    continue;
                QString name =
                    QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).trimmed();
                // A combo box named by its current text has no name of its own.
                if (auto* box = qobject_cast<QComboBox*>(w); box && name == box->currentText())
                    name.clear();
                names.insert(top->objectName() + "/" + w->objectName(), name);
            }
        };
        add(window.get());
        for (const int command : {32787, 32777, 32785}) {  // settings, tag editor, player
            AtNextModal(add);
            Action(command)->trigger();
        }
        QCOMPARE(names.keys(QString()), QStringList());
        const char* expected[] = {
            "ClistDlg/edit1000", "総曲数",     "ClistDlg/edit1006",  "曲名",
            "CtagDlg/edit1010",  "ファイル名", "CtagDlg/combo1020",  "アーティスト",
            "CtagDlg/check1049", "作曲を保持", "Cplayer/button1067", "一時停止",
            "Cplayer/bar1062",   "再生位置"};
        for (int i = 0; i < 14; i += 2)
            QCOMPARE(names.value(expected[i]), QString(expected[i + 1]));
    }

    void loadingAndSelectionShowLinesTotalsAndTheSong() {
        QCOMPARE(Fields(1000, 1002), QStringList({"0", "0：00", "0.0MB"}));
        OpenSongs(3);
        QCOMPARE(List()->item(2)->text(), QString("  0：30  c.mp3"));
        QCOMPARE(Fields(1000, 1006), QStringList({"3", "1：00", "0.9MB", "", "", "", ""}));
        Click(1);
        QTRY_COMPARE(Fields(1003, 1006), QStringList({"0：20", "0.3MB", "128kbps", "b.mp3"}));
        // Ctrl+click cannot empty the single-selection list.
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::ControlModifier, Row(1));
        QTRY_VERIFY(List()->item(1)->isSelected());
        QCOMPARE(window->commands().selection(), 1);
        // A second load appends and leaves the selection alone.
        prompts->openFiles.push_back(std::vector{test::WriteCbrSong(*dir, "d.mp3", 600)});
        Action(32771)->trigger();
        QCOMPARE(Order(), QString("abcd"));
        QCOMPARE(Fields(1000, 1003), QStringList({"4", "11：00", "10.0MB", "0：20"}));
        QCOMPARE(List()->currentRow(), 1);
    }

    // A right press never selects; one click on the target asks once, though the button comes
    // up while the question's box runs its event loop.
    void reorderByMouse() {
        OpenSongs(4);
        Click(1);
        QTRY_COMPARE(window->commands().selection(), 1);
        Context(32780);
        QCOMPARE(Last(), QString("移動先を選択してください"));
        prompts->messages.clear();
        Click(2, Qt::RightButton);
        QCoreApplication::processEvents();
        QCOMPARE(menus.size(), std::size_t{1});
        QVERIFY(prompts->messages.empty() && window->commands().movePending());
        QCOMPARE(List()->currentRow(), 1);

        prompts->onMessage = [&](const auto&) {
            QTest::mouseRelease(List()->viewport(), Qt::LeftButton, {}, Row(3));
            QCoreApplication::processEvents();
        };
        QTest::mousePress(List()->viewport(), Qt::LeftButton, {}, Row(3));
        QTRY_VERIFY(!window->commands().movePending());
        QCoreApplication::processEvents();
        prompts->onMessage = nullptr;
        QCOMPARE(prompts->messages, std::vector{test::Question("2番目を4番目に移動しますか？")});
        QCOMPARE(Order(), QString("acdb"));
        QCOMPARE(List()->currentRow(), 3);
        QVERIFY(List()->item(3)->isSelected());
        QCOMPARE(Edit(1006)->text(), QString("b.mp3"));

        // A click on the row that is already selected answers a pending move too.
        Context(32780);
        Click(3);
        QTRY_VERIFY(!window->commands().movePending());
        QCOMPARE(Last(), QString("4番目を4番目に移動しますか？"));
    }

    void deleteThenNewList() {
        OpenSongs(3);
        Click(1);
        QTRY_COMPARE(Edit(1003)->text(), QString("0：20"));
        Context(32781);
        QCOMPARE(Last(), QString("2番目を削除しますか？"));
        QCOMPARE(Order(), QString("ac"));
        QCOMPARE(Fields(1000, 1006), QStringList({"2", "0：40", "0.6MB", "", "", "", ""}));
        QCOMPARE(List()->currentRow(), -1);
        QVERIFY(List()->selectedItems().isEmpty());
        Action(32773)->trigger();
        QCOMPARE(List()->count(), 0);
        QCOMPARE(Fields(1000, 1002), QStringList({"0", "0：00", "0.0MB"}));
    }

    void outputsAndSettings() {
        OpenSongs(2);
        prompts->saveFiles = {dir->File("songs.txt"), dir->File("songs.m3u")};
        Action(32774)->trigger();
        Action(32779)->trigger();
        QCOMPARE(test::ReadAll(dir->File("songs.txt")),
                 CpText("  0：10  a.mp3\r\n  0：20  b.mp3\r\n"));
        QCOMPARE(test::ReadAll(dir->File("songs.m3u")),
                 dir->File("a.mp3") + "\r\n" + dir->File("b.mp3") + "\r\n");
        // The settings window saves to the start-up folder's INI file on OK only.
        for (const char* button : {"button2", "button1"}) {
            AtNextModal([button](QWidget* dialog) {
                QCOMPARE(dialog->windowTitle(), QString("設定"));
                dialog->findChild<QCheckBox*>("check1073")->click();
                dialog->findChild<QPushButton*>(button)->click();
            });
            Action(32787)->trigger();
        }
        QCOMPARE(settings.soutai, std::uint8_t{1});
        QCOMPARE(LoadSettings(startup.iniPath), settings);
    }

    // Local files only are taken, and a failure is told under the busy cursor.
    void dropsUnderABusyCursor() {
        QMimeData data;
        data.setUrls(
            {QUrl::fromLocalFile(QString::fromStdString(test::WriteCbrSong(*dir, "a.mp3", 10))),
             QUrl::fromLocalFile(
                 QString::fromStdString(dir->Write("junk.mp3", std::string(500, 'j')))),
             QUrl("https://example.org/remote.mp3")});
        std::vector<bool> busy;
        prompts->onMessage = [&](const auto&) {
            busy.push_back(QApplication::overrideCursor() &&
                           QApplication::overrideCursor()->shape() == Qt::WaitCursor);
        };
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &drop);
        QCOMPARE(busy, std::vector<bool>{true});
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(Order(), QString("a"));
        QCOMPARE(Edit(1000)->text(), QString("1"));
    }

    void contextMenuOnlyBelowTheListTop() {
        QWidget* label = window->findChild<QWidget*>("label1000");
        QTest::mouseClick(label, Qt::RightButton, {}, label->rect().center());
        QTest::mouseClick(window.get(), Qt::RightButton, {},
                          List()->mapTo(window.get(), QPoint(5, -1)));
        QCOMPARE(menus.size(), std::size_t{0});
        Context(32781);  // on the empty list
        QCOMPARE(Last(), QString("１曲も読み込まれていません"));
    }

    void keyboardMenuOpensAtTheSelectedRow() {
        OpenSongs(3);
        List()->setFocus();
        chosen = "action32781";
        const std::function<void()> presses[] = {
            [this] { QTest::keyClick(List(), Qt::Key_Menu); },
            [this] { QTest::keyClick(List(), Qt::Key_F10, Qt::ShiftModifier); },
            [this] {  // the request X11 makes of the Menu key, to the window
                QContextMenuEvent request(QContextMenuEvent::Keyboard, {}, {});
                QApplication::sendEvent(window->windowHandle(), &request);
            }};
        for (const auto& press : presses) press();  // nothing selected: no menu
        QCOMPARE(menus.size(), std::size_t{0});
        Click(1);
        QTRY_COMPARE(window->commands().selection(), 1);
        for (const auto& press : presses) {
            prompts->answers = {MessageAnswer::Cancel};
            press();
            QCOMPARE(Last(), QString("2番目を削除しますか？"));
            QVERIFY(List()
                        ->visualItemRect(List()->item(1))
                        .contains(List()->viewport()->mapFromGlobal(menus.back())));
        }
        chosen = "action32780";  // reorder, then no menu while it waits
        presses[0]();
        QVERIFY(window->commands().movePending());
        for (const auto& press : presses) press();
        QCOMPARE(menus.size(), std::size_t{4});
    }

    // F10 opens the menu bar and Esc closes it; then Return, Enter, Esc, the close box and the
    // exit command end the window.
    void keysAndClose() {
        auto* fileMenu = window->findChild<QMenu*>("menuFile");
        QTest::keyClick(List(), Qt::Key_F10);
        QTRY_VERIFY(fileMenu->isVisible());
        QTest::keyClick(fileMenu, Qt::Key_Escape);
        QTRY_VERIFY(!fileMenu->isVisible());
        QVERIFY(window->isVisible());
        const std::function<void()> ends[] = {
            [this] { QTest::keyClick(List(), Qt::Key_Return); },
            [this] { QTest::keyClick(Edit(1000), Qt::Key_Enter); },
            [this] { QTest::keyClick(List(), Qt::Key_Escape); }, [this] { window->close(); },
            [this] { Action(32776)->trigger(); }};
        for (const auto& end : ends) {
            window->show();
            end();
            QVERIFY(!window->isVisible());
        }
        QCOMPARE(window->result(), int(QDialog::Accepted));
    }

    // A load leaves nothing enabled that could start another command; Esc stops it after the
    // current song, and the window closes with the list and its totals in step.
    void escapeDuringALoadStopsItAndCloses() {
        window->setProgressDelay(0);
        bool shown = false, locked = false;
        QTimer::singleShot(0, window.get(), [&] {
            shown = window->loadProgress() && window->loadProgress()->dialog() &&
                    window->loadProgress()->dialog()->isVisible();
            locked = !Action(32771)->isEnabled() && !List()->isEnabled();
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus ? focus : window.get(), Qt::Key_Escape);
        });
        window->LoadDropped(test::WriteLetterSongs(*dir, 8));
        QVERIFY(shown && locked);
        QTRY_VERIFY(!window->isVisible());
        const int count = window->table().songCount();
        QVERIFY(count >= 1 && count < 8);
        QCOMPARE(List()->count(), count);
        QCOMPARE(Edit(1000)->text(), QString::number(count));
        QCOMPARE(window->table().totalSeconds(), 10u * count * (count + 1) / 2);
        QVERIFY(prompts->messages.empty());
        QVERIFY(Action(32771)->isEnabled() && List()->isEnabled());
    }

    void manualOpensOnlyWhenPresent() {
        std::vector<QUrl> opened;
        window->setUrlOpener([&](const QUrl& url) { return opened.push_back(url), true; });
        Action(32789)->trigger();
        QVERIFY(opened.empty());
        dir->Write("manual.htm", "<html></html>");
        Action(32789)->trigger();
        QCOMPARE(opened,
                 std::vector{QUrl::fromLocalFile(QString::fromStdString(dir->File("manual.htm")))});
    }
};

}  // namespace sorrelbox

QTEST_MAIN(sorrelbox::ClistDlgTest)
#include "ClistDlgTest.moc"
