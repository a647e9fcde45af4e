#include "ui/tageditor/PageWidgets.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QLabel>
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

// Qt names a combo box on X11 by its current text and leaves its caption to a relation, so
// an empty artist box had no name at all. Here the name is the caption, the value the text.
class NamedComboBox : public QAccessibleWidget {
  public:
    explicit NamedComboBox(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return box()->currentText();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = box()->isEditable();
        s.expandable = true;
        s.expanded = box()->view()->isVisible();
        return s;
    }
    QStringList actionNames() const override {
        return QAccessibleWidget::actionNames() << showMenuAction();
    }
    void doAction(const QString& name) override {
        if (name == showMenuAction()) {
            box()->showPopup();
        } else {
            QAccessibleWidget::doAction(name);
        }
    }

  private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* NamedComboBoxes(const QString& className, QObject* object) {
    auto* box =
        className == QLatin1String("QComboBox") ? qobject_cast<QComboBox*>(object) : nullptr;
    return box ? new NamedComboBox(box) : nullptr;
}

}  // namespace

void NameByCaptions(QGridLayout* grid) {
    for (int row = 0; row < grid->rowCount(); ++row) {
        QLayoutItem* captionItem = grid->itemAtPosition(row, 0);
        QLayoutItem* fieldItem = grid->itemAtPosition(row, 1);
        auto* caption = captionItem ? qobject_cast<QLabel*>(captionItem->widget()) : nullptr;
        if (!caption || !fieldItem || !fieldItem->widget()) continue;
        const QString name = caption->text().remove(QLatin1Char('\n'));
        fieldItem->widget()->setAccessibleName(name);
        if (QLayoutItem* holdItem = grid->itemAtPosition(row, 2)) {
            if (auto* hold = qobject_cast<QCheckBox*>(holdItem->widget())) {
                hold->setAccessibleName(name + QStringLiteral("を保持"));
            }
        }
    }
}

void UseNamedComboBoxes() {
    static const bool installed = [] {
        QAccessible::installFactory(NamedComboBoxes);
        return true;
    }();
    (void)installed;
}

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
