#include "ui/tageditor/Cv2tagDlg.h"

#include <QSignalBlocker>

#include "ui/tageditor/PageWidgets.h"
#include "ui_Cv2tagDlg.h"

namespace sorrelbox {

Cv2tagDlg::Cv2tagDlg(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::Cv2tagDlg>()) {
    UseNamedComboBoxes();
    ui_->setupUi(this);
    NameByCaptions(ui_->pageLayout);
}

Cv2tagDlg::~Cv2tagDlg() = default;

void Cv2tagDlg::SetGenres(const GenreList& genres) {
    FillGenreBox(ui_->combo1021, genres);
}

void Cv2tagDlg::SetArtists(const ArtistList& artists) {
    FillArtistBox(ui_->combo1020, artists);
}

QWidget* Cv2tagDlg::Field(V2Field f) const {
    QWidget* const fields[kId3v2FieldCount] = {
        ui_->edit1041, ui_->combo1020, ui_->edit1042, ui_->edit1043, ui_->combo1021, ui_->edit1044,
        ui_->edit1040, ui_->edit1045,  ui_->edit1022, ui_->edit1023, ui_->edit1024,  ui_->edit1025,
    };
    return fields[FieldIndex(f)];
}

QCheckBox* Cv2tagDlg::Hold(V2Field f) const {
    QCheckBox* const holds[kId3v2FieldCount] = {
        ui_->check1052, ui_->check1053, ui_->check1054, ui_->check1050,
        ui_->check1051, ui_->check1055, nullptr,        ui_->check1049,
        ui_->check1056, ui_->check1057, ui_->check1058, ui_->check1059,
    };
    return holds[FieldIndex(f)];
}

void Cv2tagDlg::Push(const Id3v2Page& page) {
    for (std::size_t i = 0; i < kId3v2FieldCount; ++i) {
        const auto f = static_cast<V2Field>(i);
        QWidget* field = Field(f);
        if (auto* edit = qobject_cast<QLineEdit*>(field)) SetText(edit, page.values[f]);
        if (auto* edit = qobject_cast<QPlainTextEdit*>(field)) SetText(edit, page.values[f]);
    }
    PushHolds(page.holds);
    SetArtistText(ui_->combo1020, page.values[V2Field::Artist]);
    const int line = page.values.genreLine;
    ui_->combo1021->setCurrentIndex(line < ui_->combo1021->count() ? line : -1);
    const QSignalBlocker blocker(ui_->check1019);
    ui_->check1019->setChecked(page.hasBox);
}

void Cv2tagDlg::PushHolds(const Id3v2Holds& holds) {
    for (std::size_t i = 0; i < kId3v2FieldCount; ++i) {
        if (QCheckBox* hold = Hold(static_cast<V2Field>(i))) {
            const QSignalBlocker blocker(hold);
            hold->setChecked(holds[static_cast<V2Field>(i)]);
        }
    }
}

Id3v2Values Cv2tagDlg::Texts() const {
    Id3v2Values v;
    for (std::size_t i = 0; i < kId3v2FieldCount; ++i) {
        const auto f = static_cast<V2Field>(i);
        QWidget* field = Field(f);
        if (auto* edit = qobject_cast<QLineEdit*>(field)) v[f] = TextOf(edit);
        if (auto* edit = qobject_cast<QPlainTextEdit*>(field)) v[f] = TextOf(edit);
    }
    v[V2Field::Artist] = ArtistTextOf(ui_->combo1020);
    v.genreLine = ui_->combo1021->currentIndex();
    return v;
}

void Cv2tagDlg::ReadHolds(Id3v2Holds& holds) const {
    for (std::size_t i = 0; i < kId3v2FieldCount; ++i) {
        const auto f = static_cast<V2Field>(i);
        if (QCheckBox* hold = Hold(f)) holds[f] = hold->isChecked();
    }
}

void Cv2tagDlg::EnableHolds(bool enabled) {
    for (std::size_t i = 0; i < kId3v2FieldCount; ++i) {
        if (QCheckBox* hold = Hold(static_cast<V2Field>(i))) hold->setEnabled(enabled);
    }
}

}  // namespace sorrelbox
