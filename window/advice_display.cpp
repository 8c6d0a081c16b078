// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/advice_display.h"

#include "window/form.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QLineEdit>
#include <QTextEdit>

#include <algorithm>
#include <mutex>

namespace quemador {
namespace {

// The announcement of each calculation's results: an empty widget, announced to
// screen readers as a notification, which AT-SPI clients such as Orca speak as it
// appears wherever the focus is (Qt 6.4 has no other way to speak unasked).
QAccessibleInterface* announcement_accessible(const QString& class_name, QObject* object)
{
    static const QString announcement_name =
        QString::fromUtf8(form::first(form::Kind::announcement).name);
    if (class_name == QLatin1String("QWidget") && object->objectName() == announcement_name)
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Notification);
    return nullptr;
}

// A pale amber, with black text on it whatever the desktop's colours.
const QColor marked_background(0xff, 0xf0, 0xc0);
const QColor marked_text(Qt::black);

const QString out_of_date_note =
    QStringLiteral("Resultado desactualizado: las lecturas o el combustible han cambiado desde "
                   "el último cálculo; pulse Calcular.");
const QString typed_over_note =
    QStringLiteral("Escrito a mano, no calculado: no es un resultado. Al pulsar Calcular se "
                   "sustituye por el resultado.");

// A box's name as it heads its advice in the panel.
QString heading(const QString& name) { return QStringLiteral("⚠ ") + name + ':'; }

// Splits a text into at most `most` lines at its blanks, the first `first` pixels wide
// and the others `width`; the last is cut short with "…" where it does not fit.
QStringList fitted_lines(const QString& text, const QFontMetrics& metrics, int first, int width,
                         int most)
{
    QStringList lines;
    QString rest = text;
    int available = first;
    while (lines.size() + 1 < most && metrics.horizontalAdvance(rest) > available) {
        qsizetype cut = -1;
        for (auto blank = rest.indexOf(u' '); blank > 0; blank = rest.indexOf(u' ', blank + 1)) {
            if (metrics.horizontalAdvance(rest.left(blank)) > available)
                break;
            cut = blank;
        }
        if (cut <= 0)
            break;
        lines << rest.left(cut);
        rest = rest.mid(cut + 1);
        available = width;
    }
    lines << metrics.elidedText(rest, Qt::ElideRight, available);
    return lines;
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

// Sets a control's tooltip to the messages, then its base tooltip (the dynamic property
// "baseToolTip").
void explain(QWidget* control, const QStringList& messages)
{
    QStringList parts = messages;
    if (const QString base = control->property("baseToolTip").toString(); !base.isEmpty())
        parts << base;
    control->setToolTip(parts.join(QStringLiteral("\n\n")));
}

} // namespace

QString AdviceDisplay::results_heading() { return QStringLiteral("Resultados"); }

AdviceDisplay::AdviceDisplay(QWidget* window, Boxes boxes, QAbstractButton* fuel_option,
                             QWidget* calculate, QTextEdit* panel, QWidget* announcement)
    : QObject(window), window_(window), boxes_(std::move(boxes)), calculate_(calculate),
      panel_(panel), announcement_(announcement)
{
    static std::once_flag accessible_factory;
    std::call_once(accessible_factory,
                   [] { QAccessible::installFactory(announcement_accessible); });
    announcement_->hide();

    panel_->setReadOnly(true);
    panel_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    panel_->setTabChangesFocus(true);
    panel_->setLineWrapMode(QTextEdit::NoWrap);
    panel_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    panel_->setFrameStyle(QFrame::Box | QFrame::Plain);
    panel_->document()->setDocumentMargin(2);
    QPalette palette = panel_->palette();
    palette.setColor(QPalette::Base, marked_background);
    palette.setColor(QPalette::Text, marked_text);
    palette.setColor(QPalette::WindowText, marked_text);
    panel_->setPalette(palette);
    panel_->hide();

    for (const auto& [subject, named] : boxes_) {
        for (QLineEdit* edit : named.boxes)
            connect(edit, &QLineEdit::textEdited, this,
                    [this, subject = subject, edit] { edited(subject, edit); });
    }
    connect(fuel_option, &QAbstractButton::toggled, this, &AdviceDisplay::fuel_changed);
}

void AdviceDisplay::calculated(const std::vector<Advice>& advice)
{
    advice_ = advice;
    typed_over_.clear();
    has_results_ = true;
    out_of_date_ = false;
    refresh();

    announcement_->hide();
    announcement_->setAccessibleName(results_told());
    announcement_->setAccessibleDescription(advice_told());
    announcement_->show();
}

void AdviceDisplay::failed()
{
    advice_.clear();
    typed_over_.clear();
    has_results_ = false;
    out_of_date_ = false;
    refresh();
}

void AdviceDisplay::edited(AdviceSubject subject, QLineEdit* box)
{
    std::erase_if(advice_, [subject](const Advice& a) { return a.subject == subject; });
    if (subject == about_results)
        typed_over_.insert(box);
    else
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
    std::vector<Listed> listed;
    QStringList listed_in_full;
    for (const auto& [subject, named] : boxes_) {
        QStringList messages;
        for (const Advice& a : advice_) {
            if (a.subject != subject)
                continue;
            messages << QString::fromStdString(a.message);
            listed.push_back({named.heading, QString::fromStdString(a.brief)});
            listed_in_full << in_full(subject, messages.back());
        }

        const bool marked = !messages.isEmpty();
        for (QLineEdit* box : named.boxes) {
            // A result typed over is no result; results the inputs have moved on from
            // are out of date. Either is dimmed, and says which.
            QStringList notes = messages;
            if (typed_over_.contains(box))
                notes << typed_over_note;
            else if (out_of_date_ && subject == about_results)
                notes << out_of_date_note;
            const bool dimmed = notes.size() > messages.size();
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
            describe(box, notes);
            explain(box, notes);
        }
    }
    list(listed);
    panel_->setToolTip(listed_in_full.join('\n'));
    panel_->setVisible(!listed.empty());

    const QString told = summary();
    describe(calculate_, told.isEmpty() ? QStringList() : QStringList(told));
}

void AdviceDisplay::list(const std::vector<Listed>& listed)
{
    // Each piece of advice starts a line with the name of its box in bold and goes on
    // with its gist, over two lines at most, the second indented; when that would
    // need more lines than the panel shows, each gets one line. What does not fit is
    // cut short with "…": the full messages are in the boxes' tooltips and
    // descriptions, and in the panel's tooltip.
    const QFontMetrics metrics = panel_->fontMetrics();
    QFont bold = panel_->font();
    bold.setBold(true);
    const QFontMetrics bold_metrics(bold);
    const int margin = static_cast<int>(panel_->document()->documentMargin());
    const int width = panel_->contentsRect().width() - 2 * margin - 2;
    const int indent = bold_metrics.horizontalAdvance(QStringLiteral("⚠ "));
    const auto shown_lines = (panel_->contentsRect().height() - 2 * margin) / metrics.lineSpacing();

    std::vector<QStringList> lines;
    for (const int most : {2, 1}) {
        lines.clear();
        qsizetype count = 0;
        for (const Listed& item : listed) {
            const int first = width - bold_metrics.horizontalAdvance(heading(item.name) + ' ');
            lines.push_back(fitted_lines(item.gist, metrics, first, width - indent, most));
            count += lines.back().size();
        }
        if (count <= shown_lines)
            break;
    }

    QString html;
    for (std::size_t i = 0; i < listed.size(); ++i) {
        html += "<p style=\"margin: 0; white-space: pre\"><b>" + heading(listed[i].name) + "</b> " +
            lines[i].front().toHtmlEscaped() + "</p>";
        for (qsizetype line = 1; line < lines[i].size(); ++line)
            html +=
                QStringLiteral("<p style=\"margin: 0 0 0 %1px; white-space: pre\">").arg(indent) +
                lines[i][line].toHtmlEscaped() + "</p>";
    }
    panel_->setHtml(html);
}

QString AdviceDisplay::in_full(AdviceSubject subject, const QString& message) const
{
    return subject == about_results ? message : boxes_.at(subject).heading + ": " + message;
}

QString AdviceDisplay::summary() const
{
    if (!has_results_ || out_of_date_ || !typed_over_.empty())
        return {};
    const QString advice = advice_told();
    return advice.isEmpty() ? results_told() : results_told() + ' ' + advice;
}

QString AdviceDisplay::results_told() const
{
    QStringList results;
    for (const QLineEdit* box : boxes_.at(about_results).boxes)
        results << box->accessibleName() + ": " + box->text().trimmed() + " %.";
    return results.join(' ');
}

QString AdviceDisplay::advice_told() const
{
    // The first piece of advice as the panel lists them, by box.
    const Advice* first = nullptr;
    for (const auto& entry : boxes_) {
        const auto found = std::find_if(advice_.begin(), advice_.end(), [&entry](const Advice& a) {
            return a.subject == entry.first;
        });
        if (found != advice_.end()) {
            first = &*found;
            break;
        }
    }
    if (first == nullptr)
        return {};
    QString told = advice_.size() == 1
        ? QStringLiteral("Un aviso: ")
        : QStringLiteral("%1 avisos; el primero: ").arg(advice_.size());
    return told + in_full(first->subject, QString::fromStdString(first->message));
}

} // namespace quemador
