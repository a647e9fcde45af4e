#include "ui/tageditor/CtagDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>

#include "platform/CodePage.h"
#include "tagwrite/TagConversion.h"
#include "editor/TagUpdate.h"
#include "ui/main/QtText.h"
#include "ui/tageditor/Cv1tagDlg.h"
#include "ui/tageditor/Cv2tagDlg.h"
#include "ui/tageditor/PageWidgets.h"
#include "ui_CtagDlg.h"
#include "ui_Cv1tagDlg.h"
#include "ui_Cv2tagDlg.h"

namespace sorrelbox {
namespace {

// The focus code a page field reports when it gains the input focus.
constexpr const char* kFocusCode = "focusCode";

void SetFocusCode(QWidget* widget, int code) {
    widget->setProperty(kFocusCode, code);
    if (auto* box = qobject_cast<QComboBox*>(widget); box && box->lineEdit()) {
        box->lineEdit()->setProperty(kFocusCode, code);
    }
}

}  // namespace

CtagDlg::CtagDlg(const TagEditorRequest& request, TagEditorHost host, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CtagDlg>()),
      host_(std::move(host)),
      editor_(request.mode == TagEditorMode::List ? EditorMode::List : EditorMode::Single,
              request.path),
      walk_{host_.table, host_.prompts,
            [this](std::size_t index) {
                // The caption names the song before it loads, so a failure message is
                // already about the song shown there.
                if (editor_.mode == EditorMode::List) {
                    setWindowTitle(
                        ToQString(ContinuousCaption(editor_.songNumber, editor_.songTotal)));
                }
                if (host_.selectSong) host_.selectSong(index);
            },
            [this] { ReadFields(); }, host_.table.style()} {
    ui_->setupUi(this);
    editor_.firstPage = static_cast<std::uint8_t>(request.firstPage);
    editor_.songTotal = static_cast<std::uint16_t>(request.songCount);
    editor_.songNumber = static_cast<std::uint16_t>(request.number);

    tabs_ = new QTabBar(this);
    tabs_->setObjectName(QStringLiteral("tab1013"));
    tabs_->addTab(QStringLiteral("INFO&&ID3v1"));
    tabs_->addTab(QStringLiteral("ID3v2"));
    tabs_->setExpanding(false);
    ui_->tabLayout->insertWidget(0, tabs_);
    v1_ = new Cv1tagDlg(ui_->pages);
    v2_ = new Cv2tagDlg(ui_->pages);
    blank_ = new QWidget(ui_->pages);
    ui_->pages->addWidget(v1_);
    ui_->pages->addWidget(v2_);
    ui_->pages->addWidget(blank_);
    ui_->pages->setCurrentWidget(v1_);

    editor_.LoadLists(StartupFile(host_.startup, "genre.txt", host_.table.style()),
                      StartupFile(host_.startup, "artist.txt", host_.table.style()),
                      host_.settings.kuuran);
    v1_->SetGenres(editor_.genres);
    v2_->SetGenres(editor_.genres);
    v1_->SetArtists(editor_.artists);
    v2_->SetArtists(editor_.artists);

    // Holds, the kept name and automatic tracks only mean something from song to song.
    const bool list = editor_.mode == EditorMode::List;
    v1_->EnableHolds(list);
    v2_->EnableHolds(list);
    ui_->check1072->setEnabled(list);
    ui_->check1046->setEnabled(list);

    WatchPage(v1_);
    WatchPage(v2_);
    ui_->edit1009->installEventFilter(this);
    ui_->edit1010->installEventFilter(this);
    ConnectControls();

    const WalkResult result = StartEditing(editor_, walk_);
    if (result == WalkResult::Loaded) {
        Follow(result);
    } else {
        finishedEarly_ = true;
    }
}

CtagDlg::~CtagDlg() = default;

int CtagDlg::exec() {
    if (finishedEarly_) return QDialog::Rejected;
    return QDialog::exec();
}

void CtagDlg::WatchPage(QWidget* page) {
    Ui::Cv1tagDlg& a = v1_->ui();
    Ui::Cv2tagDlg& b = v2_->ui();
    if (page == v1_) {
        const std::pair<QWidget*, int> codes[] = {
            {a.edit1032, 1}, {a.combo1033, 2}, {a.edit1034, 3},  {a.edit1035, 4},
            {a.edit1037, 5}, {a.edit1038, 6},  {a.combo1036, 0},
        };
        for (const auto& [w, code] : codes) SetFocusCode(w, code);
    } else {
        const std::pair<QWidget*, int> codes[] = {
            {b.edit1041, 10}, {b.combo1020, 11}, {b.edit1042, 12}, {b.edit1043, 13},
            {b.edit1044, 14}, {b.edit1040, 15},  {b.edit1045, 16}, {b.edit1022, 17},
            {b.edit1023, 18}, {b.edit1024, 19},  {b.edit1025, 20}, {b.combo1021, 0},
        };
        for (const auto& [w, code] : codes) SetFocusCode(w, code);
    }
    for (QWidget* w : page->findChildren<QWidget*>()) w->installEventFilter(this);
}

bool CtagDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (watched == ui_->edit1009 || watched == ui_->edit1010) {
            editor_.focusCode = 0;
        } else if (const QVariant code = watched->property(kFocusCode); code.isValid()) {
            editor_.focusCode = static_cast<std::uint8_t>(code.toInt());
            // The artist box's text is not left selected when it gains the focus. The focus
            // lands on the box, which selects its edit part after this filter has run.
            if (auto* box = qobject_cast<QComboBox*>(watched); box && box->lineEdit()) {
                QMetaObject::invokeMethod(
                    box->lineEdit(), [edit = box->lineEdit()] { edit->deselect(); },
                    Qt::QueuedConnection);
            }
        }
    } else if (event->type() == QEvent::KeyPress && watched != ui_->edit1009 &&
               watched != ui_->edit1010) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // A Return typed in a page only marks itself: the update it triggers does nothing.
        if (key == Qt::Key_Return || key == Qt::Key_Enter) editor_.returnPressed = true;
    }
    return QDialog::eventFilter(watched, event);
}

