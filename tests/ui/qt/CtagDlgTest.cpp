// The tag editor window on the offscreen platform with real files, keys and clicks: one test
// per flow proving the wiring and the window's own behaviour; the rules are in tests/editor.

#include <QtTest>
#include <QtWidgets>
#include <filesystem>

#include "analysis/SongTable.h"
#include "platform/CodePage.h"
#include "support/Messages.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"
#include "tagwrite/RenameSong.h"
#include "ui/main/ListCommands.h"
#include "ui/tageditor/CtagDlg.h"
#include "ui/tageditor/Cv1tagDlg.h"
#include "ui/tageditor/Cv2tagDlg.h"

namespace sorrelbox {

// Audio behind an ID3v2.3 tag (Hello / Band) when v2, then an ID3v1 tag (Band, 1999, Rock).
test::Bytes Song(const std::string& v1Title, std::uint8_t track = 1, bool v2 = true) {
    test::Id3v2Tag v2Tag;
    v2Tag.frames = {test::TextFrame("TIT2", "Hello"), test::TextFrame("TPE1", "Band")};
    const test::Id3v1Tag v1{v1Title, "Band", "", "1999", "", track, 17, ' '};
    return (v2 ? v2Tag.Build() : "") + test::CbrFile(8000) + v1.Build();
}

class CtagDlgTest : public QObject {
    Q_OBJECT

    // The control named kind + number, the visible one of two (both pages have hold boxes).
    template <typename T>
    static T* Child(QWidget* window, const char* kind, int number) {
        const auto all =
            window->findChildren<T*>(QString::fromLatin1(kind) + QString::number(number));
        if (all.isEmpty()) qFatal("no %s%d", kind, number);
        return all.size() > 1 && !all[0]->isVisible() ? all[1] : all[0];
    }
    static QLineEdit* Edit(QWidget* w, int n) { return Child<QLineEdit>(w, "edit", n); }
    static QComboBox* Combo(QWidget* w, int n) { return Child<QComboBox>(w, "combo", n); }
    static QPushButton* Button(QWidget* w, int n) { return Child<QPushButton>(w, "button", n); }
    static QCheckBox* Check(QWidget* w, int n) { return Child<QCheckBox>(w, "check", n); }

