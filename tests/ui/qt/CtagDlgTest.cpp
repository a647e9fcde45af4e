// The tag editor window on the offscreen platform with real files, keys and clicks: one test
// per flow proving the wiring and the window's own behaviour; the rules are in tests/editor.

#include <QtTest>
#include <QtWidgets>
#include <filesystem>

#include "analysis/SongTable.h"
#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"
#include "tagwrite/RenameSong.h"
#include "ui/main/ClistDlg.h"
#include "ui/tageditor/CtagDlg.h"
#include "ui/tageditor/Cv1tagDlg.h"
#include "ui/tageditor/Cv2tagDlg.h"

namespace sorrelbox {

// Audio behind an ID3v2.3 tag (Hello / Band) when v2, then an ID3v1 tag (Band, 1999, Rock).
test::Bytes Song(const std::string& v1Title, std::uint8_t track = 1, bool v2 = true) {
    test::Id3v2Tag v2Tag;
    v2Tag.frames = {test::TextFrame("TIT2", "Hello"), test::TextFrame("TPE1", "Band")};
    const test::Id3v1Tag v1{v1Title, "Band", "", "1999", "", track, 17, ' ', {}};
    return (v2 ? v2Tag.Build() : "") + test::CbrFile(8000) + (v1Title.empty() ? "" : v1.Build());
}

class CtagDlgTest : public QObject {
    Q_OBJECT

    static QString Q(const char* utf8) { return QString::fromUtf8(utf8); }
    template <typename T>
    static T* Child(QWidget* window, const char* kind, int number) {
        auto* child = window->findChild<T*>(QString::fromLatin1(kind) + QString::number(number));
        if (!child) qFatal("no %s%d", kind, number);
        return child;
    }
    static QLineEdit* Edit(QWidget* w, int n) { return Child<QLineEdit>(w, "edit", n); }
    static QCheckBox* Check(QWidget* w, int n) { return Child<QCheckBox>(w, "check", n); }
    static QComboBox* Combo(QWidget* w, int n) { return Child<QComboBox>(w, "combo", n); }
    static void Click(QWidget* w, int n) {
        QTest::mouseClick(Child<QPushButton>(w, "button", n), Qt::LeftButton);
    }
    // Return on the button that has the focus.
    static void PressReturn(QWidget* w, int n) {
        Child<QPushButton>(w, "button", n)->setFocus();
        QTest::keyClick(Child<QPushButton>(w, "button", n), Qt::Key_Return);
    }
    static void Type(QLineEdit* edit, const char* text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, Q(text));
    }

    // Fresh for every test: the start-up folder with genre.txt, the table, the answers.
    struct State {
        ScopedCodePage codePage{CodePage(CodePage::Kind::Utf8)};
        test::TempDir dir;
        ScriptedPrompts prompts;
        SongTable table{PathStyle::Posix};
        Settings settings{.kanryoumes = 1, .backup = 0};
        StartupInfo startup = MakeStartupInfo(dir.path().string(), PathStyle::Posix);
        std::vector<std::size_t> selected;
    };
    std::unique_ptr<State> s;

    // The songs in the table as the main window holds them; the window opened on the first.
    std::unique_ptr<CtagDlg> Open(const std::vector<std::pair<std::string, test::Bytes>>& songs,
                                  TagEditorMode mode, int firstPage = 0) {
        for (const auto& [name, bytes] : songs) {
            const std::string path = s->dir.Write(name, bytes);
            s->table.ScanMpegFile(path, ScanMode::Add);
            s->table.AppendEntry(path, SongListEntry(s->table.info().seconds, name));
        }
        s->table.ScanMpegFile(s->table.songPaths()[0], ScanMode::Show);
        const TagEditorRequest request{firstPage, mode, s->table.songPaths()[0],
                                       static_cast<int>(songs.size()), 1};
        auto window = std::make_unique<CtagDlg>(
            request,
            TagEditorHost{s->table, s->settings, s->startup, s->prompts, 0, [this](std::size_t i) {
                              s->selected.push_back(i);
                              s->table.ScanMpegFile(s->table.songPaths()[i], ScanMode::Show);
                          }});
        window->show();
        return window;
    }
    // The ID3v1 tag at the end of song index.
    std::string V1(std::size_t index) {
        const std::string bytes = test::ReadAll(s->table.songPaths()[index]);
        return bytes.substr(bytes.size() - 128);
    }
    static QWidget* Shown(CtagDlg& window) {
        return window.findChild<QStackedWidget*>("pages")->currentWidget();
    }

