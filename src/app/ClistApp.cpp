#include "ClistApp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTranslator>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "platform/CodePage.h"
#include "platform/FileOps.h"
#include "platform/ScriptedPrompts.h"
#include "ui/main/ClistDlg.h"
#include "ui/main/GuiResources.h"
#include "ui/main/QtText.h"
#include "ui/player/QtMediaDevice.h"

namespace sorrelbox {
namespace {

constexpr const char* kShippedFiles[] = {"genre.txt", "manual.htm"};

int Fail(const QString& text) {
    std::cerr << "sorrelbox: " << text.toStdString() << "\n";
    QMessageBox::critical(nullptr, QStringLiteral("sorrelbox"), text);
    return 2;
}

// Japanese glyph forms for the kanji, whatever the locale's font preference.
void PreferJapaneseFont(QApplication& app) {
    const QString japanese = QStringLiteral("Noto Sans CJK JP");
    if (!QFontDatabase::families().contains(japanese)) return;
    QFont font = app.font();
    font.setFamilies({font.family(), japanese});
    app.setFont(font);
}

// Renders the window with songs loaded, for the documentation, and quits.
int Screenshot(ClistDlg& window, const QString& output, const std::vector<std::string>& songs) {
    window.LoadDropped(songs);
    window.SelectRow(0);
    window.show();
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
    if (!window.grab().save(output, "PNG")) {
        std::cerr << "sorrelbox: cannot write " << output.toStdString() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

bool InstallJapaneseTranslation() {
    // Lives as long as the application.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

QString MusicFolder() {
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    return QFileInfo(music).isDir() ? music : QDir::homePath();
}

QString UserFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/sorrelbox");
}

QStringList SeedFolders() {
    return {QCoreApplication::applicationDirPath() + QStringLiteral("/../share/sorrelbox"),
            QStringLiteral(SORRELBOX_DATA_DIR), QStringLiteral(SORRELBOX_RESOURCE_DIR)};
}

namespace {

// The shipped genre list is UTF-8; the lists in the user's folder are in the code page.
bool SeedFile(const QString& source, const QString& target) {
    if (!target.endsWith(QLatin1String(".txt"))) {
        // QFile::copy writes through a temporary file, so no half copy is left behind.
        return QFile::copy(source, target);
    }
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) return false;
    const QByteArray utf8 = in.readAll();
    const std::string text = ActiveCodePage().FromUtf8(std::string_view(utf8.data(), utf8.size()));
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) return false;
    out.write(text.data(), static_cast<qint64>(text.size()));
    return out.commit();
}

}  // namespace

bool PrepareUserFolder(const QString& folder, const QStringList& seedFolders) {
    if (!QDir().mkpath(folder)) return false;
    for (const char* name : kShippedFiles) {
        const QString target = folder + QLatin1Char('/') + QLatin1String(name);
        if (QFileInfo::exists(target)) continue;
        for (const QString& seed : seedFolders) {
            const QString source = seed + QLatin1Char('/') + QLatin1String(name);
            if (QFileInfo(source).isFile() && SeedFile(source, target)) break;
        }
    }
    return true;
}

int ClistApp::Run(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("sorrelbox"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.sorrelbox.Sorrelbox"));

    bool desktopStart = false;
    QString screenshotFile;
    std::vector<QString> screenshotSongs;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--desktop")) {
            desktopStart = true;
        } else if (args[i] == QLatin1String("--screenshot") && i + 1 < args.size()) {
            screenshotFile = args[++i];
            while (i + 1 < args.size()) screenshotSongs.push_back(args[++i]);
        }
    }

    std::string error;
    const std::optional<CodePage> codePage = CodePageFromEnvironment(&error);
    if (!codePage) return Fail(QString::fromStdString(error));
    SetActiveCodePage(*codePage);

    // From the desktop menu the current folder is arbitrary; the user's own folder keeps the
    // settings and lists from run to run. It also becomes the current folder, as a shell start
    // has it.
    std::optional<std::string> folder;
    if (!desktopStart) folder = CurrentDirectory();
    if (!folder) {
        const QString own = UserFolder();
        if (!PrepareUserFolder(own, SeedFolders()) || !QDir::setCurrent(own)) {
            return Fail(QStringLiteral("cannot use the folder ") + own);
        }
        folder = CurrentDirectory();
        if (!folder)
            return Fail(QStringLiteral("the folder name does not fit the code page: ") + own);
    }
    startup_ = MakeStartupInfo(*folder);
    settings_ = LoadSettings(startup_.iniPath);

    InstallJapaneseTranslation();
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    PreferJapaneseFont(app);
    InitGuiResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/sorrelbox/sorrelbox.png")));

    if (!screenshotFile.isEmpty()) {
        // No one answers questions while the picture is made.
        ScriptedPrompts quiet;
        ClistDlg window(settings_, startup_, &quiet);
        std::vector<std::string> songs;
        for (const QString& song : screenshotSongs) songs.push_back(PathFromQString(song));
        return Screenshot(window, screenshotFile, songs);
    }

    ClistDlg window(settings_, startup_);
    // The user's own folder holds settings, not music: a desktop start browses from the music
    // folder instead.
    if (desktopStart) window.setDialogFolder(MusicFolder());
    window.exec();
    // Nothing is saved at exit: the settings window writes the INI file itself. A media back
    // end that never answered would keep the process from ending.
    if (QtMediaDevice::BackEndHangs()) std::_Exit(0);
    return 0;
}

}  // namespace sorrelbox
