#pragma once

#include <QProgressBar>

namespace sorrelbox {

// The player's time bar: a progress bar in whole seconds that reports left-button presses, so
// the player can seek to the clicked point.
class Ctimeber : public QProgressBar {
    Q_OBJECT

  public:
    explicit Ctimeber(QWidget* parent = nullptr);

    // The usable width in pixels: the outer width less the border.
    int UsableWidth() const;

  signals:
    // x in pixels from the bar's inner left edge.
    void pressedAt(int x);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace sorrelbox