    // Runs a flow of steps separated by "; " with real keys and clicks, stopping at a failure:
    // type N T (types T over field N; \r is Return), press N (Return on button N), click N
    // (button), box N (check box), tab N, and the checks is N T (field N shows T), on N 0|1
    // (check box N), title T, page 0|1|2 (the ID3v1 page, the ID3v2 page or none shown).
    static void Run(CtagDlg& window, const QString& script) {
        for (const QString& step : script.split(QStringLiteral("; "))) {
            const QString verb = step.section(' ', 0, 0), text = step.section(' ', 2);
            const int n = step.section(' ', 1, 1).toInt();
            if (verb == "type") Edit(&window, n)->setFocus();
            if (verb == "type") Edit(&window, n)->selectAll();
            if (verb == "type") QTest::keyClicks(Edit(&window, n), text);
            if (verb == "press") QTest::keyClick(Button(&window, n), Qt::Key_Return);
            if (verb == "click") QTest::mouseClick(Button(&window, n), Qt::LeftButton);
            if (verb == "box")  // on the box itself: some stretch past their label
                QTest::mouseClick(Check(&window, n), Qt::LeftButton, {}, {6, 6});
            if (verb == "tab")
                QTest::mouseClick(&window.tabBar(), Qt::LeftButton, {},
                                  window.tabBar().tabRect(n).center());
            if (verb == "is") QCOMPARE(Edit(&window, n)->text(), text);
            if (verb == "on") QCOMPARE(Check(&window, n)->isChecked(), text == "1");
            if (verb == "title") QCOMPARE(window.windowTitle(), step.section(' ', 1));
            if (verb == "page")
                QCOMPARE(window.findChild<QStackedWidget*>("pages")->currentIndex(), n);
            if (QTest::currentTestFailed()) return qWarning("at step %s", qPrintable(step));
        }
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
        auto window = std::make_unique<CtagDlg>(
            TagEditorRequest{firstPage, mode, s->table.songPaths()[0],
                             static_cast<int>(songs.size()), 1},
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

  private slots:
    void init() {
        s = std::make_unique<State>();
        s->dir.Write("genre.txt",
                     test::ReadAll(std::string(SORRELBOX_RESOURCE_DIR) + "/genre.txt"));
    }
    void cleanup() { s.reset(); }

    // A hand-edited first page shows no page until a tab is clicked. Return in a field runs 更新,
    // which only clears the mark; Return on a button presses it (元に戻す).
    // Each field reports its focus to 追加 and ファイル名入力 (the name field none; the years and
    // tracks take no name). 更新 writes the ID3v1 changes although the ID3v2 tag's removal and the
    // rename are cancelled.
    void singleModeFollowsTheFocusAndWritesWhatIsAnswered() {
        s->dir.Write("artist.txt", "Alpha\r\nOmega\r\n");
        auto window = Open({{"song.mp3", Song("V1 title", 5)}}, TagEditorMode::Single, 5);
        QWidget* w = window.get();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        const std::string before = test::ReadAll(s->table.songPaths()[0]);
        Run(*window,
            "title ファイル情報&ID3タグ編集画面; page 2; tab 0; page 0; is 1010 song; "
            "is 1041 Hello; is 1032 V1 title; is 1038 5; type 1032 Changed\r; "
            "press 1015; is 1032 V1 title");
        QVERIFY(window->isVisible() && !Check(w, 1046)->isEnabled());
        QCOMPARE(Combo(w, 1036)->currentText(), QStringLiteral("ロック"));
        QCOMPARE(test::ReadAll(s->table.songPaths()[0]), before);
        // Tab into the artist box: its text is not left selected.
        Edit(w, 1032)->setFocus();
        QTest::keyClick(Edit(w, 1032), Qt::Key_Tab);
        QTRY_VERIFY(Combo(w, 1033)->hasFocus());
        QCoreApplication::processEvents();
        QVERIFY(!Combo(w, 1033)->lineEdit()->hasSelectedText());
        Run(*window, "click 1012");  // ファイル名入力 into the artist box, which keeps the focus
        QVERIFY(Combo(w, 1033)->lineEdit()->hasFocus());
        QString script = "type 1010 nm; click 1008; is 1010 nm; click 1011";
        for (int field : {1032, 1034, 1035, 1037, 1038, 0, 1041, 1042, 1043, 1040, 1045, 1022, 1023,
                          1024, 1025}) {
            script += field ? QString("; type %1 %2; click 1008").arg(field).arg(field % 10)
                            : QString("; tab 1");
        }
        Run(*window, script +
                         "; is 1010 24578123052345; type 1010 N; type 1041 T; click 1012; "
                         "is 1041 TN; type 1043 Y; click 1012; is 1043 Y; type 1040 K; "
                         "click 1012; is 1040 K; type 1025 E; click 1012; is 1025 EN; tab 0; "
                         "type 1035 Y; click 1012; is 1035 Y; type 1038 7; click 1012; "
                         "is 1038 7; type 1037 C; click 1012; is 1037 CN");
        // The added artist joins both boxes, picked on the shown page; the other keeps its text.
        Combo(w, 1033)->setEditText(QStringLiteral("Middle"));
        Run(*window, "click 1016");
        QCOMPARE(Combo(w, 1020)->currentText() + Combo(w, 1020)->itemText(1) +
                     QString::number(Combo(w, 1033)->currentIndex()),
                 QStringLiteral("BandMiddle1"));
        s->prompts.answers = {MessageAnswer::Cancel, MessageAnswer::Cancel};
        Run(*window,
            "tab 0; type 1035 20001; is 1035 2000; type 1037 Note; type 1010 other; tab 1; "
            "box 1019; click 1");
        QCOMPARE(window->result(), int{QDialog::Accepted});
        QCOMPARE(s->prompts.messages, (std::vector{test::Question("ID3v2タグを削除しますか？"),
                                                   test::Question("ファイル名を変更しますか？")}));
        QCOMPARE(test::ReadAll(s->table.songPaths()[0]).substr(0, 40), before.substr(0, 40));
        // The title and the track as the focus rows left them.
        QCOMPARE(V1(0).substr(3, 2) + V1(0).substr(93, 8) + V1(0)[126],
                 std::string("2 2000Note\x07"));
    }

    // Forwards keeping the name and the held title, back (Return on the button), nothing
    // before the first song; 保持全解除 on both pages; automatic tracks refused for a track that is
    // no number, then counting updates up to 255, ended by going back; songs that fail to load are
    // skipped, named in the caption before they fail.
    void listModeWalksWithCounterAndAutomaticTracks() {
        auto window = Open({{"a.mp3", Song("a", 11, false)},
                            {"b.mp3", Song("b", 12, false)},
                            {"c.mp3", Song("c", 13, false)}},
                           TagEditorMode::List);
        Run(*window,
            "title ID3タグ連続編集　1/3; box 1072; box 1055; click 1048; "
            "title ID3タグ連続編集　2/3; is 1032 a; is 1010 a; press 1047; click 1047; "
            "title ID3タグ連続編集　1/3; tab 1; box 1052; tab 0; click 1061; on 1055 0; tab 1; "
            "on 1052 0; tab 0; type 1038 x; box 1046; on 1046 0; type 1038 254; box 1046; "
            "is 1040 254; click 1; is 1038 255; click 1; title ID3タグ連続編集　3/3; is 1040 255; "
            "is 1038 255");
        // Back past b.mp3, gone, to a.mp3; forwards again b.mp3 fails and is found damaged.
        std::filesystem::remove(s->table.songPaths()[1]);
        QStringList captions;
        s->prompts.onMessage = [&](const auto&) { captions << window->windowTitle(); };
        Run(*window, "press 1047; title ID3タグ連続編集　1/3; on 1046 0; click 1048");
        QCOMPARE(s->selected, (std::vector<std::size_t>{0, 1, 0, 1, 2, 1, 0, 1}));
        // The integer; b cannot be a.mp3 (question, failure); b fails back and forth; the damage.
        QCOMPARE(s->prompts.messages.size(), std::size_t{6});
        QCOMPARE(captions, QStringList(3, QStringLiteral("ID3タグ連続編集　2/3")));
        QVERIFY(!window->isVisible());
        QCOMPARE(V1(0).substr(126, 1) + V1(2)[126], std::string("\xFE\x0D"));
    }
};

}  // namespace sorrelbox

QTEST_MAIN(sorrelbox::CtagDlgTest)
#include "CtagDlgTest.moc"
