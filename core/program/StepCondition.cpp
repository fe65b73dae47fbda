#include "StepCondition.h"

#include "protocol/NumberText.h"
#include "record/CsvFormat.h"

std::optional<StepCondition> StepCondition::parse(QStringView text) {
    text = text.trimmed();
    if (text.size() < 3)
        return std::nullopt;
    StepCondition condition;
    const QChar letter = text.front().toUpper();
    if (letter == u'I')
        condition.quantity = Quantity::MeasuredCurrent;
    else if (letter == u'V')
        condition.quantity = Quantity::MeasuredVoltage;
    else
        return std::nullopt;
    const QStringView rest = text.mid(1).trimmed();
    if (rest.startsWith(u'<'))
        condition.side = Side::Below;
    else if (rest.startsWith(u'>'))
        condition.side = Side::Above;
    else
        return std::nullopt;
    const std::optional<double> threshold = NumberText::parseDecimal(rest.mid(1).trimmed());
    if (!threshold)
        return std::nullopt;
    condition.threshold = *threshold;
    return condition;
}

QString StepCondition::text() const {
    return (quantity == Quantity::MeasuredVoltage ? QStringLiteral("V") : QStringLiteral("I")) +
           (side == Side::Below ? QStringLiteral("<") : QStringLiteral(">")) +
           CsvFormat::numberText(threshold);
}

bool StepCondition::metBy(double reading) const {
    return side == Side::Below ? reading < threshold : reading > threshold;
}

QString StepCondition::metText(double reading) const {
    return QStringLiteral("%1 %2 %3 %4")
        .arg(CsvFormat::columnName(quantity), CsvFormat::numberText(reading),
             side == Side::Below ? QStringLiteral("<") : QStringLiteral(">"),
             CsvFormat::numberText(threshold));
}
