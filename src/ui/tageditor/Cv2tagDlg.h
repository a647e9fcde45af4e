#pragma once

#include <QWidget>
#include <memory>

#include "tagwrite/ArtistList.h"
#include "tagwrite/GenreList.h"
#include "editor/Id3v2Page.h"

class QCheckBox;
class QWidget;

namespace Ui {
class Cv2tagDlg;
}

namespace sorrelbox {

// The ID3v2 page: a view of an Id3v2Page.
class Cv2tagDlg : public QWidget {
    Q_OBJECT

  public:
    explicit Cv2tagDlg(QWidget* parent = nullptr);
    ~Cv2tagDlg() override;

    Ui::Cv2tagDlg& ui() { return *ui_; }

    void SetGenres(const GenreList& genres);
    void SetArtists(const ArtistList& artists);

    void Push(const Id3v2Page& page);
    void PushHolds(const Id3v2Holds& holds);
    Id3v2Values Texts() const;
    void ReadHolds(Id3v2Holds& holds) const;
    // enabled(f) says whether field f may be edited.
    template <typename Enabled>
    void EnableFields(Enabled enabled) {
        for (std::size_t i = 0; i < kId3v2FieldCount; ++i) {
            const auto f = static_cast<V2Field>(i);
            Field(f)->setEnabled(enabled(f));
        }
    }
    void EnableHolds(bool enabled);

    // The widget of a field, and its hold box (nullptr for the track).
    QWidget* Field(V2Field f) const;
    QCheckBox* Hold(V2Field f) const;

  private:
    std::unique_ptr<Ui::Cv2tagDlg> ui_;
};

}  // namespace sorrelbox
