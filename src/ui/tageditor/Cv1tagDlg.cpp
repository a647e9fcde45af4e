#include "ui/tageditor/Cv1tagDlg.h"

#include <QSignalBlocker>

#include "ui/main/QtText.h"
#include "ui/tageditor/PageWidgets.h"
#include "ui_Cv1tagDlg.h"

namespace sorrelbox {

Cv1tagDlg::Cv1tagDlg(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::Cv1tagDlg>()) {
    UseNamedComboBoxes();
    ui_->setupUi(this);
    NameByCaptions(ui_->pageLayout);
    // Limits in characters: the page cuts to bytes when it builds the tag.
    ui_->edit1032->setMaxLength(30);
    ui_->combo1033->lineEdit()->setMaxLength(30);
    ui_->edit1034->setMaxLength(30);
    ui_->edit1035->setMaxLength(4);
    ui_->edit1037->setMaxLength(30);
}

Cv1tagDlg::~Cv1tagDlg() = default;

void Cv1tagDlg::SetGenres(const GenreList& genres) {
    FillGenreBox(ui_->combo1036, genres);
}

void Cv1tagDlg::SetArtists(const ArtistList& artists) {
    FillArtistBox(ui_->combo1033, artists);
}

void Cv1tagDlg::SetInfoLines(const std::array<std::string, 6>& lines) {
    QLineEdit* const fields[] = {ui_->edit1026, ui_->edit1027, ui_->edit1028,
                                 ui_->edit1029, ui_->edit1030, ui_->edit1031};
    for (std::size_t i = 0; i < lines.size(); ++i) fields[i]->setText(ToQString(lines[i]));
}

void Cv1tagDlg::Push(const Id3v1Page& page) {
    const Id3v1Values& v = page.values;
    SetText(ui_->edit1032, v.title);
    SetArtistText(ui_->combo1033, v.artist);
    SetText(ui_->edit1034, v.album);
    SetText(ui_->edit1035, v.year);
    ui_->combo1036->setCurrentIndex(v.genreLine < ui_->combo1036->count() ? v.genreLine : -1);
    SetText(ui_->edit1037, v.comment);
    SetText(ui_->edit1038, std::to_string(v.track));
    PushHolds(page.holds);
    const QSignalBlocker blocker(ui_->check1039);
    ui_->check1039->setChecked(page.hasBox);
}

void Cv1tagDlg::PushHolds(const Id3v1Holds& h) {
    const std::pair<QCheckBox*, bool> boxes[] = {
        {ui_->check1055, h.title}, {ui_->check1056, h.artist}, {ui_->check1057, h.album},
        {ui_->check1058, h.year},  {ui_->check1059, h.genre},  {ui_->check1060, h.comment},
    };
    for (const auto& [box, checked] : boxes) {
        const QSignalBlocker blocker(box);
        box->setChecked(checked);
    }
}

Id3v1Values Cv1tagDlg::Texts(std::string& trackText) const {
    Id3v1Values v;
    v.title = TextOf(ui_->edit1032);
    v.artist = ArtistTextOf(ui_->combo1033);
    v.album = TextOf(ui_->edit1034);
    v.year = TextOf(ui_->edit1035);
    v.comment = TextOf(ui_->edit1037);
    v.genreLine = ui_->combo1036->currentIndex();
    trackText = FromQString(ui_->edit1038->text());
    return v;
}

void Cv1tagDlg::ReadHolds(Id3v1Holds& holds) const {
    holds.title = ui_->check1055->isChecked();
    holds.artist = ui_->check1056->isChecked();
    holds.album = ui_->check1057->isChecked();
    holds.year = ui_->check1058->isChecked();
    holds.genre = ui_->check1059->isChecked();
    holds.comment = ui_->check1060->isChecked();
}

void Cv1tagDlg::EnableFields(bool fields, bool genre) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{ui_->edit1032, ui_->combo1033, ui_->edit1034,
                                         ui_->edit1035, ui_->edit1037, ui_->edit1038}) {
        w->setEnabled(fields);
    }
    ui_->combo1036->setEnabled(genre);
}

void Cv1tagDlg::EnableHolds(bool enabled) {
    for (QCheckBox* box : {ui_->check1055, ui_->check1056, ui_->check1057, ui_->check1058,
                           ui_->check1059, ui_->check1060}) {
        box->setEnabled(enabled);
    }
}

}  // namespace sorrelbox
