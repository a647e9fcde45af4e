// The real main window on the offscreen platform, driven by object names, with scripted
// answers in place of the user. Mouse input goes through the window system, as a user's does:
// that is where a right press asks for the context menu.

#define QTEST_QPA_MOUSE_HANDLING

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <filesystem>
#include <functional>
#include <memory>
#include <utility>

#include "platform/CodePage.h"
#include "support/RecordingMediaDevice.h"
#include "platform/ScriptedPrompts.h"
#include "settings/Settings.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"
#include "ui/main/ClistDlg.h"
#include "ui/main/CsetDlg.h"
#include "ui/main/LoadProgress.h"

namespace sorrelbox {
namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// The names a screen reader gives the controls of window that take the focus, by window and
// object name. A combo box named by its current text has no name of its own: empty here.
void AddNames(QWidget* window, QMap<QString, QString>& names) {
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->focusPolicy() == Qt::NoFocus || w->focusProxy() || w->window() != window) continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        QString name = a ? a->text(QAccessible::Name).trimmed() : QString();
        if (const auto* box = qobject_cast<QComboBox*>(w); box && name == box->currentText())
            name.clear();
        names.insert(window->objectName() + "/" + w->objectName(), name);
    }
}

}  // namespace

class ClistDlgTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::TempDir> dir;
    std::unique_ptr<ScriptedPrompts> prompts;
    Settings settings;
    StartupInfo startup;
    std::unique_ptr<ClistDlg> window;
    std::vector<QString> menusShown;  // the context menu's object name per showing
    std::vector<QPoint> menuPoints;   // and where it was shown
    QString chosenAction;             // what the scripted user picks in the context menu
    std::vector<QUrl> openedUrls;

    QAction* Action(int number) {
        auto* action = window->findChild<QAction*>(QStringLiteral("action%1").arg(number));
        if (!action) qFatal("no action%d", number);
        return action;
    }
    QLineEdit* Edit(int number) {
        return window->findChild<QLineEdit*>(QStringLiteral("edit%1").arg(number));
    }
    QListWidget* List() { return window->findChild<QListWidget*>(QStringLiteral("list1007")); }

    std::string Song(const std::string& name, std::size_t seconds) {
        return test::WriteCbrSong(*dir, name, seconds);
    }

    // Opens a.mp3, b.mp3, ... of 10, 20, ... seconds through the open-files command.
    void OpenSongs(int count) {
        const std::vector<std::string> paths = test::WriteLetterSongs(*dir, count);
        prompts->openFiles.push_back(paths);
        Action(32771)->trigger();
    }

    QStringList Lines() {
        QStringList lines;
        for (int i = 0; i < List()->count(); ++i) lines << List()->item(i)->text();
        return lines;
    }

    // The file-name letters of the list's lines, in order.
    QString Order() {
        QString order;
        for (const QString& line : Lines()) order += line.right(5).left(1);
        return order;
    }

    void ClickRow(int row) {
        QListWidget* list = List();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }

    // A real right-click: the press goes through the window system, which asks for the menu.
    void RightClick(QWidget* widget, QPoint pos) {
        QTest::mouseClick(widget, Qt::RightButton, {}, pos);
    }
    void RightClickRow(int row) {
        RightClick(List()->viewport(), List()->visualItemRect(List()->item(row)).center());
    }

    // Picks command number from the context menu, right-clicking the last row (not the
    // selected one: the menu acts on the selection) or the empty list.
    void ContextCommand(int number) {
        chosenAction = QStringLiteral("action%1").arg(number);
        const std::size_t before = menusShown.size();
        if (List()->count() > 0) {
            RightClickRow(List()->count() - 1);
        } else {
            RightClick(List()->viewport(), List()->viewport()->rect().center());
        }
        QCOMPARE(menusShown.size(), before + 1);
    }

    const ScriptedPrompts::Message& LastMessage() { return prompts->messages.back(); }
    // The last message's text, readable in a failure report.
    QString LastText() {
        return prompts->messages.empty() ? QString()
                                         : QString::fromStdString(prompts->messages.back().text);
    }

  private slots:
    void init() {
        dir = std::make_unique<test::TempDir>();
        prompts = std::make_unique<ScriptedPrompts>();
        settings = Settings{};
        startup = MakeStartupInfo(dir->path().string());
        window = std::make_unique<ClistDlg>(settings, startup, prompts.get());
        menusShown.clear();
        openedUrls.clear();
        menuPoints.clear();
        window->setMenuRunner([this](QMenu& menu, const QPoint& pos) {
            menusShown.push_back(menu.objectName());
            menuPoints.push_back(pos);
            QCoreApplication::processEvents();  // a shown menu runs an event loop
            for (QAction* action : menu.actions()) {
                if (action->objectName() == chosenAction) action->trigger();
            }
        });
        window->setUrlOpener([this](const QUrl& url) {
            openedUrls.push_back(url);
            return true;
        });
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup() {
        window.reset();
        prompts.reset();
        dir.reset();
    }

    void layoutCaptionsAndAccessibleNames() {
        QCOMPARE(window->windowTitle(), Q("sorrelbox"));
        QCOMPARE(window->minimumSize(), window->maximumSize());  // fixed size
        QVERIFY(window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(List()));
        const struct {
            int number;
            const char* label;
        } fields[] = {{1000, "総曲数"}, {1001, "総時間"},         {1002, "総ファイルサイズ"},
                      {1003, "時間"},   {1004, "ファイルサイズ"}, {1005, "ビットレート"},
                      {1006, "曲名"}};
        for (const auto& field : fields) {
            QLineEdit* edit = Edit(field.number);
            QVERIFY(edit);
            QVERIFY(edit->isReadOnly());
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(edit);
            QVERIFY(accessible);
            QCOMPARE(accessible->text(QAccessible::Name), Q(field.label));
        }
        QCOMPARE(Edit(1000)->text(), Q("0"));
        QCOMPARE(Edit(1001)->text(), Q("0：00"));
        QCOMPARE(Edit(1002)->text(), Q("0.0MB"));
        QCOMPARE(List()->selectionMode(), QAbstractItemView::SingleSelection);
        const struct {
            int number;
            const char* caption;
        } actions[] = {{32771, "ファイルを開く"},
                       {32772, "フォルダを開く"},
                       {32773, "新規リスト"},
                       {32774, "リストの作成"},
                       {32779, "m3uの作成"},
                       {32776, "終了"},
                       {32777, "ID3タグの編集"},
                       {32778, "リスト内連続編集"},
                       {32785, "１曲再生"},
                       {32786, "連続再生"},
                       {32787, "設定"},
                       {32789, "マニュアル"},
                       {32780, "リストの並び替え"},
                       {32781, "リストから削除"},
                       {32782, "ID3タグの編集"},
                       {32784, "再生"}};
        for (const auto& action : actions)
            QCOMPARE(Action(action.number)->text(), Q(action.caption));
    }

    void everyFocusableControlHasAName() {
        window->setMediaDeviceFactory([] { return std::make_shared<RecordingMediaDevice>(); });
        OpenSongs(1);
        ClickRow(0);
        QTRY_COMPARE(window->commands().selection(), 0);
        QMap<QString, QString> names;
        AddNames(window.get(), names);
        for (const int command : {32787, 32777, 32785}) {  // settings, tag editor, player
            bool opened = false;
            QTimer::singleShot(0, [&] {
                QWidget* modal = QApplication::activeModalWidget();
                if (!modal) return;
                opened = true;
                AddNames(modal, names);
                modal->close();
            });
            Action(command)->trigger();
            QVERIFY(opened);
        }
        QCOMPARE(names.keys(QString()), QStringList());
        const std::pair<const char*, const char*> expected[] = {
            {"CtagDlg/edit1010", "ファイル名"},  {"CtagDlg/combo1020", "アーティスト"},
            {"CtagDlg/check1049", "作曲を保持"}, {"CtagDlg/edit1025", "エンコードした人or企業"},
            {"Cplayer/button1067", "一時停止"},  {"Cplayer/bar1062", "再生位置"}};
        for (const auto& [control, name] : expected) QCOMPARE(names.value(control), Q(name));
    }

    void loadingShowsLinesAndTotals() {
        OpenSongs(3);
        QCOMPARE(List()->count(), 3);
        QCOMPARE(Lines(),
                 QStringList({Q("  0：10  a.mp3"), Q("  0：20  b.mp3"), Q("  0：30  c.mp3")}));
        QCOMPARE(Edit(1000)->text(), Q("3"));
        QCOMPARE(Edit(1001)->text(), Q("1：00"));
        QCOMPARE(Edit(1002)->text(), Q("0.9MB"));  // 937 KiB
        QCOMPARE(Edit(1003)->text(), QString());

        // A second load appends, and loading leaves the selection alone.
        ClickRow(1);
        QTRY_COMPARE(Edit(1003)->text(), Q("0：20"));
        prompts->openFiles.push_back(std::vector<std::string>{Song("d.mp3", 600)});
        Action(32771)->trigger();
        QCOMPARE(Order(), Q("abcd"));
        QCOMPARE(Edit(1001)->text(), Q("11：00"));
        QCOMPARE(List()->currentRow(), 1);
        QCOMPARE(Edit(1003)->text(), Q("0：20"));
    }

    void selectionShowsDetailsOrTheErrorText() {
        OpenSongs(2);
        ClickRow(1);
        QTRY_COMPARE(Edit(1003)->text(), Q("0：20"));
        QCOMPARE(Edit(1004)->text(), Q("0.3MB"));
        QCOMPARE(Edit(1005)->text(), Q("128kbps"));
        QCOMPARE(Edit(1006)->text(), Q("b.mp3"));

        // Ctrl+click cannot empty the selection of the single-selection list.
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          List()->visualItemRect(List()->item(1)).center());
        QTRY_VERIFY(List()->item(1)->isSelected());
        QCOMPARE(window->commands().selection(), 1);
        QCOMPARE(Edit(1006)->text(), Q("b.mp3"));

        std::filesystem::remove(dir->File("a.mp3"));
        ClickRow(0);
        QTRY_COMPARE(Edit(1006)->text(), Q("ファイル情報を取得できませんでした"));
        QCOMPARE(Edit(1003)->text(), QString());
        QCOMPARE(Edit(1004)->text(), QString());
        QCOMPARE(Edit(1005)->text(), QString());
        QCOMPARE(List()->count(), 2);

        // Its deletion is refused and nothing changes.
        ContextCommand(32781);
        QCOMPARE(LastText(), Q("mp3情報を取得できなかったので\nリストから削除できませんでした"));
        QCOMPARE(List()->count(), 2);
        QCOMPARE(Edit(1000)->text(), Q("2"));
    }

    void reorderBothWaysAndCancelled() {
        struct {
            int source;
            int target;
            MessageAnswer answer;
            const char* order;
        } cases[] = {{0, 3, MessageAnswer::Ok, "bcda"},
                     {3, 0, MessageAnswer::Ok, "dabc"},
                     {1, 3, MessageAnswer::Cancel, "abcd"}};
        for (const auto& c : cases) {
            Action(32773)->trigger();
            OpenSongs(4);
            ClickRow(c.source);
            QTRY_COMPARE(window->commands().selection(), c.source);
            ContextCommand(32780);
            QCOMPARE(LastText(), Q("移動先を選択してください"));
            QCOMPARE(LastMessage().caption, CpText("選択"));
            QVERIFY(window->commands().movePending());

            // While the move waits, a right-click on another row neither shows the menu nor
            // selects that row as the target.
            const std::size_t shown = menusShown.size();
            prompts->messages.clear();
            RightClickRow(2);
            QCoreApplication::processEvents();
            QCOMPARE(menusShown.size(), shown);
            QVERIFY(prompts->messages.empty());
            QVERIFY(window->commands().movePending());
            QCOMPARE(List()->currentRow(), c.source);

            // The button comes up while the question's box runs its event loop: one click
            // still asks once and moves at most once.
            const QPoint at = List()->visualItemRect(List()->item(c.target)).center();
            bool released = false;
            prompts->onMessage = [&](const auto&) {
                if (!std::exchange(released, true))
                    QTest::mouseRelease(List()->viewport(), Qt::LeftButton, {}, at);
                QCoreApplication::processEvents();
            };
            prompts->answers = {c.answer, MessageAnswer::Ok};
            QTest::mousePress(List()->viewport(), Qt::LeftButton, {}, at);
            QTRY_VERIFY(!window->commands().movePending());
            QCoreApplication::processEvents();
            prompts->onMessage = nullptr;
            QCOMPARE(prompts->messages.size(), std::size_t{1});
            QCOMPARE(LastText(), QStringLiteral("%1番目を%2番目に移動しますか？")
                                     .arg(c.source + 1)
                                     .arg(c.target + 1));
            QCOMPARE(Order(), Q(c.order));
            QCOMPARE(List()->currentRow(), c.target);
            QVERIFY(List()->item(c.target)->isSelected());
            const QString shownSong = Lines()[c.target].right(5);
            QCOMPARE(Edit(1006)->text(), shownSong);
            QCOMPARE(Edit(1000)->text(), Q("4"));
        }
    }

    void clickingTheSourceAgainAnswersThePendingMove() {
        OpenSongs(2);
        ClickRow(0);
        QTRY_COMPARE(window->commands().selection(), 0);
        ContextCommand(32780);
        prompts->messages.clear();
        ClickRow(0);
        QTRY_VERIFY(!window->commands().movePending());
        QCOMPARE(LastText(), Q("1番目を1番目に移動しますか？"));
        QCOMPARE(Order(), Q("ab"));
    }

    void deleteAndItsRefusals() {
        ContextCommand(32781);
        QCOMPARE(LastText(), Q("１曲も読み込まれていません"));
        OpenSongs(3);
        ContextCommand(32781);
        QCOMPARE(LastText(), Q("ファイルが選択されていません"));

        ClickRow(1);
        QTRY_COMPARE(Edit(1003)->text(), Q("0：20"));
        prompts->answers.push_back(MessageAnswer::Cancel);
        ContextCommand(32781);
        QCOMPARE(LastText(), Q("2番目を削除しますか？"));
        QCOMPARE(List()->count(), 3);

        ContextCommand(32781);
        QCOMPARE(Order(), Q("ac"));
        QCOMPARE(Edit(1000)->text(), Q("2"));
        QCOMPARE(Edit(1001)->text(), Q("0：40"));
        QCOMPARE(Edit(1003)->text(), QString());
        QCOMPARE(Edit(1006)->text(), QString());
        QCOMPARE(List()->currentRow(), -1);
        QVERIFY(List()->selectedItems().isEmpty());
    }

    void newListClearsEverything() {
        OpenSongs(2);
        ClickRow(0);
        QTRY_VERIFY(!Edit(1006)->text().isEmpty());
        prompts->messages.clear();
        Action(32773)->trigger();
        QCOMPARE(List()->count(), 0);
        QCOMPARE(Edit(1000)->text(), Q("0"));
        QCOMPARE(Edit(1001)->text(), Q("0：00"));
        QCOMPARE(Edit(1002)->text(), Q("0.0MB"));
        QCOMPARE(Edit(1006)->text(), QString());
        QVERIFY(prompts->messages.empty());
    }

    void outputsWithAndWithoutShift() {
        OpenSongs(2);
        const std::string listFile = dir->File("songs.txt");
        prompts->saveFiles.push_back(listFile);
        Action(32774)->trigger();
        QCOMPARE(QString::fromStdString(test::ReadAll(listFile)),
                 Q("  0：10  a.mp3\r\n  0：20  b.mp3\r\n"));
        QCOMPARE(prompts->saveDialogs.back().defaultExtension, std::string("txt"));

        const std::string playlist = dir->File("songs.m3u");
        for (bool shift : {false, true}) {
            prompts->shiftDown = shift;
            prompts->saveFiles.push_back(playlist);
            Action(32779)->trigger();
            const std::string expected =
                shift ? "a.mp3\r\nb.mp3\r\n"
                      : dir->File("a.mp3") + "\r\n" + dir->File("b.mp3") + "\r\n";
            QCOMPARE(test::ReadAll(playlist), expected);
        }
        QCOMPARE(LastText(), Q("m3uファイルを作成しました"));
        QCOMPARE(settings.soutai, std::uint8_t{0});
    }

    void dropsTakeMp3AndM3uByExtension() {
        const std::string upper = Song("A.MP3", 10);
        const std::string text = dir->Write("notes.txt", "x");
        std::filesystem::create_directory(dir->File("folder.mp3.d"));
        const std::string listed = Song("listed.mp3", 20);
        const std::string playlist = dir->Write("x.M3U", "listed.mp3\r\n");

        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(upper)),
                      QUrl::fromLocalFile(QString::fromStdString(text)),
                      QUrl::fromLocalFile(QString::fromStdString(dir->File("folder.mp3.d"))),
                      QUrl::fromLocalFile(QString::fromStdString(playlist)),
                      QUrl(QStringLiteral("https://example.org/remote.mp3"))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &drop);

        QCOMPARE(Lines(), QStringList({Q("  0：10  A.MP3"), Q("  0：20  listed.mp3")}));
        QCOMPARE(Edit(1000)->text(), Q("2"));
        QVERIFY(prompts->messages.empty());
    }

    void loadsShowABusyCursor() {
        const std::string junk = dir->Write("junk.mp3", std::string(500, 'j'));
        std::vector<bool> busyWhenTold;
        prompts->onMessage = [&](const ScriptedPrompts::Message&) {
            const QCursor* cursor = QApplication::overrideCursor();
            busyWhenTold.push_back(cursor && cursor->shape() == Qt::WaitCursor);
        };
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(junk))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window.get(), &drop);
        prompts->onMessage = nullptr;
        QCOMPARE(busyWhenTold, std::vector<bool>{true});  // the failure is told mid-load
        QVERIFY(!QApplication::overrideCursor());
    }

    void contextMenuOnlyBelowTheListTop() {
        OpenSongs(2);
        chosenAction.clear();
        // Above the list: the count field's label and the fields' area.
        QWidget* label = window->findChild<QWidget*>(QStringLiteral("label1000"));
        RightClick(label, label->rect().center());
        RightClick(window.get(), List()->mapTo(window.get(), QPoint(5, -1)));
        QCOMPARE(menusShown.size(), std::size_t{0});
        QVERIFY(window->commands().listTop() > 0);

        RightClick(List()->viewport(), QPoint(5, 5));
        QCOMPARE(menusShown, std::vector<QString>{QStringLiteral("menu130")});
        const QList<QAction*> items =
            window->findChild<QMenu*>(QStringLiteral("menu130"))->actions();
        QCOMPARE(items.size(), 6);
        QVERIFY(items[2]->isSeparator());
        QVERIFY(items[4]->isSeparator());
    }

    void keyboardMenuOpensAtTheSelectedRow() {
        OpenSongs(3);
        List()->setFocus();
        chosenAction = QStringLiteral("action32781");
        const std::function<void()> presses[] = {
            [this] { QTest::keyClick(List(), Qt::Key_Menu); },
            [this] { QTest::keyClick(List(), Qt::Key_F10, Qt::ShiftModifier); },
            [this] {  // the request X11 makes of the Menu key, to the window
                QContextMenuEvent request(QContextMenuEvent::Keyboard, {}, {});
                QApplication::sendEvent(window->windowHandle(), &request);
            }};
        for (const auto& press : presses) press();  // nothing selected: no menu
        QCOMPARE(menusShown.size(), std::size_t{0});

        ClickRow(1);
        QTRY_COMPARE(window->commands().selection(), 1);
        for (const auto& press : presses) {
            prompts->answers = {MessageAnswer::Cancel};
            press();
            QCOMPARE(LastText(), Q("2番目を削除しますか？"));
            const QRect row = List()->visualItemRect(List()->item(1));
            QVERIFY(row.contains(List()->viewport()->mapFromGlobal(menuPoints.back())));
        }
        QCOMPARE(menusShown.size(), std::size_t{3});

        chosenAction = QStringLiteral("action32780");  // reorder, then no menu while pending
        presses[0]();
        QVERIFY(window->commands().movePending());
        for (const auto& press : presses) press();
        QCOMPARE(menusShown.size(), std::size_t{4});
    }

    void tagAndPlayerCommandsRefuse() {
        const struct {
            int number;
            const char* empty;
            const char* unselected;
        } cases[] = {{32777, "１曲も読み込まれていません", "ファイルが選択されていません"},
                     {32778, "１曲も読み込まれていません", nullptr},
                     {32785, "１曲も読み込まれていません", "ファイルが選択されていません"},
                     {32786, "１曲も読み込まれていません", nullptr}};
        for (const auto& c : cases) {
            Action(32773)->trigger();
            prompts->messages.clear();
            Action(c.number)->trigger();
            QCOMPARE(prompts->messages.size(), std::size_t{1});
            QCOMPARE(LastText(), Q(c.empty));
            QCOMPARE(LastMessage().icon, MessageIcon::Information);
            OpenSongs(1);
            prompts->messages.clear();
            // A window that opens now (tag editor, player) is closed at once.
            QTimer::singleShot(0, [] {
                if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
            });
            Action(c.number)->trigger();
            if (c.unselected) {
                QCOMPARE(LastText(), Q(c.unselected));
            } else {
                QVERIFY(prompts->messages.empty());
            }
        }
    }

    void f10OpensTheMenuBar() {
        auto* fileMenu = window->findChild<QMenu*>(QStringLiteral("menuFile"));
        QVERIFY(!fileMenu->isVisible());
        QTest::keyClick(List(), Qt::Key_F10);
        QTRY_VERIFY(fileMenu->isVisible());
        QCOMPARE(fileMenu->actions().front()->text(), Q("ファイルを開く"));
        QTest::keyClick(fileMenu, Qt::Key_Escape);
        QTRY_VERIFY(!fileMenu->isVisible());
        QVERIFY(window->isVisible());  // Esc closed the menu, not the window
    }

    void enterEscapeAndCloseEndTheWindow() {
        QTest::keyClick(List(), Qt::Key_Return);
        QVERIFY(!window->isVisible());
        QCOMPARE(window->result(), int(QDialog::Accepted));

        window->show();
        QTest::keyClick(Edit(1000), Qt::Key_Enter);
        QVERIFY(!window->isVisible());

        window->show();
        QTest::keyClick(List(), Qt::Key_Escape);
        QVERIFY(!window->isVisible());

        window->show();
        window->close();
        QVERIFY(!window->isVisible());

        window->show();
        Action(32776)->trigger();
        QVERIFY(!window->isVisible());
    }

    // A long load shows its progress and leaves nothing enabled that could start another
    // command; Esc stops it after the current song, and the window closes with the list and
    // its totals in step. (The progress delay is 0 here: no test waits half a second.)
    void escapeDuringALoadStopsItAndCloses() {
        const std::vector<std::string> paths = test::WriteLetterSongs(*dir, 8);
        window->setProgressDelay(0);
        bool shown = false, locked = false;
        QTimer::singleShot(0, window.get(), [&] {
            const LoadProgress* progress = window->loadProgress();
            shown = progress && progress->dialog() && progress->dialog()->isVisible();
            locked = !Action(32771)->isEnabled() && !List()->isEnabled();
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus ? focus : window.get(), Qt::Key_Escape);
        });
        window->LoadDropped(paths);
        QVERIFY(shown);
        QVERIFY(locked);
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
        Action(32789)->trigger();
        QVERIFY(openedUrls.empty());
        dir->Write("manual.htm", "<html></html>");
        Action(32789)->trigger();
        QCOMPARE(openedUrls.size(), std::size_t{1});
        QCOMPARE(openedUrls[0],
                 QUrl::fromLocalFile(QString::fromStdString(dir->File("manual.htm"))));
    }

    void manualExplainsEveryCommand() {
        QFile file(QStringLiteral(SORRELBOX_RESOURCE_DIR "/manual.htm"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString manual = QString::fromUtf8(file.readAll());
        int commands = 0;
        for (QAction* action : window->findChildren<QAction*>()) {
            if (!action->objectName().startsWith(QLatin1String("action"))) continue;
            ++commands;
            QVERIFY2(manual.contains(action->text()), qPrintable(action->text()));
        }
        QCOMPARE(commands, 16);
    }

    void settingsCommandSavesOnOkOnly() {
        const std::string ini = startup.iniPath;
        auto answerSettings = [](bool ok) {
            QTimer::singleShot(0, [ok] {
                auto* dialog = qobject_cast<CsetDlg*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                QCOMPARE(dialog->windowTitle(), Q("設定"));
                dialog->findChild<QCheckBox*>(QStringLiteral("check1073"))->click();
                dialog
                    ->findChild<QPushButton*>(ok ? QStringLiteral("button1")
                                                 : QStringLiteral("button2"))
                    ->click();
            });
        };
        answerSettings(false);
        Action(32787)->trigger();
        QVERIFY(!std::filesystem::exists(ini));
        QCOMPARE(settings.soutai, std::uint8_t{0});

        answerSettings(true);
        Action(32787)->trigger();
        QCOMPARE(settings.soutai, std::uint8_t{1});
        QCOMPARE(LoadSettings(ini), settings);
    }
};

}  // namespace sorrelbox

QTEST_MAIN(sorrelbox::ClistDlgTest)
#include "ClistDlgTest.moc"
