#include "ui/main/ClistDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QIcon>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStringList>
#include <QUrl>

#include "platform/FileOps.h"
#include "ui/main/CsetDlg.h"
#include "ui/main/GuiResources.h"
#include "ui/main/LoadProgress.h"
#include "ui/main/QtPrompts.h"
#include "ui/main/QtText.h"
#include "ui/player/Cplayer.h"
#include "ui/player/QtMediaDevice.h"
#include "ui/tageditor/CtagDlg.h"
#include "ui_ClistDlg.h"

namespace sorrelbox {
namespace {

class BusyCursor {
  public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// The list lines align their minutes with spaces, which only a fixed-pitch font shows as
// columns; the CJK one keeps Japanese names at twice the Latin width.
void UseAligningFont(QWidget* list) {
    const QString japaneseMono = QStringLiteral("Noto Sans Mono CJK JP");
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (QFontDatabase::families().contains(japaneseMono)) font.setFamilies({japaneseMono});
    font.setPointSizeF(list->font().pointSizeF());
    list->setFont(font);
}

}  // namespace

ClistDlg::ClistDlg(Settings& settings, const StartupInfo& startup, Prompts* prompts,
                   QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::ClistDlg>()),
      settings_(settings),
      startup_(startup),
      ownPrompts_(prompts ? nullptr : std::make_unique<QtPrompts>(this)),
      prompts_(prompts ? *prompts : *ownPrompts_),
      commands_(std::make_unique<ListCommands>(table_, settings_, startup_, prompts_)),
      menuRunner_([](QMenu& menu, const QPoint& pos) { menu.exec(pos); }),
      urlOpener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    InitGuiResources();
    ui_->setupUi(this);
    layout()->setMenuBar(ui_->menu129);
    // A top-level window rather than a dialog, so window managers offer to minimise it.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(QStringLiteral(":/sorrelbox/sorrelbox.png")));
    setAcceptDrops(true);
    UseAligningFont(ui_->list1007);
    ui_->list1007->installEventFilter(this);
    ui_->list1007->viewport()->installEventFilter(this);
    ConnectCommands();
    Refresh();
    ui_->list1007->setFocus();
    // The captions carry no mnemonics, so F10 opens the menu bar from the keyboard.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this,
            [this] { ui_->menu129->setActiveAction(ui_->menuFile->menuAction()); });
}

ClistDlg::~ClistDlg() = default;

void ClistDlg::ConnectCommands() {
    auto on = [this](QAction* action, auto&& handler) {
        connect(action, &QAction::triggered, this, [this, handler] {
            handler();
            Refresh();
        });
    };
    ListCommands* c = commands_.get();
    on(ui_->action32771, [this, c] { RunLoad([c] { c->OpenFiles(); }); });
    on(ui_->action32772, [this, c] { RunLoad([c] { c->OpenFolder(); }); });
    on(ui_->action32773, [c] { c->NewList(); });
    on(ui_->action32774, [c] { c->MakeList(); });
    on(ui_->action32779, [c] { c->MakeM3u(); });
    on(ui_->action32776, [this] { accept(); });
    // The tag editor runs modally over the list; a rename inside it changes the list's lines.
    const auto editTags = [this, c](const std::optional<TagEditorRequest>& request) {
        if (!request) return;
        const auto syncLines = [this] {
            const std::vector<std::string>& entries = table_.entries();
            const int count = std::min(ui_->list1007->count(), static_cast<int>(entries.size()));
            for (int i = 0; i < count; ++i) {
                const QString line = ToQString(entries[static_cast<std::size_t>(i)]);
                if (ui_->list1007->item(i)->text() != line) ui_->list1007->item(i)->setText(line);
            }
        };
        {
            auto selectSong = [this, syncLines](std::size_t index) {
                syncLines();
                SelectRow(static_cast<int>(index));
            };
            TagEditorHost host{table_, settings_, startup_, prompts_, c->selection(), selectSong};
            CtagDlg editor(*request, std::move(host), this);
            editor.exec();
        }
        syncLines();
        c->TagEditorClosed(request->mode);
    };
    on(ui_->action32777, [editTags, c] { editTags(c->EditTag()); });
    on(ui_->action32782, [editTags, c] { editTags(c->EditTag()); });
    on(ui_->action32778, [editTags, c] { editTags(c->EditThroughList()); });
    on(ui_->action32785, [this, c] {
        if (const auto request = c->PlayOne()) OpenPlayer(*request);
    });
    on(ui_->action32784, [this, c] {
        if (const auto request = c->PlayOne()) OpenPlayer(*request);
    });
    on(ui_->action32786, [this, c] {
        if (const auto request = c->PlayInSequence()) OpenPlayer(*request);
    });
    on(ui_->action32787, [this] { OpenSettings(); });
    on(ui_->action32789, [this] { OpenManual(); });
    on(ui_->action32780, [c] { c->Reorder(); });
    on(ui_->action32781, [c] { c->Delete(); });

    // Queued, so the flow (which may ask and rebuild the list) runs after the list has
    // finished handling the click or key. The selection, not the current row, is followed:
    // focus alone makes a row current without selecting it.
    connect(ui_->list1007, &QListWidget::itemSelectionChanged, this, &ClistDlg::OnListSelection,
            Qt::QueuedConnection);
    // A click on the entry that is already selected completes a pending move too.
    connect(
        ui_->list1007, &QListWidget::clicked, this,
        [this] {
            if (commands_->movePending()) OnListSelection();
        },
        Qt::QueuedConnection);
}

