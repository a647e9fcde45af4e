#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <string>

#include "tagwrite/ArtistList.h"
#include "tagwrite/GenreList.h"

namespace sorrelbox {

// Shared by both pages: filling the list boxes and exchanging texts. A text is read back as
// the bytes that were pushed as long as the widget still shows it, so bytes that Qt cannot
// show (or line breaks it rewrites) never count as a change the user made.
void FillGenreBox(QComboBox* box, const GenreList& genres);
void FillArtistBox(QComboBox* box, const ArtistList& artists);
void SetArtistText(QComboBox* box, const std::string& text);
void SetText(QLineEdit* edit, const std::string& text);
void SetText(QPlainTextEdit* edit, const std::string& text);
std::string TextOf(const QLineEdit* edit);
std::string TextOf(const QPlainTextEdit* edit);
std::string ArtistTextOf(const QComboBox* box);

// Names each field of a page's grid (caption, field, hold box in columns 0 to 2) for screen
// readers by its caption, and its hold box after it.
void NameByCaptions(QGridLayout* grid);
// Combo boxes take their accessible name rather than their current text as their name.
void UseNamedComboBoxes();

}  // namespace sorrelbox
