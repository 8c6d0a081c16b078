#include "window/advice_display.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QTextEdit>

namespace quemador {
namespace {

// A pale amber, with black text on it whatever the desktop's colours.
const QColor marked_background(0xff, 0xf0, 0xc0);
const QColor marked_text(Qt::black);

const QString out_of_date_note =
    QStringLiteral("Resultado desactualizado: las lecturas o el combustible han cambiado desde "
                   "el último cálculo; pulse Calcular.");

// The heading of a subject's advice in the panel: the box it concerns, which is also
// drawn marked. Advice on the results names them itself ("Resultados fuera de …").
QString heading(AdviceSubject subject)
{
    if (!subject)
        return QStringLiteral("⚠");
    switch (*subject) {
    case Input::O2:
        return QStringLiteral("⚠ O2:");
    case Input::CO2:
        return QStringLiteral("⚠ CO2:");
    case Input::Temp_stack:
        return QStringLiteral("⚠ Temperatura:");
    }
    Q_UNREACHABLE();
}

// Sets a control's accessible description to its base description (the dynamic
// property "baseDescription", empty when unset) followed by the messages, each after
// ". " (or a blank where the text before already ends with a period).
void describe(QWidget* control, const QStringList& messages)
{
    QString description = control->property("baseDescription").toString();
    for (const QString& message : messages) {
        if (!description.isEmpty())
            description += description.endsWith(u'.') ? QStringLiteral(" ") : QStringLiteral(". ");
        description += message;
    }
    control->setAccessibleDescription(description);
}

} // namespace

AdviceDisplay::AdviceDisplay(QWidget* window, Boxes boxes, QAbstractButton* fuel_option,
                             QRect panel)
    : QObject(window), window_(window), boxes_(std::move(boxes)), panel_(new QTextEdit(window))
{
    panel_->setObjectName(QStringLiteral("Avisos"));
    panel_->setAccessibleName(QStringLiteral("Avisos"));
    panel_->setGeometry(panel);
    panel_->setReadOnly(true);
    panel_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    panel_->setTabChangesFocus(true);
    panel_->setFrameStyle(QFrame::Box | QFrame::Plain);
    panel_->document()->setDocumentMargin(2);
    QPalette palette = panel_->palette();
    palette.setColor(QPalette::Base, marked_background);
    palette.setColor(QPalette::Text, marked_text);
    palette.setColor(QPalette::WindowText, marked_text);
    panel_->setPalette(palette);
    panel_->hide();

    for (const auto& [subject, edits] : boxes_) {
        for (QLineEdit* edit : edits)
            connect(edit, &QLineEdit::textEdited, this,
                    [this, subject = subject] { edited(subject); });
    }
    connect(fuel_option, &QAbstractButton::toggled, this, &AdviceDisplay::fuel_changed);
}

void AdviceDisplay::calculated(const std::vector<Advice>& advice)
{
    advice_ = advice;
    has_results_ = true;
    out_of_date_ = false;
    refresh();
}

void AdviceDisplay::failed()
{
    advice_.clear();
    has_results_ = false;
    out_of_date_ = false;
    refresh();
}

void AdviceDisplay::edited(AdviceSubject subject)
{
    std::erase_if(advice_, [subject](const Advice& a) { return a.subject == subject; });
    if (subject != about_results)
        out_of_date_ = has_results_;
    refresh();
}

void AdviceDisplay::fuel_changed()
{
    out_of_date_ = has_results_;
    refresh();
}

void AdviceDisplay::refresh()
{
    QString listed;
    for (const auto& [subject, boxes] : boxes_) {
        QStringList messages;
        for (const Advice& a : advice_) {
            if (a.subject == subject)
                messages << QString::fromStdString(a.message);
        }
        for (const QString& message : messages)
            listed += "<p style=\"margin: 0 0 3px 0\"><b>" + heading(subject) + "</b> " +
                message.toHtmlEscaped() + "</p>";

        const bool marked = !messages.isEmpty();
        const bool dimmed = out_of_date_ && subject == about_results;
        if (dimmed)
            messages << out_of_date_note;
        for (QLineEdit* box : boxes) {
            QPalette palette = window_->palette();
            if (marked) {
                palette.setColor(QPalette::Base, marked_background);
                palette.setColor(QPalette::Text, marked_text);
            }
            if (dimmed)
                palette.setColor(QPalette::Text, palette.color(QPalette::Disabled, QPalette::Text));
            box->setPalette(palette);
            QFont font = window_->font();
            font.setBold(marked);
            font.setItalic(dimmed);
            box->setFont(font);
            describe(box, messages);
        }
    }
    panel_->setHtml(listed);
    panel_->setVisible(!listed.isEmpty());
}

} // namespace quemador
