#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "settings/Settings.h"

namespace sorrelbox {

// The application object: start-up sequence, the start-up folder, INI path and the
// six settings for the whole run; it runs the main window and ends when it closes.
class ClistApp {
  public:
    // The whole program. Arguments: "--desktop" (started from the desktop menu: the start-up
    // folder is the user's own folder) and "--screenshot FILE.png SONG..." (render the window
    // with the songs loaded into FILE.png and quit).
    int Run(int argc, char** argv);

    const StartupInfo& startup() const { return startup_; }
    Settings& settings() { return settings_; }

  private:
    StartupInfo startup_;
    Settings settings_;
};

// Qt's own Japanese texts (dialog buttons and the like). False when they are not installed.
bool InstallJapaneseTranslation();

// Where a desktop start's file dialogs open: the music folder, else the home folder.
QString MusicFolder();

// The user's own start-up folder: $XDG_CONFIG_HOME/sorrelbox (~/.config/sorrelbox).
QString UserFolder();
// Folders that hold the shipped genre.txt and manual.htm, installed ones first.
QStringList SeedFolders();
// Creates folder when missing and copies each shipped file that it lacks from the first seed
// folder holding it. Existing files are never replaced. False when the folder cannot be made.
bool PrepareUserFolder(const QString& folder, const QStringList& seedFolders);

}  // namespace sorrelbox
