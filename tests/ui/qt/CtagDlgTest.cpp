// The tag editor window on the offscreen platform, driven by object names, with scripted
// answers. The flows underneath are tested headless in test_tagwrite; these check that the
// window shows the editor's state and hands the user's input to it.

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

test::Bytes V1Tag(const std::string& title, std::uint8_t track) {
    test::Id3v1Tag tag;
    tag.title = title;
    tag.artist = "Band";
    tag.track = track;
    tag.genre = 17;
    tag.padByte = ' ';
    return tag.Build();
}

test::Bytes V2Tag(std::uint8_t major = 3) {
    test::Id3v2Tag tag;
    tag.major = major;
    if (major == 2) {
        tag.frames = {test::TextFrame("TT2", "Old")};
    } else {
        tag.frames = {test::TextFrame("TIT2", "Hello"), test::TextFrame("TPE1", "Band")};
    }
    tag.padding = 32;
    return tag.Build();
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

    // The songs in the table as the main window holds them; the first one scanned.
    void AddSongs(const std::vector<std::pair<std::string, test::Bytes>>& songs) {
        for (const auto& [name, bytes] : songs) {
            const std::string path = dir->Write(name, bytes);
            table->ScanMpegFile(path, ScanMode::Add);
            table->AppendEntry(path, SongListEntry(table->info().seconds, name));
        }
        table->ScanMpegFile(table->songPaths()[0], ScanMode::Show);
    }

    std::unique_ptr<CtagDlg> Open(TagEditorMode mode, int number = 1) {
        TagEditorRequest request;
        request.mode = mode;
        request.path = table->songPaths()[static_cast<std::size_t>(number) - 1];
        request.songCount = static_cast<int>(table->songPaths().size());
        request.number = number;
        TagEditorHost host{*table, settings, startup, *prompts, 0, [this](std::size_t index) {
                               selected.push_back(index);
                               table->ScanMpegFile(table->songPaths()[index], ScanMode::Show);
                           }};
        auto window = std::make_unique<CtagDlg>(request, std::move(host));
        window->show();
        return window;
    }

    template <typename T>
    static T* Child(QWidget* window, const char* name) {
        auto* child = window->findChild<T*>(QString::fromLatin1(name));
        if (!child) qFatal("no %s", name);
        return child;
    }
    static QPushButton* Button(QWidget* window, int number) {
        return Child<QPushButton>(window,
                                  QStringLiteral("button%1").arg(number).toLatin1().constData());
    }
    static void Click(QWidget* window, int number) {
        QTest::mouseClick(Button(window, number), Qt::LeftButton);
    }
    // Return on the button that has the focus.
    static void PressReturn(QWidget* window, int number) {
        QPushButton* button = Button(window, number);
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);
    }

    std::optional<SongTags> Tags(const std::string& path) {
        SongTable scan(PathStyle::Posix);
        scan.ScanMpegFile(path, ScanMode::Quiet);
        return ReadSongTags(path, scan.info().id3v2Size);
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

    void singleModeShowsTheSongAndUpdateWrites() {
        AddSongs({{"song.mp3", V2Tag() + test::CbrFile(8000) + V1Tag("V1 title", 5)}});
        auto window = Open(TagEditorMode::Single);
        QVERIFY(!window->finishedEarly());
        QCOMPARE(Child<QLineEdit>(window.get(), "edit1009")->text(),
                 QString::fromStdString(table->songPaths()[0]));
        QCOMPARE(Child<QLineEdit>(window.get(), "edit1010")->text(), Q("song"));
        QCOMPARE(Child<QLineEdit>(window.get(), "edit1041")->text(), Q("Hello"));
        QCOMPARE(Child<QComboBox>(window.get(), "combo1020")->currentText(), Q("Band"));
        QCOMPARE(Child<QLineEdit>(window.get(), "edit1032")->text(), Q("V1 title"));
        QCOMPARE(Child<QLineEdit>(window.get(), "edit1038")->text(), Q("5"));
        QVERIFY(Child<QCheckBox>(window.get(), "check1039")->isChecked());
        QVERIFY(Child<QCheckBox>(window.get(), "check1019")->isChecked());
        QVERIFY(!Child<QCheckBox>(window.get(), "check1046")->isEnabled());
        QVERIFY(!Child<QCheckBox>(window.get(), "check1072")->isEnabled());
        QVERIFY(!Child<QCheckBox>(&window->v1Page(), "check1055")->isEnabled());
        QCOMPARE(window->windowTitle(), Q("ファイル情報&ID3タグ編集画面"));
        QVERIFY(!Child<QLineEdit>(window.get(), "edit1026")->text().isEmpty());

        Child<QLineEdit>(window.get(), "edit1041")->setText(Q("New title"));
        Child<QLineEdit>(window.get(), "edit1037")->setText(Q("Note"));
        Click(window.get(), 1);
        QCOMPARE(window->result(), int{QDialog::Accepted});
        QVERIFY(!window->isVisible());
        QVERIFY(prompts->messages.empty());
        const auto tags = Tags(table->songPaths()[0]);
        QVERIFY(tags);
        QCOMPARE(tags->v2.field(1).value, std::string("New title"));
        QCOMPARE(std::string(tags->v1.title.data()).substr(0, 8), std::string("V1 title"));
        QCOMPARE(std::string(tags->v1.comment.data()).substr(0, 4), std::string("Note"));
        QCOMPARE(tags->v1.track, std::uint8_t{5});
    }

    void firstPageChoosesTheTabAfterALoad() {
        AddSongs({{"song.mp3", V2Tag() + test::CbrFile(8000)}});
        for (const int firstPage : {0, 1, 5}) {
            TagEditorRequest request;
            request.path = table->songPaths()[0];
            request.firstPage = firstPage;
            CtagDlg window(request, TagEditorHost{*table, settings, startup, *prompts, 0, {}});
            auto* pages = Child<QStackedWidget>(&window, "pages");
            QWidget* const want[] = {&window.v1Page(), &window.v2Page(), nullptr};
            if (firstPage <= 1) {
                QCOMPARE(pages->currentWidget(), want[firstPage]);
                QCOMPARE(window.tabBar().currentIndex(), firstPage);
            } else {
                // A hand-edited setting shows no page until a tab is chosen.
                QVERIFY(pages->currentWidget() != &window.v1Page());
                QVERIFY(pages->currentWidget() != &window.v2Page());
                window.tabBar().setCurrentIndex(1);
                QCOMPARE(pages->currentWidget(), &window.v2Page());
            }
        }
    }

    void returnInAPageOnlyMarksAndOnAButtonPressesIt() {
        AddSongs({{"song.mp3", test::CbrFile(8000) + V1Tag("Title", 1)}});
        const std::string before = test::ReadAll(table->songPaths()[0]);
        auto window = Open(TagEditorMode::Single);
        auto* title = Child<QLineEdit>(window.get(), "edit1032");
        title->setFocus();
        title->setText(Q("Changed"));
        QTest::keyClick(title, Qt::Key_Return);
        QVERIFY(window->isVisible());
        QCOMPARE(test::ReadAll(table->songPaths()[0]), before);
        PressReturn(window.get(), 1015);  // 元に戻す, not 更新
        QVERIFY(window->isVisible());
        QCOMPARE(title->text(), Q("Title"));
        QCOMPARE(test::ReadAll(table->songPaths()[0]), before);
        title->setText(Q("Changed"));
        Click(window.get(), 1);
        QVERIFY(!window->isVisible());
        QCOMPARE(std::string(Tags(table->songPaths()[0])->v1.title.data()).substr(0, 7),
                 std::string("Changed"));
    }

    void id3v22IsRefused() {
        AddSongs({{"old.mp3", V2Tag(2) + test::CbrFile(8000)}});
        auto window = Open(TagEditorMode::Single);
        QCOMPARE(Texts(), std::vector<std::string>{"ID3v2.2には対応していません"});
        QVERIFY(!Child<QCheckBox>(window.get(), "check1019")->isChecked());
        QVERIFY(!Child<QLineEdit>(window.get(), "edit1041")->isEnabled());
        Click(window.get(), 1);
        QCOMPARE(prompts->messages.back().text, std::string("ID3v2.2は編集できません"));
        QCOMPARE(prompts->messages.back().icon, MessageIcon::Information);
    }

    void uncheckedHasBoxesAskBeforeDeleting() {
        AddSongs({{"song.mp3", V2Tag() + test::CbrFile(8000) + V1Tag("Title", 1)}});
        auto window = Open(TagEditorMode::Single);
        Child<QCheckBox>(window.get(), "check1039")->click();
        window->tabBar().setCurrentIndex(1);
        Child<QCheckBox>(window.get(), "check1019")->click();
        QVERIFY(!Child<QLineEdit>(window.get(), "edit1041")->isEnabled());
        QVERIFY(!Child<QLineEdit>(window.get(), "edit1032")->isEnabled());
        prompts->answers = {MessageAnswer::Cancel, MessageAnswer::Ok};
        Click(window.get(), 1);
        QCOMPARE(Texts(), (std::vector<std::string>{"ID3v2タグを削除しますか？",
                                                    "ID3v1タグを削除しますか？"}));
        const auto tags = Tags(table->songPaths()[0]);
        QVERIFY(tags->v2.present);
        QVERIFY(!tags->v1.present);
    }

    void listModeWalksWithCounterAndAutomaticTracks() {
        AddSongs({{"a.mp3", test::CbrFile(8000) + V1Tag("a", 11)},
                  {"b.mp3", test::CbrFile(8000) + V1Tag("b", 12)},
                  {"c.mp3", test::CbrFile(8000) + V1Tag("c", 13)}});
        auto window = Open(TagEditorMode::List, 1);
        QCOMPARE(window->windowTitle(), Q("ID3タグ連続編集　1/3"));
        auto* track = Child<QLineEdit>(window.get(), "edit1038");
        Click(window.get(), 1048);
        QCOMPARE(window->windowTitle(), Q("ID3タグ連続編集　2/3"));
        QCOMPARE(Child<QLineEdit>(window.get(), "edit1032")->text(), Q("b"));
        PressReturn(window.get(), 1047);
        QCOMPARE(window->windowTitle(), Q("ID3タグ連続編集　1/3"));
        Click(window.get(), 1047);  // the first song: nothing
        QCOMPARE(window->windowTitle(), Q("ID3タグ連続編集　1/3"));
        QCOMPARE(selected, (std::vector<std::size_t>{0, 1, 0}));

        track->setText(Q("0"));
        Child<QCheckBox>(window.get(), "check1046")->click();
        QCOMPARE(track->text(), Q("1"));
        QCOMPARE(Child<QLineEdit>(window.get(), "edit1040")->text(), Q("1"));
        Click(window.get(), 1);
        QCOMPARE(window->windowTitle(), Q("ID3タグ連続編集　2/3"));
        QCOMPARE(track->text(), Q("2"));
        PressReturn(window.get(), 1014);  // cancel: b keeps its track, c gets 2
        QCOMPARE(track->text(), Q("2"));
        Click(window.get(), 1);
        QVERIFY(!window->isVisible());  // the last song closes the window
        QCOMPARE(Tags(table->songPaths()[0])->v1.track, std::uint8_t{1});
        QCOMPARE(Tags(table->songPaths()[1])->v1.track, std::uint8_t{12});
        QCOMPARE(Tags(table->songPaths()[2])->v1.track, std::uint8_t{2});
    }

    void buttonsKeepWhatIsTypedElsewhere() {
        AddSongs({{"a.mp3", V2Tag() + test::CbrFile(8000) + V1Tag("Old", 1)},
                  {"b.mp3", V2Tag() + test::CbrFile(8000)}});
        auto window = Open(TagEditorMode::List, 1);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        auto* v1Title = Child<QLineEdit>(window.get(), "edit1032");
        auto* v1Track = Child<QLineEdit>(window.get(), "edit1038");
        auto* v2Title = Child<QLineEdit>(window.get(), "edit1041");
        auto* name = Child<QLineEdit>(window.get(), "edit1010");
        auto* hold = Child<QCheckBox>(&window->v1Page(), "check1055");

        // Tab into the artist box: its text is not left selected.
        v1Title->setFocus();
        QTest::keyClick(v1Title, Qt::Key_Tab);
        auto* artist = Child<QComboBox>(window.get(), "combo1033");
        QTRY_VERIFY(artist->hasFocus());
        QCoreApplication::processEvents();
        QCOMPARE(artist->currentText(), Q("Band"));
        QVERIFY(!artist->lineEdit()->hasSelectedText());
        QCOMPARE(int{window->editor().focusCode}, 2);

        // A track that is no number, then buttons that do not need it.
        v1Title->setText(Q("Typed"));
        v1Track->setText(Q("x"));
        hold->click();
        Click(window.get(), 1011);  // クリア
        QCOMPARE(name->text(), QString());
        Click(window.get(), 1061);  // 保持全解除
        QVERIFY(!hold->isChecked());
        window->tabBar().setCurrentIndex(1);
        v2Title->setFocus();
        v2Title->setText(Q("V2 typed"));
        Click(window.get(), 1008);  // 追加 reads the ID3v2 page only
        QCOMPARE(name->text(), Q("V2 typed"));
        Child<QCheckBox>(window.get(), "check1046")->click();  // from the ID3v2 track
        QCOMPARE(v1Track->text(), Q("1"));
        QVERIFY(prompts->messages.empty());
        QCOMPARE(v1Title->text(), Q("Typed"));
        QCOMPARE(v2Title->text(), Q("V2 typed"));

        // The caption names the next song before its load fails.
        std::filesystem::remove(table->songPaths()[1]);
        QStringList captions;
        prompts->onMessage = [&](const auto&) { captions << window->windowTitle(); };
        Click(window.get(), 1048);
        QCOMPARE(Texts(), std::vector<std::string>{"ID3タグを読み込めませんでした"});
        QCOMPARE(captions, QStringList{Q("ID3タグ連続編集　2/2")});
    }

    void conversionCutsAtTheId3v1Widths() {
        // "あ" (3 bytes) takes bytes 29-31 of the ID3v2 title: the ID3v1 title stops before it.
        const QString title = QString(29, QLatin1Char('t')) + Q("あtail");
        AddSongs({{"n.mp3", V2Tag() + test::CbrFile(8000)}});
        auto window = Open(TagEditorMode::Single);
        window->tabBar().setCurrentIndex(1);
        Child<QLineEdit>(window.get(), "edit1041")->setText(title);
        Child<QLineEdit>(window.get(), "edit1040")->setText(Q("7/12"));
        Click(window.get(), 1018);
        QCOMPARE(window->tabBar().currentIndex(), 0);
        QVERIFY(Child<QCheckBox>(window.get(), "check1039")->isChecked());
        QVERIFY(Child<QLineEdit>(window.get(), "edit1032")->isEnabled());
        QCOMPARE(Child<QLineEdit>(window.get(), "edit1038")->text(), Q("7"));
        QCOMPARE(window->editor().v1.values.title, std::string(29, 't'));

        Child<QLineEdit>(window.get(), "edit1032")->setText(Q("Back"));
        Click(window.get(), 1017);
        QCOMPARE(window->tabBar().currentIndex(), 1);
        QCOMPARE(Child<QLineEdit>(window.get(), "edit1041")->text(), Q("Back"));
        QCOMPARE(Child<QLineEdit>(window.get(), "edit1040")->text(), Q("7"));
    }

    void addedArtistJoinsBothBoxesAndTheFile() {
        dir->Write("artist.txt", "Alpha\r\nOmega\r\n");
        AddSongs({{"song.mp3", V2Tag() + test::CbrFile(8000) + V1Tag("Title", 1)}});
        auto window = Open(TagEditorMode::Single);
        auto* v1Artist = Child<QComboBox>(window.get(), "combo1033");
        auto* v2Artist = Child<QComboBox>(window.get(), "combo1020");
        QCOMPARE(v1Artist->count(), 2);
        v1Artist->setEditText(Q("Middle"));
        Click(window.get(), 1016);
        QCOMPARE(test::ReadAll(dir->File("artist.txt")),
                 std::string("Alpha\r\nMiddle\r\nOmega\r\n"));
        QCOMPARE(v2Artist->count(), 3);
        QCOMPARE(v1Artist->currentIndex(), 1);
        QCOMPARE(v1Artist->currentText(), Q("Middle"));
        QCOMPARE(v2Artist->currentText(), Q("Band"));  // the other page's value is its own
    }

    void mainWindowRenamesThroughTheEditor() {
        const std::string path = dir->Write("old.mp3", test::CbrFile(8000) + V1Tag("New", 3));
        ClistDlg main(settings, startup, prompts.get());
        main.LoadDropped({path});
        main.SelectRow(0);
        bool opened = false;
        QTimer::singleShot(0, [&] {
            auto* editor = qobject_cast<CtagDlg*>(QApplication::activeModalWidget());
            if (!editor) return;
            opened = true;
            Child<QLineEdit>(editor, "edit1010")->setText(Q("%1ti"));
            Click(editor, 1);
        });
        main.findChild<QAction*>(QStringLiteral("action32777"))->trigger();
        QVERIFY(opened);
        QCOMPARE(Texts(), std::vector<std::string>{"ファイル名を変更しますか？"});
        QVERIFY(std::filesystem::exists(dir->path() / "New.mp3"));
        auto* list = main.findChild<QListWidget*>(QStringLiteral("list1007"));
        QVERIFY(list->item(0)->text().endsWith(Q("New.mp3")));
        QVERIFY(main.table().songPaths()[0].ends_with("New.mp3"));
    }
};

}  // namespace sorrelbox

QTEST_MAIN(sorrelbox::CtagDlgTest)
#include "CtagDlgTest.moc"
