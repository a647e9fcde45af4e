#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "settings/Settings.h"

namespace Ui {
class CsetDlg;
}

namespace sorrelbox {

// The settings window: six check boxes; OK takes them over and writes the INI file at once,
// cancel and the close box change nothing.
class CsetDlg : public QDialog {
    Q_OBJECT

  public:
    CsetDlg(Settings& settings, std::string iniPath, QWidget* parent = nullptr);
    ~CsetDlg() override;

    void accept() override;

  private:
    std::unique_ptr<Ui::CsetDlg> ui_;
    Settings& settings_;
    std::string iniPath_;
};

}  // namespace sorrelbox
