#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>

#include "loading/SongLoader.h"

class QWidget;

namespace sorrelbox {

// Keeps the main window alive while a load runs on its thread: it paints (events are pumped
// between songs and while a read is awaited), and once the load has lasted showAfterMs it shows
// "songs read of songs to read" in a progress dialog whose 中止 stops the load.
//
// Re-entrancy: the pumped events cannot start another command. The window disables its menus,
// actions and list and refuses drops while a load runs, and the progress dialog is not modal,
// so no nested event loop waits on it; the flow's own message boxes stay modal, as before.
class LoadProgress : public LoadObserver {
  public:
    LoadProgress(QWidget* window, int showAfterMs);
    ~LoadProgress() override;

    void Progress(std::size_t done, std::size_t total) override;
    bool StopRequested() override { return stop_; }
    void RequestStop() { stop_ = true; }
    // The dialog once shown (tests look at it); null before.
    QProgressDialog* dialog() const { return dialog_; }

  private:
    QWidget* window_;
    int showAfterMs_;
    QElapsedTimer clock_;
    qint64 lastPump_ = 0;
    QPointer<QProgressDialog> dialog_;
    bool stop_ = false;
};

}  // namespace sorrelbox
