#pragma once

#include "program/ProgramStep.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// "斜坡": the voltage or the current from a start to an end value in a number
// of steps over a total time, the other quantity held. Accepted only with a
// ramp that rampSteps makes; the note says why otherwise.
class RampDialog : public QDialog {
    Q_OBJECT
public:
    explicit RampDialog(QWidget* parent);

    // The steps of the accepted ramp; nothing before.
    const std::optional<ProgramSteps>& ramp() const { return ramp_; }

private:
    void tryAccept();

    QComboBox* quantity_;
    QLineEdit* from_;
    QLineEdit* to_;
    QSpinBox* count_;
    QLineEdit* total_;
    QLineEdit* other_;
    QLabel* note_;
    std::optional<ProgramSteps> ramp_;
};
