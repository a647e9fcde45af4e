#include "ui/tageditor/PageWidgets.h"

#include <QSignalBlocker>

#include "ui/main/QtText.h"

namespace sorrelbox {
namespace {

constexpr const char* kBytes = "sorrelboxBytes";
constexpr const char* kShown = "sorrelboxShown";

void Remember(QObject* widget, const std::string& bytes, const QString& shown) {
    widget->setProperty(kBytes, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    widget->setProperty(kShown, shown);
}

std::string Recall(const QObject* widget, const QString& shown) {
    const QVariant kept = widget->property(kShown);
    if (kept.isValid() && kept.toString() == shown) {
        const QByteArray bytes = widget->property(kBytes).toByteArray();
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    return FromQString(shown);
}

}  // namespace

void FillGenreBox(QComboBox* box, const GenreList& genres) {
    const QSignalBlocker blocker(box);
    box->clear();
    for (const std::string& name : genres.names()) box->addItem(ToQString(name));
    box->setCurrentIndex(-1);
}

void FillArtistBox(QComboBox* box, const ArtistList& artists) {
    const QSignalBlocker blocker(box);
    const QString text = box->currentText();
    box->clear();
    for (const std::string& entry : artists.entries()) box->addItem(ToQString(entry));
    // The list never picks a line by itself: the text stays the value.
    box->setCurrentIndex(-1);
    box->setEditText(text);
}

void SetArtistText(QComboBox* box, const std::string& text) {
    const QSignalBlocker blocker(box);
    box->setCurrentIndex(-1);
    box->setEditText(ToQString(text));
    Remember(box, text, box->currentText());
}

void SetText(QLineEdit* edit, const std::string& text) {
    const QString q = ToQString(text);
    if (edit->text() != q) edit->setText(q);
    Remember(edit, text, edit->text());
}

void SetText(QPlainTextEdit* edit, const std::string& text) {
    const QString q = ToQString(text);
    if (edit->toPlainText() != q) edit->setPlainText(q);
    Remember(edit, text, edit->toPlainText());
}

std::string TextOf(const QLineEdit* edit) {
    return Recall(edit, edit->text());
}

std::string TextOf(const QPlainTextEdit* edit) {
    return Recall(edit, edit->toPlainText());
}

std::string ArtistTextOf(const QComboBox* box) {
    return Recall(box, box->currentText());
}

}  // namespace sorrelbox
