#pragma once

#include <QDialog>
#include <cstddef>
#include <functional>
#include <memory>

#include "analysis/SongTable.h"
#include "platform/Prompts.h"
#include "settings/Settings.h"
#include "editor/ContinuousEdit.h"
#include "editor/TagEditor.h"
#include "ui/main/ListCommands.h"

class QTabBar;

namespace Ui {
class CtagDlg;
}

namespace sorrelbox {

class Cv1tagDlg;
class Cv2tagDlg;

// What the main window lends the editor while it is open.
struct TagEditorHost {
    SongTable& table;
    const Settings& settings;
    const StartupInfo& startup;
    Prompts& prompts;
    int selectedLine = -1;  // single mode: the selected entry
    // List mode: selects an entry of the main window's list and runs its selection change.
    std::function<void(std::size_t index)> selectSong;
};

// The tag editor window: a view of a TagEditor. Every handler reads the fields into the
// editor, runs the editor's operation and pushes the editor back into the fields.
class CtagDlg : public QDialog {
    Q_OBJECT

  public:
    CtagDlg(const TagEditorRequest& request, TagEditorHost host, QWidget* parent = nullptr);
    ~CtagDlg() override;

    // True when the first song could not be shown and the window has nothing to show.
    bool finishedEarly() const { return finishedEarly_; }
    int exec() override;

    TagEditor& editor() { return editor_; }
    Cv1tagDlg& v1Page() { return *v1_; }
    Cv2tagDlg& v2Page() { return *v2_; }
    QTabBar& tabBar() { return *tabs_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ConnectControls();
    void WatchPage(QWidget* page);
    // Fields into the editor: both pages, or only the one shown. False when the ID3v1 track
    // is no whole number (the message has been shown and the values are the old ones).
    bool ReadFields();
    bool ReadV1Fields();
    void ReadV2Fields();
    bool ReadShownPage();
    void ReadNameFields();
    // The editor into the fields: all of them, or those a button changed. A button reads and
    // pushes only what it acts on, so nothing typed elsewhere is put back to an old value.
    void PushFields();
    void PushShownPage();
    void PushTracks();
    void UpdateEnables();
    void ShowCurrentPage();
    // What a song move leaves: the song shown, or the window closed.
    void Follow(WalkResult result);

    void OnUpdate();
    void OnCancel();
    void OnRevert();
    void OnAddField();
    void OnFileNameInput();
    void OnAddArtist();
    void OnAutoTrack(bool checked);
    void OnTab(int index);

    std::unique_ptr<Ui::CtagDlg> ui_;
    TagEditorHost host_;
    TagEditor editor_;
    SongWalk walk_;
    Cv1tagDlg* v1_ = nullptr;
    Cv2tagDlg* v2_ = nullptr;
    QTabBar* tabs_ = nullptr;
    QWidget* blank_ = nullptr;
    bool finishedEarly_ = false;
    bool pageChosen_ = true;  // false while a load's first page named no tab
};

}  // namespace sorrelbox