void CtagDlg::ConnectControls() {
    auto click = [this](QPushButton* button, void (CtagDlg::*handler)()) {
        connect(button, &QPushButton::clicked, this, handler);
    };
    click(ui_->button1, &CtagDlg::OnUpdate);
    click(ui_->button1014, &CtagDlg::OnCancel);
    click(ui_->button1015, &CtagDlg::OnRevert);
    click(ui_->button1008, &CtagDlg::OnAddField);
    click(ui_->button1012, &CtagDlg::OnFileNameInput);
    click(ui_->button1016, &CtagDlg::OnAddArtist);
    connect(ui_->button1011, &QPushButton::clicked, this, [this] {
        editor_.ClearFileName();
        SetText(ui_->edit1010, editor_.fileNameText);
    });
    connect(ui_->button1017, &QPushButton::clicked, this, [this] {
        if (!ReadFields()) return;
        CopyId3v1ToId3v2(editor_);
        PushFields();
    });
    connect(ui_->button1018, &QPushButton::clicked, this, [this] {
        if (!ReadFields()) return;
        CopyId3v2ToId3v1(editor_);
        PushFields();
    });
    connect(ui_->button1061, &QPushButton::clicked, this, [this] {
        editor_.ReleaseAllHolds();
        v1_->PushHolds(editor_.v1.holds);
        v2_->PushHolds(editor_.v2.holds);
    });
    connect(ui_->button1047, &QPushButton::clicked, this,
            [this] { Follow(PreviousSong(editor_, walk_)); });
    connect(ui_->button1048, &QPushButton::clicked, this,
            [this] { Follow(ForwardButton(editor_, walk_)); });
    connect(ui_->check1046, &QCheckBox::clicked, this, &CtagDlg::OnAutoTrack);
    connect(tabs_, &QTabBar::tabBarClicked, this, &CtagDlg::OnTab);
    connect(tabs_, &QTabBar::currentChanged, this, &CtagDlg::OnTab);
    connect(v1_->ui().check1039, &QCheckBox::clicked, this, [this](bool checked) {
        editor_.v1.hasBox = checked;
        UpdateEnables();
    });
    connect(v2_->ui().check1019, &QCheckBox::clicked, this, [this](bool checked) {
        editor_.v2.hasBox = checked;
        UpdateEnables();
    });
}