  private slots:
    void init() {
        s = std::make_unique<State>();
        s->dir.Write("genre.txt",
                     test::ReadAll(std::string(SORRELBOX_RESOURCE_DIR) + "/genre.txt"));
    }
    void cleanup() { s.reset(); }

    void singleModeShowsTheSongReturnMarksAndUpdateWrites() {
        auto window = Open({{"song.mp3", Song("V1 title", 5)}}, TagEditorMode::Single);
        QWidget* w = window.get();
        QCOMPARE(window->windowTitle(), Q("ファイル情報&ID3タグ編集画面"));
        QCOMPARE(Shown(*window), &window->v1Page());
        const std::pair<int, const char*> shown[] = {
            {1010, "song"}, {1041, "Hello"}, {1032, "V1 title"}, {1035, "1999"}, {1038, "5"}};
        for (const auto& [number, text] : shown) QCOMPARE(Edit(w, number)->text(), Q(text));
        QCOMPARE(Combo(w, 1036)->currentText(), Q("ロック"));
        QVERIFY(!Check(w, 1046)->isEnabled() && !Check(w, 1055)->isEnabled());  // list mode only
        // Return in a field runs 更新, which only clears the mark; on a focused button Return
        // presses that button.
        const std::string before = test::ReadAll(s->table.songPaths()[0]);
        Type(Edit(w, 1032), "Changed");
        QTest::keyClick(Edit(w, 1032), Qt::Key_Return);
        PressReturn(w, 1015);  // 元に戻す
        QVERIFY(window->isVisible());
        QCOMPARE(Edit(w, 1032)->text(), Q("V1 title"));
        QCOMPARE(test::ReadAll(s->table.songPaths()[0]), before);

        Type(Edit(w, 1035), "20001");  // the year holds four characters
        QCOMPARE(Edit(w, 1035)->text(), Q("2000"));
        Type(Edit(w, 1041), "New title");
        Type(Edit(w, 1037), "Note");
        Click(w, 1);
        QCOMPARE(window->result(), int{QDialog::Accepted});
        QVERIFY(s->prompts.messages.empty());
        QVERIFY(test::ReadAll(s->table.songPaths()[0]).find("New title") != std::string::npos);
        QCOMPARE(V1(0).substr(3, 8) + V1(0).substr(93, 8), std::string("V1 title2000Note"));
        QCOMPARE(int{V1(0)[126]}, 5);
    }

    void listModeWalksWithCounterAndAutomaticTracks() {
        auto window = Open({{"a.mp3", Song("a", 11, false)},
                            {"b.mp3", Song("b", 12, false)},
                            {"c.mp3", Song("c", 13, false)}},
                           TagEditorMode::List);
        QWidget* w = window.get();
        QCOMPARE(window->windowTitle(), Q("ID3タグ連続編集　1/3"));
        Click(w, 1048);
        QCOMPARE(window->windowTitle(), Q("ID3タグ連続編集　2/3"));
        QCOMPARE(Edit(w, 1032)->text(), Q("b"));
        PressReturn(w, 1047);
        Click(w, 1047);  // the first song: nothing
        QCOMPARE(window->windowTitle(), Q("ID3タグ連続編集　1/3"));
        QCOMPARE(s->selected, (std::vector<std::size_t>{0, 1, 0}));

        Type(Edit(w, 1038), "x");  // no number: automatic tracks stay off
        Check(w, 1046)->click();
        QVERIFY(!Check(w, 1046)->isChecked());
        QCOMPARE(s->prompts.messages.size(), std::size_t{1});
        Type(Edit(w, 1038), "0");
        Check(w, 1046)->click();
        QCOMPARE(Edit(w, 1038)->text() + Edit(w, 1040)->text(), Q("11"));
        Click(w, 1);
        QCOMPARE(window->windowTitle(), Q("ID3タグ連続編集　2/3"));
        QCOMPARE(Edit(w, 1038)->text(), Q("2"));
        PressReturn(w, 1014);  // cancel: b keeps its track, c gets 2
        Click(w, 1);
        QVERIFY(!window->isVisible());  // the last song closes the window
        QCOMPARE(V1(0).substr(126, 1) + V1(1)[126] + V1(2)[126], std::string("\x01\x0C\x02"));
    }

