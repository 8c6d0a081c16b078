// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How the calculator window shows advice on a calculation, and results that no longer
// match the inputs. A box with advice is drawn marked (tinted, bold text), and its
// full message is added to the box's tooltip and accessible description; the advice
// panel beside the inputs lists each piece of advice on one line, the box's name and
// the gist, so that several are read at a glance. Results left over from before an
// edit are dimmed and set in italics, and their accessible description says so until
// the next calculation. After each calculation the results and the first piece of
// advice are announced to screen readers as a notification, and stay in the
// accessible description of the control that ran it until they are out of date.

#include "calculation/reading_advice.h"

#include <QObject>
#include <QRect>
#include <QString>

#include <map>
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
    using Boxes = std::map<AdviceSubject, std::vector<QLineEdit*>, ReadingsFirst>;

    // boxes: the box or boxes each subject marks, watched for the user's edits (the
    // results' boxes name and hold the results); fuel_option: one of the two fuel
    // buttons, watched for a change of fuel; calculate: the button that calculates;
    // panel: where the advice is listed.
    AdviceDisplay(QWidget* window, Boxes boxes, QAbstractButton* fuel_option, QWidget* calculate,
                  QRect panel);

    // After a calculation: shows its advice in place of any earlier, results current.
    void calculated(const std::vector<Advice>& advice);
    // After a calculation that raised an error: no advice, and no results to mark.
    void failed();
    // The user edited a box: its advice goes; edited inputs leave the results out of date.
    void edited(AdviceSubject subject);
    // The user chose the other fuel: the results are out of date.
    void fuel_changed();

private:
    // One piece of advice in the panel: the name of its box and its gist.
    struct Listed {
        QString name;
        QString gist;
    };

    void refresh();
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
    bool has_results_ = false;
    bool out_of_date_ = false;
};

} // namespace quemador
