#include "app/application.h"

#include "quemador_version.h"
#include "runtime/error_report.h"
#include "window/main_window.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

namespace quemador {

QIcon application_icon()
{
    // Every size that the build embedded.
    QIcon icon;
    const QDir images(QStringLiteral(":/icons"));
    for (const QString& name : images.entryList(QDir::Files))
        icon.addFile(images.filePath(name));
    return icon;
}

void install_spanish_translations(QApplication& app)
{
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Spanish, QLocale::Spain), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);
    else
        delete translator;
}

void show_error_report(QWidget* window, const RuntimeError& error)
{
    QMessageBox::critical(window, window->windowTitle(),
                          QString::fromStdString(error_report(error)));
}

int run_application(int& argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quemador1"));
    QApplication::setApplicationVersion(QStringLiteral(QUEMADOR_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(QUEMADOR_APP_ID));
    QApplication::setWindowIcon(application_icon());
    install_spanish_translations(app);

    MainWindow window(show_error_report);
    window.show();
    return QApplication::exec();
}

} // namespace quemador