    // The buttons change only what they should; a hand-edited first page shows no page until
    // a tab is clicked.
    void buttonsKeepWhatIsTypedElsewhere() {
        s->dir.Write("artist.txt", "Alpha\r\nOmega\r\n");
        auto window = Open({{"a.mp3", Song("Old")}, {"b.mp3", Song("")}}, TagEditorMode::List, 5);
        QWidget* w = window.get();
        QTabBar& tabs = window->tabBar();
        QVERIFY(Shown(*window) != &window->v1Page() && Shown(*window) != &window->v2Page());
        QTest::mouseClick(&tabs, Qt::LeftButton, {}, tabs.tabRect(0).center());
        QCOMPARE(Shown(*window), &window->v1Page());
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));

        // Tab into the artist box: its text is not left selected.
        Edit(w, 1032)->setFocus();
        QTest::keyClick(Edit(w, 1032), Qt::Key_Tab);
        QTRY_VERIFY(Combo(w, 1033)->hasFocus());
        QCoreApplication::processEvents();
        QVERIFY(!Combo(w, 1033)->lineEdit()->hasSelectedText());

        Type(Edit(w, 1032), "Typed");
        Type(Edit(w, 1038), "x");  // no number, and buttons that do not need it
        Check(&window->v1Page(), 1055)->click();
        Click(w, 1011);  // クリア
        QCOMPARE(Edit(w, 1010)->text(), QString());
        Click(w, 1061);  // 保持全解除
        QVERIFY(!Check(&window->v1Page(), 1055)->isChecked());
        tabs.setCurrentIndex(1);
        Type(Edit(w, 1041), "V2 typed");
        Click(w, 1008);  // 追加 reads the ID3v2 page only
        QCOMPARE(Edit(w, 1010)->text(), Q("V2 typed"));
        Type(Edit(w, 1040), "7/12");
        Check(w, 1046)->click();  // from the ID3v2 track
        QCOMPARE(Edit(w, 1038)->text(), Q("7"));
        QVERIFY(s->prompts.messages.empty());
        QCOMPARE(Edit(w, 1032)->text(), Q("Typed"));

        Click(w, 1018);  // ID3v2 to ID3v1
        QCOMPARE(tabs.currentIndex(), 0);
        QCOMPARE(Edit(w, 1032)->text(), Q("V2 typed"));
        Type(Edit(w, 1032), "Back");
        Click(w, 1017);  // ID3v1 to ID3v2
        QCOMPARE(tabs.currentIndex(), 1);
        QCOMPARE(Edit(w, 1041)->text(), Q("Back"));

        // The added artist joins both boxes in order and the file; each page keeps its value.
        tabs.setCurrentIndex(0);
        Combo(w, 1033)->setEditText(Q("Middle"));
        Click(w, 1016);
        QCOMPARE(test::ReadAll(s->dir.File("artist.txt")),
                 std::string("Alpha\r\nMiddle\r\nOmega\r\n"));
        QCOMPARE(Combo(w, 1020)->count(), 3);
        QCOMPARE(Combo(w, 1033)->currentIndex(), 1);
        QCOMPARE(Combo(w, 1020)->currentText(), Q("Band"));

        // The caption names the next song before its load fails.
        std::filesystem::remove(s->table.songPaths()[1]);
        QStringList captions;
        s->prompts.onMessage = [&](const auto&) { captions << window->windowTitle(); };
        Click(w, 1048);
        QCOMPARE(s->prompts.messages.at(0).text, std::string("ID3タグを読み込めませんでした"));
        QCOMPARE(captions.at(0), Q("ID3タグ連続編集　2/2"));
    }

    // The main window's menu opens the editor on its first page (setting) and shows the new name.
    void mainWindowRenamesThroughTheEditor() {
        s->settings.hyouzi = 1;
        const std::string path = s->dir.Write("old.mp3", Song("New", 3, false));
        ClistDlg main(s->settings, s->startup, &s->prompts);
        main.LoadDropped({path});
        main.SelectRow(0);
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto* editor = qobject_cast<CtagDlg*>(QApplication::activeModalWidget());
            if (!editor) return;
            opened = Shown(*editor) == &editor->v2Page();
            Edit(editor, 1010)->setText(Q("%1ti"));
            Click(editor, 1);
        });
        main.findChild<QAction*>(QStringLiteral("action32777"))->trigger();
        QVERIFY(opened);
        QCOMPARE(s->prompts.messages.at(0).text, std::string("ファイル名を変更しますか？"));
        QVERIFY(std::filesystem::exists(s->dir.path() / "New.mp3"));
        QVERIFY(Child<QListWidget>(&main, "list", 1007)->item(0)->text().endsWith(Q("New.mp3")));
        QVERIFY(main.table().songPaths()[0].ends_with("New.mp3"));
    }
};

}  // namespace sorrelbox

QTEST_MAIN(sorrelbox::CtagDlgTest)
#include "CtagDlgTest.moc"
