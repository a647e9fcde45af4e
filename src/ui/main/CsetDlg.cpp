#include "ui/main/CsetDlg.h"

#include <QCheckBox>

#include "ui_CsetDlg.h"

namespace sorrelbox {
namespace {

// A box shows whether its setting is in effect: any non-zero kanryoumes silences the
// completion messages, the others act only at 1.
Qt::CheckState StateOf(bool on) {
    return on ? Qt::Checked : Qt::Unchecked;
}
std::uint8_t ValueOf(const QCheckBox* box) {
    return box->isChecked() ? 1 : 0;
}

}  // namespace

CsetDlg::CsetDlg(Settings& settings, std::string iniPath, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CsetDlg>()),
      settings_(settings),
      iniPath_(std::move(iniPath)) {
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    ui_->check1072->setCheckState(StateOf(settings_.kanryoumes != 0));
    ui_->check1073->setCheckState(StateOf(settings_.soutai == 1));
    ui_->check1076->setCheckState(StateOf(settings_.zyuuhuku == 1));
    ui_->check1074->setCheckState(StateOf(settings_.hyouzi == 1));
    ui_->check1075->setCheckState(StateOf(settings_.kuuran == 1));
    ui_->check1077->setCheckState(StateOf(settings_.backup == 1));
}

CsetDlg::~CsetDlg() = default;

void CsetDlg::accept() {
    settings_.kanryoumes = ValueOf(ui_->check1072);
    settings_.soutai = ValueOf(ui_->check1073);
    settings_.zyuuhuku = ValueOf(ui_->check1076);
    settings_.hyouzi = ValueOf(ui_->check1074);
    settings_.kuuran = ValueOf(ui_->check1075);
    settings_.backup = ValueOf(ui_->check1077);
    // A failed write is not reported; the new values hold for this run.
    SaveSettings(iniPath_, settings_);
    QDialog::accept();
}

}  // namespace sorrelbox
