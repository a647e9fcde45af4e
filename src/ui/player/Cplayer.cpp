#include "ui/player/Cplayer.h"

#include <QKeyEvent>
#include <QShowEvent>
#include <algorithm>
#include <utility>

#include "ui/main/GuiResources.h"
#include "ui/main/QtText.h"
#include "ui_Cplayer.h"

namespace sorrelbox {

Cplayer::Cplayer(SongTable& table, Prompts& prompts, MediaDevice& device,
                 PlayerLogic::SelectSong selectSong, const PlayerRequest& request, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::Cplayer>()),
      logic_(table, device, prompts, std::move(selectSong), request) {
    InitGuiResources();
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    timer_.setObjectName(QStringLiteral("timer1"));
    timer_.setInterval(PlayerLogic::kTimerMs);

    auto button = [this](QAbstractButton* b, void (PlayerLogic::*operation)()) {
        connect(b, &QAbstractButton::clicked, this,
                [this, operation] { Run([this, operation] { (logic_.*operation)(); }); });
    };
    button(ui_->button1065, &PlayerLogic::Play);
    button(ui_->button1066, &PlayerLogic::Stop);
    button(ui_->button1067, &PlayerLogic::Pause);
    button(ui_->button1047, &PlayerLogic::Previous);
    button(ui_->button1069, &PlayerLogic::Next);
    connect(ui_->bar1062, &Ctimeber::pressedAt, this,
            [this](int x) { Run([this, x] { logic_.Seek(x); }); });
    // A tick leaves the focus where the user put it.
    connect(&timer_, &QTimer::timeout, this, [this] { Run([this] { logic_.Tick(); }, false); });
}

Cplayer::~Cplayer() {
    // Destroyed without closing (the main window went away): the song must not play on.
    if (!logic_.closeRequested()) logic_.Close();
}

void Cplayer::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (opened_) return;
    opened_ = true;
    // Queued, so the layout has given the bar its width and a failure can close the window.
    QMetaObject::invokeMethod(this, &Cplayer::OpenPlayer, Qt::QueuedConnection);
}

void Cplayer::OpenPlayer() {
    ui_->bar1062->setFocus();
    Run([this] { logic_.Open(ui_->bar1062->UsableWidth()); });
}

template <typename Operation>
void Cplayer::Run(Operation&& operation, bool focusBar) {
    if (logic_.closeRequested()) return;
    operation();
    Refresh();
    if (logic_.closeRequested()) {
        QDialog::reject();
        return;
    }
    if (focusBar) ui_->bar1062->setFocus();
}

void Cplayer::Refresh() {
    auto show = [](auto* widget, const QString& text) {
        if (widget->text() != text) widget->setText(text);
    };
    show(ui_->edit1063, ToQString(logic_.title()));
    ui_->edit1063->setCursorPosition(0);
    show(ui_->label1029, ToQString(logic_.timeLine()));
    show(ui_->label1070, ToQString(logic_.stateText()));
    show(ui_->label1071, ToQString(logic_.placeText()));
    Ctimeber* bar = ui_->bar1062;
    // A range of 0 to 0 would make the bar a busy indicator.
    const int maximum = std::max(logic_.barMaximum(), 1);
    if (bar->maximum() != maximum) bar->setRange(0, maximum);
    bar->setValue(logic_.barPosition());
    if (logic_.timerRunning() && !timer_.isActive()) {
        timer_.start();
    } else if (!logic_.timerRunning()) {
        timer_.stop();
    }
}

void Cplayer::reject() {
    if (!logic_.closeRequested()) logic_.Close();
    timer_.stop();
    QDialog::reject();
}

void Cplayer::keyPressEvent(QKeyEvent* event) {
    // Enter closes the window like Esc: the buttons are no default buttons.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        reject();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace sorrelbox
