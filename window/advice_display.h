// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How the calculator window shows advice on a calculation, and results that no longer
// match the inputs. A box with advice is drawn marked (tinted, bold text), and its
// full message is added to the box's tooltip and accessible description; the advice
// panel beside the inputs lists each piece of advice on one line, the box's name and
// the gist, so that several are read at a glance. Results left over from before an
// edit, and a result box the user typed into, are dimmed and set in italics, and the
// box's tooltip and accessible description say why until the next calculation. After
// each calculation the results and the first piece of advice are announced to screen
// readers as a notification, and stay in the accessible description of the control
// that ran it until they are out of date.

#include "calculation/reading_advice.h"

#include <QObject>
#include <QString>

#include <map>
#include <set>
#include <vector>

class QAbstractButton;
class QLineEdit;
class QTextEdit;
class QWidget;

namespace quemador {

class AdviceDisplay : public QObject {
    Q_OBJECT

public:
    // The readings in the window's order, then the results.
    struct ReadingsFirst {
        bool operator()(AdviceSubject a, AdviceSubject b) const { return a && (!b || *a < *b); }
    };
    // What a subject of advice is called in the panel, and the box or boxes it marks.
    struct Subject {
        QString heading;
        std::vector<QLineEdit*> boxes;
    };
    using Boxes = std::map<AdviceSubject, Subject, ReadingsFirst>;

    // The panel's name for advice on the results.
    static QString results_heading();

    // boxes: each subject, its boxes watched for the user's edits (the results' boxes
    // name and hold the results); fuel_option: one of the two fuel buttons, watched for
    // a change of fuel; calculate: the button that calculates; panel: where the advice
    // is listed; announcement: the widget announced after each calculation.
    AdviceDisplay(QWidget* window, Boxes boxes, QAbstractButton* fuel_option, QWidget* calculate,
                  QTextEdit* panel, QWidget* announcement);

    // After a calculation: shows its advice in place of any earlier, results current.
    void calculated(const std::vector<Advice>& advice);
    // After a calculation that raised an error: no advice, and no results to mark.
    void failed();
    // The user edited a box: its advice goes; edited inputs leave the results out of
    // date, and a result box typed into holds no result.
    void edited(AdviceSubject subject, QLineEdit* box);
    // The user chose the other fuel: the results are out of date.
    void fuel_changed();

private:
    // One piece of advice in the panel: the name of its box and its gist.
    struct Listed {
        QString name;
        QString gist;
    };

    void refresh();
    // A message with the name of the box it concerns before it; advice on the results
    // names them itself ("Resultados fuera de …").
    [[nodiscard]] QString in_full(AdviceSubject subject, const QString& message) const;
    void list(const std::vector<Listed>& listed);
    // What a screen reader is told of the current results and of the advice (the
    // number of pieces and the first in full); summary() is both, empty while there
    // are no current results.
    [[nodiscard]] QString summary() const;
    [[nodiscard]] QString results_told() const;
    [[nodiscard]] QString advice_told() const;

    QWidget* window_;
    Boxes boxes_;
    QWidget* calculate_;
    QTextEdit* panel_;
    QWidget* announcement_;
    std::vector<Advice> advice_;
    std::set<const QLineEdit*> typed_over_; // result boxes typed into since the calculation
    bool has_results_ = false;
    bool out_of_date_ = false;
};

} // namespace quemador