void CtagDlg::ReadNameFields() {
    editor_.pathText = TextOf(ui_->edit1009);
    editor_.fileNameText = TextOf(ui_->edit1010);
    editor_.keepName = ui_->check1072->isChecked();
}

bool CtagDlg::ReadV1Fields() {
    std::string trackText;
    const Id3v1Values texts = v1_->Texts(trackText);
    const bool read = editor_.v1.ReadFields(texts, trackText, host_.prompts);
    v1_->ReadHolds(editor_.v1.holds);
    editor_.v1.hasBox = v1_->ui().check1039->isChecked();
    return read;
}

void CtagDlg::ReadV2Fields() {
    editor_.v2.values = v2_->Texts();
    v2_->ReadHolds(editor_.v2.holds);
    editor_.v2.hasBox = v2_->ui().check1019->isChecked();
}

bool CtagDlg::ReadFields() {
    ReadNameFields();
    ReadV2Fields();
    return ReadV1Fields();
}

bool CtagDlg::ReadShownPage() {
    if (editor_.currentPage == 2) {
        ReadV2Fields();
        return true;
    }
    return editor_.currentPage != 1 || ReadV1Fields();
}

void CtagDlg::PushFields() {
    SetText(ui_->edit1009, editor_.pathText);
    SetText(ui_->edit1010, editor_.fileNameText);
    {
        const QSignalBlocker keep(ui_->check1072);
        ui_->check1072->setChecked(editor_.keepName);
        const QSignalBlocker track(ui_->check1046);
        ui_->check1046->setChecked(editor_.autoTrack);
    }
    v1_->SetInfoLines(FileInfoLines(host_.table.info()));
    v1_->Push(editor_.v1);
    v2_->Push(editor_.v2);
    UpdateEnables();
    ShowCurrentPage();
}

void CtagDlg::PushShownPage() {
    if (editor_.currentPage == 1) v1_->Push(editor_.v1);
    if (editor_.currentPage == 2) v2_->Push(editor_.v2);
}

void CtagDlg::PushTracks() {
    {
        const QSignalBlocker track(ui_->check1046);
        ui_->check1046->setChecked(editor_.autoTrack);
    }
    SetText(v1_->ui().edit1038, std::to_string(editor_.v1.values.track));
    SetText(v2_->ui().edit1040, editor_.v2.values[V2Field::Track]);
}

void CtagDlg::UpdateEnables() {
    v1_->EnableFields(editor_.V1FieldEnabled(), editor_.V1GenreEnabled());
    v2_->EnableFields([this](V2Field f) { return editor_.V2FieldEnabled(f); });
}

void CtagDlg::ShowCurrentPage() {
    // A first page other than 0 or 1 shows no page until a tab is chosen.
    QWidget* page = blank_;
    if (editor_.currentPage == 1) page = v1_;
    if (editor_.currentPage == 2) page = v2_;
    if (pageChosen_) {
        const QSignalBlocker blocker(tabs_);
        tabs_->setCurrentIndex(editor_.currentPage == 2 ? 1 : 0);
    } else {
        page = blank_;
    }
    ui_->pages->setCurrentWidget(page);
}

