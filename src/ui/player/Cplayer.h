#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>

#include "ui/player/PlayerLogic.h"

namespace Ui {
class Cplayer;
}

namespace sorrelbox {

// The player window: five buttons, the title, the time line, the state and place texts and
// the time bar over PlayerLogic. The window timer drives the logic's ticks.
class Cplayer : public QDialog {
    Q_OBJECT

  public:
    // selectSong selects a line of the main window's list and runs its selection change.
    Cplayer(SongTable& table, Prompts& prompts, MediaDevice& device,
            PlayerLogic::SelectSong selectSong, const PlayerRequest& request,
            QWidget* parent = nullptr);
    ~Cplayer() override;

    PlayerLogic& logic() { return logic_; }
    QTimer& timer() { return timer_; }

  public slots:
    // The close box, Esc and Enter: the song stops and the device closes first.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // Opening the window, once it is shown and laid out.
    void OpenPlayer();
    // Runs one operation of the logic and mirrors its outcome; the buttons hand the focus
    // back to the time bar.
    template <typename Operation>
    void Run(Operation&& operation, bool focusBar = true);
    void Refresh();

    std::unique_ptr<Ui::Cplayer> ui_;
    PlayerLogic logic_;
    QTimer timer_;
    bool opened_ = false;
};

}  // namespace sorrelbox
