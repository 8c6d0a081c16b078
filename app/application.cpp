#include "app/application.h"

#include "app/command_line.h"
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

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

namespace quemador {
namespace {

// Qt's messages while the window system starts are held back until it is known
// whether it started. If it did, they go on to the usual handler; if it did not, Qt
// ends the program with a fatal message and a core dump, and the user gets one line
// in Spanish instead, with status 1.
class WindowSystemStart {
public:
    WindowSystemStart() { previous = qInstallMessageHandler(&hold); }
    ~WindowSystemStart()
    {
        qInstallMessageHandler(previous);
        for (const Held& message : held)
            replay(message);
        held.clear();
    }
    WindowSystemStart(const WindowSystemStart&) = delete;
    WindowSystemStart& operator=(const WindowSystemStart&) = delete;

private:
    struct Held {
        QtMsgType type;
        QByteArray file, function, category;
        int line;
        QString text;
    };

    static void replay(const Held& message)
    {
        const QMessageLogContext context(message.file.constData(), message.line,
                                         message.function.constData(),
                                         message.category.constData());
        previous(message.type, context, message.text);
    }

    static void hold(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (type != QtFatalMsg) {
            held.push_back(
                {type, context.file, context.function, context.category, context.line, text});
            return;
        }
        bool display_refused = false;
        for (const Held& message : held)
            display_refused = display_refused ||
                (message.category == "qt.qpa.xcb" &&
                 message.text.startsWith(QLatin1String("could not connect to display")));
        const QByteArray display = qgetenv("DISPLAY");
        if (!display_refused) {
            for (const Held& message : held)
                replay(message);
            std::fputs("quemador1: no se puede iniciar el sistema de ventanas\n", stderr);
        } else if (display.isEmpty()) {
            std::fputs("quemador1: no hay pantalla: la variable DISPLAY está vacía\n", stderr);
        } else {
            std::fprintf(stderr, "quemador1: no se puede conectar con la pantalla «%s»\n",
                         display.constData());
        }
        std::_Exit(1);
    }

    static inline QtMessageHandler previous = nullptr;
    static inline std::vector<Held> held;
};

} // namespace

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
    if (const auto status = answer_help_or_version(argc, argv))
        return *status;
    std::optional<WindowSystemStart> start(std::in_place);
    QApplication app(argc, argv);
    start.reset();
    if (const auto status = reject_leftover_arguments(argc, argv))
        return *status;

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
