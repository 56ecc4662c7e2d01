#include "CTsumugiya_App.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

#include "AppLocations.h"
#include "CTsumugiya_Dlg.h"
#include "FilePath.h"
#include "Resources.h"
#include "platform/Platform.h"

namespace tsumugiya::ui {

int CTsumugiya_App::InitInstance(int& argc, char** argv) {
    QApplication application(argc, argv);
    const std::filesystem::path executable = platform::ExecutablePath();
    SetUpToolkit(executable);
    RunDialog(executable);
    return 0;
}

void CTsumugiya_App::SetUpToolkit(const std::filesystem::path& executable) {
    // Message boxes carry the executable's base name; the window title is fixed.
    const auto baseName = CFilePath(executable.string()).GetBaseName();
    if (baseName && !baseName->empty()) {
        QApplication::setApplicationName(QString::fromStdString(*baseName));
    }
    QApplication::setWindowIcon(ProgramIcon());
    // The desktop knows the program by its desktop file: the portal's
    // shortcuts and the notifications are filed under it.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.tsumugiya"));
    // The program keeps no settings but its own file; Qt's dialogs would
    // otherwise remember their folders and views in the user's home.
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, QStringLiteral("/dev/null"));
    }
    // The program speaks Japanese, so Qt's own buttons and file dialog do too,
    // whatever the system's language, down to the file kinds the dialog
    // lists. Without the translation the words stay English.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
    // The layout font for everything not given another, message boxes too.
    QApplication::setFont(LoadDialogTemplate(QString::fromLatin1(kMainDialogLayout)).Font());
}

void CTsumugiya_App::RunDialog(const std::filesystem::path& executable) {
    AppLocations locations;
    CTsumugiya_Dlg dialog(locations, executable);
    dialog.exec();
}

}  // namespace tsumugiya::ui
