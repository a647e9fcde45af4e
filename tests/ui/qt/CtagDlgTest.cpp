// The tag editor window on the offscreen platform, with real files and scripted answers. The
// rules underneath are tested headless in tests/editor and tests/tagwrite; these prove the
// wiring once per flow and guard the faults met in the window.

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "analysis/Id3Reader.h"
#include "analysis/SongTable.h"
#include "platform/CodePage.h"
#include "platform/ScriptedPrompts.h"
#include "settings/Settings.h"
#include "support/Mp3Builder.h"
#include "support/TempDir.h"
#include "tagwrite/RenameSong.h"
#include "ui/main/ClistDlg.h"
#include "ui/tageditor/CtagDlg.h"
#include "ui/tageditor/Cv1tagDlg.h"
#include "ui/tageditor/Cv2tagDlg.h"

namespace sorrelbox {
namespace {

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Audio with an ID3v2.3 tag (Hello / Band) in front and an ID3v1 tag behind when v1Title is set.
test::Bytes Song(const std::string& v1Title, std::uint8_t track = 1, bool v2 = true) {
    test::Id3v2Tag v2Tag;
    v2Tag.frames = {test::TextFrame("TIT2", "Hello"), test::TextFrame("TPE1", "Band")};
    v2Tag.padding = 32;
    test::Id3v1Tag v1Tag;
    v1Tag.title = v1Title;
    v1Tag.artist = "Band";
    v1Tag.year = "1999";
    v1Tag.track = track;
    v1Tag.genre = 17;
    v1Tag.padByte = ' ';
    return (v2 ? v2Tag.Build() : test::Bytes{}) + test::CbrFile(8000) +
           (v1Title.empty() ? test::Bytes{} : v1Tag.Build());
}

template <typename T = QWidget>
T* Child(QWidget* window, const QString& name) {
    auto* child = window->findChild<T*>(name);
    if (!child) qFatal("no %s", qPrintable(name));
    return child;
}
QLineEdit* Edit(QWidget* window, int number) {
    return Child<QLineEdit>(window, QStringLiteral("edit%1").arg(number));
}
QCheckBox* Check(QWidget* window, int number) {
    return Child<QCheckBox>(window, QStringLiteral("check%1").arg(number));
}
void Click(QWidget* window, int number) {
    QTest::mouseClick(Child<QPushButton>(window, QStringLiteral("button%1").arg(number)),
                      Qt::LeftButton);
}
// Return on the button that has the focus.
void PressReturn(QWidget* window, int number) {
    auto* button = Child<QPushButton>(window, QStringLiteral("button%1").arg(number));
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return);
}
// Types over a field's text with real key presses.
void Type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

}  // namespace

class CtagDlgTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<ScopedCodePage> codePage;
    std::unique_ptr<test::TempDir> dir;
    std::unique_ptr<ScriptedPrompts> prompts;
    std::unique_ptr<SongTable> table;
    Settings settings;
    StartupInfo startup;
    std::vector<std::size_t> selected;

    // The songs in the table as the main window holds them, the first one scanned; the window
    // opened on one of them.
    std::unique_ptr<CtagDlg> Open(const std::vector<std::pair<std::string, test::Bytes>>& songs,
                                  TagEditorMode mode = TagEditorMode::Single, int firstPage = 0) {
        for (const auto& [name, bytes] : songs) {
            const std::string path = dir->Write(name, bytes);
            table->ScanMpegFile(path, ScanMode::Add);
            table->AppendEntry(path, SongListEntry(table->info().seconds, name));
        }
        table->ScanMpegFile(table->songPaths()[0], ScanMode::Show);
        TagEditorRequest request;
        request.mode = mode;
        request.path = table->songPaths()[0];
        request.songCount = static_cast<int>(songs.size());
        request.number = 1;
        request.firstPage = firstPage;
        TagEditorHost host{*table, settings, startup, *prompts, 0, [this](std::size_t index) {
                               selected.push_back(index);
                               table->ScanMpegFile(table->songPaths()[index], ScanMode::Show);
                           }};
        auto window = std::make_unique<CtagDlg>(request, std::move(host));
        window->show();
        return window;
    }
    SongTags Tags(std::size_t index) {
        SongTable scan(PathStyle::Posix);
        scan.ScanMpegFile(table->songPaths()[index], ScanMode::Quiet);
        return ReadSongTags(table->songPaths()[index], scan.info().id3v2Size).value();
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const auto& m : prompts->messages) texts.push_back(m.text);
        return texts;
    }

  private slots:
    void init() {
        codePage = std::make_unique<ScopedCodePage>(CodePage(CodePage::Kind::Utf8));
        dir = std::make_unique<test::TempDir>();
        prompts = std::make_unique<ScriptedPrompts>();
        table = std::make_unique<SongTable>(PathStyle::Posix);
        settings = Settings{};
        settings.backup = 0;
        settings.kanryoumes = 1;
        std::filesystem::copy_file(std::string(SORRELBOX_RESOURCE_DIR) + "/genre.txt",
                                   dir->path() / "genre.txt");
        startup = MakeStartupInfo(dir->path().string(), PathStyle::Posix);
        selected.clear();
    }
    void cleanup() {
        table.reset();
        codePage.reset();
    }

    void singleModeShowsTheSongReturnMarksAndUpdateWrites() {
        auto window = Open({{"song.mp3", Song("V1 title", 5)}});
        QWidget* w = window.get();
        QCOMPARE(window->windowTitle(), Q("ファイル情報&ID3タグ編集画面"));
        const std::pair<int, QString> shown[] = {
            {1009, QString::fromStdString(table->songPaths()[0])},
            {1010, Q("song")},
            {1041, Q("Hello")},
            {1032, Q("V1 title")},
            {1035, Q("1999")},
            {1038, Q("5")}};
        for (const auto& [number, text] : shown) QCOMPARE(Edit(w, number)->text(), text);
        QCOMPARE(Child<QComboBox>(w, "combo1020")->currentText(), Q("Band"));
        QCOMPARE(Child<QComboBox>(w, "combo1036")->currentText(), Q("ロック"));
        QVERIFY(!Edit(w, 1026)->text().isEmpty());
        QVERIFY(Check(w, 1039)->isChecked() && Check(w, 1019)->isChecked());
        QVERIFY(!Check(w, 1046)->isEnabled() && !Check(w, 1072)->isEnabled());
        QVERIFY(!Check(&window->v1Page(), 1055)->isEnabled());
        // Every control the keyboard reaches has a name for screen readers (an editable box's
        // text field is read through its box).
        for (QWidget* control : w->findChildren<QWidget*>()) {
            if (!control->isVisibleTo(w) || control->focusPolicy() == Qt::NoFocus ||
                qobject_cast<QComboBox*>(control->parentWidget())) {
                continue;
            }
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            QVERIFY2(accessible && !accessible->text(QAccessible::Name).isEmpty(),
                     qPrintable(control->objectName()));
        }

        // Return in a page only marks the change; on a focused button it presses that button.
        const std::string before = test::ReadAll(table->songPaths()[0]);
        Type(Edit(w, 1032), Q("Changed"));
        QTest::keyClick(Edit(w, 1032), Qt::Key_Return);
        PressReturn(w, 1015);  // 元に戻す, not 更新
        QVERIFY(window->isVisible());
        QCOMPARE(Edit(w, 1032)->text(), Q("V1 title"));
        QCOMPARE(test::ReadAll(table->songPaths()[0]), before);

        Type(Edit(w, 1035), Q("20001"));  // the year holds four characters
        QCOMPARE(Edit(w, 1035)->text(), Q("2000"));
        Type(Edit(w, 1041), Q("New title"));
        Type(Edit(w, 1037), Q("Note"));
        Click(w, 1);
        QCOMPARE(window->result(), int{QDialog::Accepted});
        QVERIFY(prompts->messages.empty());
        const SongTags tags = Tags(0);
        QCOMPARE(tags.v2.field(1).value, std::string("New title"));
        QCOMPARE(std::string(tags.v1.title.data()).substr(0, 8), std::string("V1 title"));
        QCOMPARE(std::string(tags.v1.comment.data()).substr(0, 4), std::string("Note"));
        QCOMPARE(tags.v1.track, std::uint8_t{5});
    }

    void firstPageChoosesTheTabAndAHandEditedOneShowsNone() {
        for (const int firstPage : {0, 1, 5}) {
            table = std::make_unique<SongTable>(PathStyle::Posix);
            auto window = Open({{"song.mp3", Song("")}}, TagEditorMode::Single, firstPage);
            auto* pages = Child<QStackedWidget>(window.get(), "pages");
            if (firstPage <= 1) {
                QCOMPARE(window->tabBar().currentIndex(), firstPage);
                QCOMPARE(pages->currentWidget(), firstPage == 0
                                                     ? &window->v1Page()
                                                     : static_cast<QWidget*>(&window->v2Page()));
                continue;
            }
            QVERIFY(pages->currentWidget() != &window->v1Page());
            QVERIFY(pages->currentWidget() != &window->v2Page());
            // A click on the tab that is already current shows its page.
            QTabBar& tabs = window->tabBar();
            QTest::mouseClick(&tabs, Qt::LeftButton, {},
                              tabs.tabRect(tabs.currentIndex()).center());
            QCOMPARE(pages->currentWidget(), tabs.currentIndex() == 0
                                                 ? &window->v1Page()
                                                 : static_cast<QWidget*>(&window->v2Page()));
            tabs.setCurrentIndex(1);
            tabs.setCurrentIndex(0);
            QCOMPARE(pages->currentWidget(), &window->v1Page());
        }
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
        QCOMPARE(selected, (std::vector<std::size_t>{0, 1, 0}));

        Type(Edit(w, 1038), Q("x"));  // no number: automatic tracks stay off
        Check(w, 1046)->click();
        QVERIFY(!Check(w, 1046)->isChecked());
        QCOMPARE(prompts->messages.size(), std::size_t{1});
        Type(Edit(w, 1038), Q("0"));
        Check(w, 1046)->click();
        QCOMPARE(Edit(w, 1038)->text(), Q("1"));
        QCOMPARE(Edit(w, 1040)->text(), Q("1"));
        Click(w, 1);
        QCOMPARE(window->windowTitle(), Q("ID3タグ連続編集　2/3"));
        QCOMPARE(Edit(w, 1038)->text(), Q("2"));
        PressReturn(w, 1014);  // cancel: b keeps its track, c gets 2
        Click(w, 1);
        QVERIFY(!window->isVisible());  // the last song closes the window
        QCOMPARE(Tags(0).v1.track, std::uint8_t{1});
        QCOMPARE(Tags(1).v1.track, std::uint8_t{12});
        QCOMPARE(Tags(2).v1.track, std::uint8_t{2});
    }

    void buttonsKeepWhatIsTypedElsewhere() {
        auto window = Open({{"a.mp3", Song("Old")}, {"b.mp3", Song("")}}, TagEditorMode::List);
        QWidget* w = window.get();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QLineEdit* v1Title = Edit(w, 1032);
        QLineEdit* v1Track = Edit(w, 1038);
        QLineEdit* v2Title = Edit(w, 1041);
        QCheckBox* hold = Check(&window->v1Page(), 1055);

        // Tab into the artist box: its text is not left selected.
        v1Title->setFocus();
        QTest::keyClick(v1Title, Qt::Key_Tab);
        auto* artist = Child<QComboBox>(w, "combo1033");
        QTRY_VERIFY(artist->hasFocus());
        QCoreApplication::processEvents();
        QCOMPARE(artist->currentText(), Q("Band"));
        QVERIFY(!artist->lineEdit()->hasSelectedText());

        // A track that is no number, then buttons that do not need it.
        Type(v1Title, Q("Typed"));
        Type(v1Track, Q("x"));
        hold->click();
        Click(w, 1011);  // クリア
        QCOMPARE(Edit(w, 1010)->text(), QString());
        Click(w, 1061);  // 保持全解除
        QVERIFY(!hold->isChecked());
        window->tabBar().setCurrentIndex(1);
        Type(v2Title, Q("V2 typed"));
        Click(w, 1008);  // 追加 reads the ID3v2 page only
        QCOMPARE(Edit(w, 1010)->text(), Q("V2 typed"));
        Check(w, 1046)->click();  // from the ID3v2 track
        QCOMPARE(v1Track->text(), Q("1"));
        QVERIFY(prompts->messages.empty());
        QCOMPARE(v1Title->text(), Q("Typed"));

        // The caption names the next song before its load fails.
        std::filesystem::remove(table->songPaths()[1]);
        QStringList captions;
        prompts->onMessage = [&](const auto&) { captions << window->windowTitle(); };
        Click(w, 1048);
        QCOMPARE(Texts(), std::vector<std::string>{"ID3タグを読み込めませんでした"});
        QCOMPARE(captions, QStringList{Q("ID3タグ連続編集　2/2")});
    }

    void conversionAndArtistButtonsFillThePages() {
        dir->Write("artist.txt", "Alpha\r\nOmega\r\n");
        auto window = Open({{"song.mp3", Song("", 1)}});
        QWidget* w = window.get();
        window->tabBar().setCurrentIndex(1);
        Type(Edit(w, 1040), Q("7/12"));
        Click(w, 1018);  // ID3v2 to ID3v1
        QCOMPARE(window->tabBar().currentIndex(), 0);
        QVERIFY(Check(w, 1039)->isChecked() && Edit(w, 1032)->isEnabled());
        QCOMPARE(Edit(w, 1032)->text(), Q("Hello"));
        QCOMPARE(Edit(w, 1038)->text(), Q("7"));
        Type(Edit(w, 1032), Q("Back"));
        Click(w, 1017);  // ID3v1 to ID3v2
        QCOMPARE(window->tabBar().currentIndex(), 1);
        QCOMPARE(Edit(w, 1041)->text(), Q("Back"));
        QCOMPARE(Edit(w, 1040)->text(), Q("7"));

        // The added artist joins both boxes in order and the file; each page keeps its value.
        window->tabBar().setCurrentIndex(0);
        auto* v1Artist = Child<QComboBox>(w, "combo1033");
        auto* v2Artist = Child<QComboBox>(w, "combo1020");
        v1Artist->setEditText(Q("Middle"));
        Click(w, 1016);
        QCOMPARE(test::ReadAll(dir->File("artist.txt")),
                 std::string("Alpha\r\nMiddle\r\nOmega\r\n"));
        QCOMPARE(v2Artist->count(), 3);
        QCOMPARE(v1Artist->currentIndex(), 1);
        QCOMPARE(v2Artist->currentText(), Q("Band"));
    }

    void mainWindowRenamesThroughTheEditor() {
        const std::string path = dir->Write("old.mp3", Song("New", 3, false));
        ClistDlg main(settings, startup, prompts.get());
        main.LoadDropped({path});
        main.SelectRow(0);
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto* editor = qobject_cast<CtagDlg*>(QApplication::activeModalWidget());
            if (!editor) return;
            opened = true;
            Edit(editor, 1010)->setText(Q("%1ti"));
            Click(editor, 1);
        });
        main.findChild<QAction*>(QStringLiteral("action32777"))->trigger();
        QVERIFY(opened);
        QCOMPARE(Texts(), std::vector<std::string>{"ファイル名を変更しますか？"});
        QVERIFY(std::filesystem::exists(dir->path() / "New.mp3"));
        QVERIFY(Child<QListWidget>(&main, "list1007")->item(0)->text().endsWith(Q("New.mp3")));
        QVERIFY(main.table().songPaths()[0].ends_with("New.mp3"));
    }
};

}  // namespace sorrelbox

QTEST_MAIN(sorrelbox::CtagDlgTest)
#include "CtagDlgTest.moc"
