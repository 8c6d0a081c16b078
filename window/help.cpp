// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/help.h"

#include "window/form.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QScreen>
#include <QShortcut>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWhatsThis>
#include <QWidget>

#include <mutex>
#include <string_view>

namespace quemador {
namespace {

QString text(std::string_view utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

void set_help(QWidget* control, const form::Help& help)
{
    control->setToolTip(text(help.tooltip));
    control->setWhatsThis(text(help.whats_this));
}

// Qt's What's This popup is announced to screen readers as a tooltip, named with its
// text: Orca speaks a tooltip that appears after F1 (here Shift+F1) is pressed.
QAccessibleInterface* whats_this_accessible(const QString& class_name, QObject* object)
{
    if (class_name == QLatin1String("QWhatsThat") && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::ToolTip);
    return nullptr;
}

// Shows a control's What's This at a point, the popup named with its plain text.
void show_whats_this(QWidget* control, QPoint where)
{
    QWhatsThis::showText(where, control->whatsThis(), control);
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->setAccessibleName(
            QTextDocumentFragment::fromHtml(control->whatsThis()).toPlainText());
}

// Shows the focused control's What's This beside it; with no such text, lets the
// user point at a control instead.
void show_focused_whats_this()
{
    QWidget* focused = QApplication::focusWidget();
    if (focused == nullptr || focused->whatsThis().isEmpty()) {
        QWhatsThis::enterWhatsThisMode();
        return;
    }
    show_whats_this(focused, focused->mapToGlobal(QPoint(0, focused->height())));
}

// A control pointed at in What's This mode shows its text the same way.
class WhatsThisPointedAt : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::WhatsThis)
            return false;
        auto* control = static_cast<QWidget*>(watched);
        if (control->whatsThis().isEmpty())
            return false;
        show_whats_this(control, static_cast<QHelpEvent*>(event)->globalPos());
        return true;
    }
};

} // namespace

void install_help(QWidget* window)
{
    static std::once_flag accessible_factory;
    std::call_once(accessible_factory, [] { QAccessible::installFactory(whats_this_accessible); });
    auto* pointed_at = new WhatsThisPointedAt(window);

    // Each control of a part and its labels show the control's help, so that hovering
    // over the caption tells the same as hovering over the box.
    for (const form::Control& row : form::controls()) {
        if (row.part == form::Part::none)
            continue;
        const form::Help& help = form::control(row.part).help;
        auto* control = window->findChild<QWidget*>(text(row.name));
        if (control == nullptr || help.tooltip.empty())
            continue;
        set_help(control, help);
        control->installEventFilter(pointed_at);
        if (row.kind != form::Kind::label && !help.description.empty()) {
            control->setAccessibleDescription(text(help.description));
            control->setProperty("baseDescription", text(help.description));
            control->setProperty("baseToolTip", text(help.tooltip));
        }
    }

    auto* help = new QShortcut(QKeySequence::HelpContents, window);
    QObject::connect(help, &QShortcut::activated, window, [window] {
        auto* help_window = window->findChild<HelpWindow*>();
        if (help_window == nullptr)
            help_window = new HelpWindow(window);
        help_window->show();
        help_window->raise();
        help_window->activateWindow();
    });

    auto* whats_this = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1), window);
    QObject::connect(whats_this, &QShortcut::activated, window, show_focused_whats_this);
}

namespace {

// The help page, as the build made it from resources/help/ayuda.html.
QString help_text()
{
    QFile page(QStringLiteral(":/help/ayuda.html"));
    if (!page.open(QIODevice::ReadOnly))
        qFatal("the help page is missing from the program's resources");
    return QString::fromUtf8(page.readAll());
}

} // namespace

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent), page_(new QTextEdit(this))
{
    setObjectName(QStringLiteral("Ayuda"));
    setWindowTitle(QStringLiteral("Ayuda de Quemador1"));

    // A read-only text with a cursor: a screen reader reads it as a named text, line by
    // line as the arrow keys move, and the keys that move the cursor scroll it.
    page_->setObjectName(QStringLiteral("Texto_Ayuda"));
    page_->setAccessibleName(QStringLiteral("Ayuda de Quemador1"));
    page_->setReadOnly(true);
    page_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    page_->setTabChangesFocus(true);
    page_->setHtml(help_text());

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(page_);
    layout->addWidget(buttons);
    const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    resize(fitted_size(screen->availableGeometry().size()));
}

QSize HelpWindow::fitted_size(QSize available)
{
    return readable_size.boundedTo(available * 9 / 10);
}

void HelpWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    page_->setFocus(Qt::OtherFocusReason);
}

} // namespace quemador
