#pragma once

// How the calculator window shows advice on a calculation, and results that no longer
// match the inputs. A box with advice is drawn marked (tinted, bold text), its message
// is listed in the advice panel beside the inputs and added to the box's accessible
// description. Results left over from before an edit are dimmed and set in italics,
// and their accessible description says so until the next calculation.

#include "calculation/reading_advice.h"

#include <QObject>
#include <QRect>

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
    using Boxes = std::map<AdviceSubject, std::vector<QLineEdit*>>;

    // boxes: the box or boxes each subject marks, watched for the user's edits;
    // fuel_option: one of the two fuel buttons, watched for a change of fuel;
    // panel: where the advice is listed.
    AdviceDisplay(QWidget* window, Boxes boxes, QAbstractButton* fuel_option, QRect panel);

    // After a calculation: shows its advice in place of any earlier, results current.
    void calculated(const std::vector<Advice>& advice);
    // After a calculation that raised an error: no advice, and no results to mark.
    void failed();
    // The user edited a box: its advice goes; edited inputs leave the results out of date.
    void edited(AdviceSubject subject);
    // The user chose the other fuel: the results are out of date.
    void fuel_changed();

private:
    void refresh();

    QWidget* window_;
    Boxes boxes_;
    QTextEdit* panel_;
    std::vector<Advice> advice_;
    bool has_results_ = false;
    bool out_of_date_ = false;
};

} // namespace quemador
