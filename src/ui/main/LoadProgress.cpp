#include "ui/main/LoadProgress.h"

#include <QCoreApplication>

namespace sorrelbox {
namespace {

constexpr qint64 kPumpEveryMs = 15;  // about one frame

}  // namespace

LoadProgress::LoadProgress(QWidget* window, int showAfterMs)
    : window_(window), showAfterMs_(showAfterMs) {
    clock_.start();
}

LoadProgress::~LoadProgress() {
    delete dialog_;
}

void LoadProgress::Progress(std::size_t done, std::size_t total) {
    const qint64 now = clock_.elapsed();
    const bool showNow = !dialog_ && now >= showAfterMs_;
    if (!showNow && now - lastPump_ < kPumpEveryMs) return;
    lastPump_ = now;
    if (showNow) {
        dialog_ = new QProgressDialog(window_);
        dialog_->setObjectName(QStringLiteral("loadProgress"));
        dialog_->setWindowTitle(QStringLiteral("読み込み中"));
        dialog_->setCancelButtonText(QStringLiteral("中止"));
        dialog_->setWindowModality(Qt::NonModal);
        dialog_->setAutoReset(false);
        dialog_->setAutoClose(false);
        dialog_->setMinimumDuration(0);
        QObject::connect(dialog_, &QProgressDialog::canceled, [this] { stop_ = true; });
        dialog_->show();
    }
    if (dialog_) {
        const int max = static_cast<int>(std::max<std::size_t>(total, 1));
        dialog_->setMaximum(max);
        dialog_->setValue(static_cast<int>(std::min(done, total)));
        dialog_->setLabelText(QStringLiteral("%1 / %2 曲を読み込みました").arg(done).arg(total));
    }
    QCoreApplication::processEvents();
}

}  // namespace sorrelbox
