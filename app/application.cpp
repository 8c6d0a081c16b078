// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"

#include "app/command_line.h"
#include "quemador_version.h"
#include "window/error_report.h"
#include "window/main_window.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QIcon>
#include <QIconEngine>
#include <QImageReader>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QTranslator>

#ifdef QUEMADOR_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <optional>
#include <thread>
#include <vector>

namespace quemador {
namespace {

// Qt's messages while the window system starts are held back until it is known
// whether it started. If it did, they go on to the usual handler; if it did not, Qt
// ends the program with a fatal message and a core dump, and the user gets one line
// in Spanish instead, with status 1. Which line depends on whether the X11 platform
// plugin is the one that failed, told by its messages' logging category, and on the
// display it was given (-display or DISPLAY), never on the text of Qt's messages.
class WindowSystemStart {
public:
    // display_option: the display named on the command line, or null.
    explicit WindowSystemStart(const char* display_option)
    {
        previous = qInstallMessageHandler(&hold);
        display = display_option != nullptr ? QByteArray(display_option) : qgetenv("DISPLAY");
    }
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
        const bool xcb_failed = std::any_of(held.begin(), held.end(), [](const Held& message) {
            return message.category.startsWith("qt.qpa.xcb");
        });
        if (!xcb_failed) {
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
    static inline QByteArray display;
    static inline std::vector<Held> held;
};

// The icon's images that the build embedded, one per size. Each is decoded only when
// a pixmap of about its size is asked for, and read as PNG without probing its
// format, which would load every image plugin. The window system is offered only the
// sizes that it draws beside a window's title (each offered size is decoded and sent
// to it when the window is shown); larger ones, for docks and menus, come from the
// icon theme through the desktop entry.
class EmbeddedIconEngine final : public QIconEngine {
public:
    static constexpr int largest_offered = 64;

    EmbeddedIconEngine()
    {
        const QDir folder(QStringLiteral(":/icons"));
        for (const QString& name : folder.entryList(QDir::Files)) {
            QImageReader reader(folder.filePath(name));
            read_png_only(reader);
            files_[reader.size().width()] = reader.fileName();
        }
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode /*mode*/, QIcon::State /*state*/) override
    {
        if (files_.empty() || size.isEmpty())
            return {};
        // The smallest image at least as large as asked, or else the largest.
        const int side = std::min(size.width(), size.height());
        auto file = files_.lower_bound(side);
        if (file == files_.end())
            file = std::prev(file);
        QPixmap& image = decoded_[file->first];
        if (image.isNull()) {
            QImageReader reader(file->second);
            read_png_only(reader);
            image = QPixmap::fromImage(reader.read());
        }
        if (file->first <= side)
            return image;
        return image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }

    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return pixmap(size, mode, state).size();
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }

    QList<QSize> availableSizes(QIcon::Mode /*mode*/, QIcon::State /*state*/) override
    {
        QList<QSize> sizes;
        for (auto file = files_.begin(); file != files_.upper_bound(largest_offered); ++file)
            sizes.append(QSize(file->first, file->first));
        return sizes;
    }

    [[nodiscard]] QIconEngine* clone() const override { return new EmbeddedIconEngine(*this); }

private:
    // With its format detection on, a reader asks every image plugin whether it reads
    // the format, and so loads them all.
    static void read_png_only(QImageReader& reader)
    {
        reader.setFormat("png");
        reader.setAutoDetectImageFormat(false);
    }

    std::map<int, QString> files_;   // by side, in pixels
    std::map<int, QPixmap> decoded_; // by side, filled on first use
};

} // namespace

QIcon application_icon() { return QIcon(new EmbeddedIconEngine); }

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
    if (const auto status = reject_unknown_arguments(argc, argv))
        return *status;
        // Fontconfig reads its configuration and font caches before the window's first
        // text can be laid out: a few milliseconds, spent here beside the connection to
        // the window system instead of after it.
#ifdef QUEMADOR_HAVE_FONTCONFIG
    std::thread font_configuration([] { FcInit(); });
#endif
    std::optional<WindowSystemStart> start(std::in_place, display_option(argc, argv));
    QApplication app(argc, argv);
    start.reset();
#ifdef QUEMADOR_HAVE_FONTCONFIG
    font_configuration.join();
#endif
    if (const auto status = reject_leftover_arguments(argc, argv))
        return *status;

    QApplication::setApplicationName(QStringLiteral("Quemador1"));
    QApplication::setApplicationVersion(QStringLiteral(QUEMADOR_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(QUEMADOR_APP_ID));
    QApplication::setWindowIcon(application_icon());
    install_spanish_translations(app);

    // A line edit lays its text out with the application's font before it takes the
    // window's, so the window is built with its font as the application's: otherwise
    // the desktop's font would be loaded at start for nothing. The desktop's font is
    // then put back for everything else (message box, menus, tooltips).
    const QFont desktop_font = QApplication::font();
    QApplication::setFont(MainWindow::window_font());
    MainWindow window(show_error_report);
    QApplication::setFont(desktop_font);
    window.show();
    return QApplication::exec();
}

} // namespace quemador