void ClistDlg::setDialogFolder(const QString& folder) {
    if (ownPrompts_) ownPrompts_->setFolder(folder);
}

// The load runs on this thread and pumps events as it goes (LoadProgress), so nothing that
// could start another command is left enabled meanwhile. Closing or Esc stops it after the
// current song, and the window closes once the list holds what was added.
void ClistDlg::RunLoad(const std::function<void()>& load) {
    BusyCursor busy;
    QList<QAction*> disabled;
    for (QAction* action : findChildren<QAction*>()) {
        if (!action->isEnabled()) continue;
        action->setEnabled(false);
        disabled.append(action);
    }
    ui_->menu129->setEnabled(false);
    ui_->list1007->setEnabled(false);
    LoadProgress progress(this, progressDelayMs_);
    loading_ = &progress;
    commands_->setLoadObserver(&progress);
    load();
    commands_->setLoadObserver(nullptr);
    loading_ = nullptr;
    for (QAction* action : disabled) action->setEnabled(true);
    ui_->menu129->setEnabled(true);
    ui_->list1007->setEnabled(true);
    if (closeAfterLoad_) {
        Refresh();
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

int ClistDlg::SelectedRow() const {
    const QList<QListWidgetItem*> selected = ui_->list1007->selectedItems();
    return selected.isEmpty() ? -1 : ui_->list1007->row(selected.front());
}

void ClistDlg::OnListSelection() {
    // Queued before a load began: the load ends it, and the list is disabled meanwhile.
    if (loading_) return;
    const int row = SelectedRow();
    // A single-selection list is never emptied by the user (Ctrl+click would): keep the entry.
    if (row < 0 && commands_->selection() >= 0) {
        Refresh();
        return;
    }
    commands_->SelectionChanged(row);
    Refresh();
}

void ClistDlg::SelectionChange() {
    commands_->SelectionChanged(SelectedRow());
    Refresh();
}

void ClistDlg::SelectRow(int row) {
    {
        const QSignalBlocker blocker(ui_->list1007);
        if (row < 0) {
            ui_->list1007->setCurrentRow(-1);
            ui_->list1007->clearSelection();
        } else {
            ui_->list1007->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        }
    }
    SelectionChange();
}

void ClistDlg::LoadDropped(const std::vector<std::string>& paths) {
    RunLoad([this, &paths] { commands_->DropFiles(paths); });
    Refresh();
}

void ClistDlg::OpenSettings() {
    CsetDlg dialog(settings_, startup_.iniPath, this);
    dialog.exec();
}

void ClistDlg::OpenManual() {
    const std::string path = commands_->ManualPath();
    // A missing manual is not reported, and no viewer is started for it.
    if (!IsRegularFile(path)) return;
    urlOpener_(QUrl::fromLocalFile(PathToQString(path)));
}

void ClistDlg::OpenPlayer(const PlayerRequest& request) {
    const std::shared_ptr<MediaDevice> device =
        mediaDeviceFactory_ ? mediaDeviceFactory_() : std::make_shared<QtMediaDevice>();
    {
        Cplayer player(
            table_, prompts_, *device, [this](int row) { SelectRow(row); }, request, this);
        player.exec();
    }
    commands_->PlayerClosed(request.mode);
}

void ClistDlg::Refresh() {
    QListWidget* list = ui_->list1007;
    const QSignalBlocker blocker(list);
    const std::vector<std::string>& entries = table_.entries();
    if (const std::size_t from = commands_->TakeListChange(); from != ListCommands::kNoChange) {
        if (from == 0) {
            list->clear();
        } else {
            while (static_cast<std::size_t>(list->count()) > from) {
                delete list->takeItem(list->count() - 1);
            }
        }
        QStringList lines;
        lines.reserve(static_cast<qsizetype>(entries.size() - std::min(from, entries.size())));
        for (std::size_t i = static_cast<std::size_t>(list->count()); i < entries.size(); ++i) {
            lines << ToQString(entries[i]);
        }
        list->addItems(lines);
    }

    const int selection = commands_->selection();
    if (selection < 0) {
        list->setCurrentRow(-1);
        list->clearSelection();
    } else if (selection < list->count() &&
               (list->currentRow() != selection || !list->item(selection)->isSelected())) {
        list->setCurrentRow(selection, QItemSelectionModel::ClearAndSelect);
    }

    auto show = [](QLineEdit* edit, const QString& text) {
        if (edit->text() == text) return;
        edit->setText(text);
        edit->setCursorPosition(0);
    };
    show(ui_->edit1000, QString::number(table_.songCount()));
    show(ui_->edit1001, ToQString(table_.totalTimeText()));
    show(ui_->edit1002, ToQString(table_.totalSizeText()));
    show(ui_->edit1003, ToQString(table_.timeText()));
    show(ui_->edit1004, ToQString(table_.sizeText()));
    show(ui_->edit1005, ToQString(table_.bitRateText()));
    show(ui_->edit1006, ToQString(table_.titleText()));
}

void ClistDlg::closeEvent(QCloseEvent* event) {
    if (loading_) {
        loading_->RequestStop();
        closeAfterLoad_ = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void ClistDlg::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (loading_ && (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        loading_->RequestStop();
        closeAfterLoad_ = true;
        return;
    }
    // The window has no buttons: Enter ends it like Esc and the close box.
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool ClistDlg::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == ui_->list1007->viewport() &&
        (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
         type == QEvent::MouseButtonRelease)) {
        // A right press only asks for the menu, which acts on the song already selected; the
        // list would select the row under the pointer (and answer a pending move with it).
        return static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
    }
    if (watched == ui_->list1007 && type == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier) ||
            (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier)) {
            OpenKeyboardMenu();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ClistDlg::OpenKeyboardMenu() {
    QListWidget* list = ui_->list1007;
    const int row = commands_->selection();
    if (row < 0 || row >= list->count() || commands_->movePending()) return;
    list->scrollToItem(list->item(row));
    const QRect rect = list->visualItemRect(list->item(row));
    menuRunner_(*ui_->menu130, list->viewport()->mapToGlobal(rect.center()));
}

void ClistDlg::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    // The keyboard's request (X11 sends one for the Menu key) has no point of its own.
    if (event->reason() == QContextMenuEvent::Keyboard) {
        OpenKeyboardMenu();
        return;
    }
    const QPoint global = event->globalPos();
    const int y = mapFromGlobal(global).y();
    const bool wanted = commands_->WantsContextMenu(
        y, [this] { return ui_->list1007->mapTo(this, QPoint(0, 0)).y(); });
    if (wanted) menuRunner_(*ui_->menu130, global);
}

void ClistDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!loading_ && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void ClistDlg::dragMoveEvent(QDragMoveEvent* event) {
    if (!loading_ && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void ClistDlg::dropEvent(QDropEvent* event) {
    if (loading_) return;
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) paths.push_back(PathFromQString(url.toLocalFile()));
    }
    event->acceptProposedAction();
    LoadDropped(paths);
}

}  // namespace sorrelbox