void CtagDlg::Follow(WalkResult result) {
    switch (result) {
        case WalkResult::Loaded:
            pageChosen_ = editor_.firstPage <= 1;
            PushFields();
            ui_->edit1009->setCursorPosition(static_cast<int>(ui_->edit1009->text().size()));
            break;
        case WalkResult::Unchanged:
            break;
        case WalkResult::Closed:
        case WalkResult::Damaged:
            accept();
            break;
    }
}

void CtagDlg::OnUpdate() {
    UpdateEnv env{host_.table,    static_cast<std::size_t>(std::max(host_.selectedLine, 0)),
                  host_.settings, StartupFile(host_.startup, "backup.mp3", host_.table.style()),
                  host_.prompts,  host_.table.style()};
    if (editor_.returnPressed) {
        RunTagUpdate(editor_, env);  // only clears the mark
        return;
    }
    ReadFields();
    RunTagUpdate(editor_, env);
    if (editor_.mode == EditorMode::Single) {
        accept();
        return;
    }
    Follow(NextSong(editor_, walk_));
}

void CtagDlg::OnCancel() {
    editor_.focusCode = 0;
    if (editor_.mode == EditorMode::Single) {
        reject();
        return;
    }
    Follow(NextSong(editor_, walk_));
}

void CtagDlg::OnRevert() {
    ReadFields();
    editor_.Revert(host_.table.info().id3v2Size, host_.prompts);
    PushFields();
}

void CtagDlg::OnAddField() {
    if (editor_.focusCode == 0) return;
    ReadNameFields();
    if (!ReadShownPage()) return;
    editor_.AppendFocusedFieldToFileName();
    SetText(ui_->edit1010, editor_.fileNameText);
    ui_->edit1010->setFocus();
    ui_->edit1010->setCursorPosition(static_cast<int>(ui_->edit1010->text().size()));
}

void CtagDlg::OnFileNameInput() {
    const int code = editor_.focusCode;
    ReadNameFields();
    if (!ReadShownPage() || !editor_.AppendFileNameToFocusedField()) return;
    PushShownPage();
    QWidget* page = code < 10 ? static_cast<QWidget*>(v1_) : v2_;
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (w->property(kFocusCode).toInt() != code || qobject_cast<QComboBox*>(w)) continue;
        w->setFocus();
        if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->end(false);
        if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) edit->moveCursor(QTextCursor::End);
        break;
    }
}

void CtagDlg::OnAddArtist() {
    if (!ReadShownPage()) return;
    const auto result =
        editor_.AddArtist(StartupFile(host_.startup, "artist.txt", host_.table.style()),
                          host_.settings.kanryoumes, host_.prompts);
    const bool listed =
        result == ArtistList::AddResult::Added || result == ArtistList::AddResult::WriteFailed;
    if (listed) {
        v1_->SetArtists(editor_.artists);
        v2_->SetArtists(editor_.artists);
    }
    // The new entry is picked in the shown page's box; its text is the field's already.
    QComboBox* box = editor_.currentPage == 1   ? v1_->ui().combo1033
                     : editor_.currentPage == 2 ? v2_->ui().combo1020
                                                : nullptr;
    if (listed && box) {
        const QSignalBlocker blocker(box);
        box->setCurrentIndex(box->findText(box->currentText(), Qt::MatchExactly));
    }
}

void CtagDlg::OnAutoTrack(bool checked) {
    // Checking takes the counter from the shown page's track; unchecking needs no field.
    if (checked && !ReadShownPage()) {
        const QSignalBlocker blocker(ui_->check1046);
        ui_->check1046->setChecked(false);
        return;
    }
    SetAutoTrack(editor_, checked);
    PushTracks();
}

void CtagDlg::OnTab(int index) {
    if (index < 0) return;
    editor_.ShowPage(index);
    pageChosen_ = true;
    ShowCurrentPage();
}

}  // namespace sorrelbox
