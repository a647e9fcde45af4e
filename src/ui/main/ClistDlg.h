#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/SongTable.h"
#include "platform/MediaDevice.h"
#include "settings/Settings.h"
#include "ui/main/ListCommands.h"

class QMenu;
class QUrl;

namespace Ui {
class ClistDlg;
}

namespace sorrelbox {

class LoadProgress;
class QtPrompts;

// The main window: song list, totals, the selected song's details and every command. The
// flows live in ListCommands; this class turns widgets into calls and mirrors the state back.
class ClistDlg : public QDialog {
    Q_OBJECT

  public:
    // prompts: the user's answers; null for real message boxes and dialogs.
    ClistDlg(Settings& settings, const StartupInfo& startup, Prompts* prompts = nullptr,
             QWidget* parent = nullptr);
    ~ClistDlg() override;

    SongTable& table() { return table_; }
    ListCommands& commands() { return *commands_; }

    // The selection change for other windows, after they have set the list's current row.
    void SelectionChange();
    // Selects row (-1: none) and runs the selection change, as a click does.
    void SelectRow(int row);
    // The drop flow for paths already in the code page.
    void LoadDropped(const std::vector<std::string>& paths);

    // How the context menu is shown and the manual opened; tests replace them.
    using MenuRunner = std::function<void(QMenu& menu, const QPoint& globalPos)>;
    using UrlOpener = std::function<bool(const QUrl& url)>;
    void setMenuRunner(MenuRunner runner) { menuRunner_ = std::move(runner); }
    void setUrlOpener(UrlOpener opener) { urlOpener_ = std::move(opener); }
    // Where the window's own file dialogs open first.
    void setDialogFolder(const QString& folder);
    // Makes the player's media device each time the player opens; unset: Qt Multimedia.
    using MediaDeviceFactory = std::function<std::shared_ptr<MediaDevice>()>;
    void setMediaDeviceFactory(MediaDeviceFactory factory) {
        mediaDeviceFactory_ = std::move(factory);
    }

    // How long a load runs before its progress shows (tests set 0).
    void setProgressDelay(int ms) { progressDelayMs_ = ms; }
    // The running load's progress, null between loads.
    LoadProgress* loadProgress() const { return loading_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void ConnectCommands();
    void RunLoad(const std::function<void()>& load);
    void OnListSelection();
    int SelectedRow() const;
    void OpenSettings();
    void OpenManual();
    void OpenPlayer(const PlayerRequest& request);
    // The context menu asked for from the keyboard: at the selected song's row.
    void OpenKeyboardMenu();
    // Pushes list lines, selection and field texts into the widgets.
    void Refresh();

    std::unique_ptr<Ui::ClistDlg> ui_;
    Settings& settings_;
    const StartupInfo& startup_;
    std::unique_ptr<QtPrompts> ownPrompts_;
    Prompts& prompts_;
    SongTable table_;
    std::unique_ptr<ListCommands> commands_;
    MenuRunner menuRunner_;
    UrlOpener urlOpener_;
    MediaDeviceFactory mediaDeviceFactory_;
    LoadProgress* loading_ = nullptr;
    bool closeAfterLoad_ = false;
    int progressDelayMs_ = 500;
};

}  // namespace sorrelbox
