#include "ui/player/Ctimeber.h"

#include <QMouseEvent>

namespace sorrelbox {

namespace {
constexpr int kBorder = 1;
}  // namespace

Ctimeber::Ctimeber(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(false);
    setValue(0);
}

int Ctimeber::UsableWidth() const {
    return geometry().width() - 3;
}

void Ctimeber::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit pressedAt(static_cast<int>(event->position().x()) - kBorder);
    }
    QProgressBar::mousePressEvent(event);
}

}  // namespace sorrelbox
