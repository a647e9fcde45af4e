#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <string>

#include "tagwrite/ArtistList.h"
#include "tagwrite/GenreList.h"
#include "editor/Id3v1Page.h"

namespace Ui {
class Cv1tagDlg;
}

namespace sorrelbox {

// The ID3v1 page with the file information: a view of an Id3v1Page. Pushing shows the page's
// values; reading hands the texts back for the page's own field exchange.
class Cv1tagDlg : public QWidget {
    Q_OBJECT

  public:
    explicit Cv1tagDlg(QWidget* parent = nullptr);
    ~Cv1tagDlg() override;

    Ui::Cv1tagDlg& ui() { return *ui_; }

    void SetGenres(const GenreList& genres);
    void SetArtists(const ArtistList& artists);
    void SetInfoLines(const std::array<std::string, 6>& lines);

    void Push(const Id3v1Page& page);
    void PushHolds(const Id3v1Holds& holds);
    // The fields' texts (the track as typed, into trackText).
    Id3v1Values Texts(std::string& trackText) const;
    void ReadHolds(Id3v1Holds& holds) const;
    void EnableFields(bool fields, bool genre);
    void EnableHolds(bool enabled);

  private:
    std::unique_ptr<Ui::Cv1tagDlg> ui_;
};

}  // namespace sorrelbox
