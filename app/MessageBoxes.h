#pragma once

#include <QCoreApplication>
#include <QString>

#include <functional>

class QWidget;

// The modal boxes the window shows. They all go through one replaceable
// function, so that tests can answer them without a person.
class MessageBoxes {
    Q_DECLARE_TR_FUNCTIONS(MessageBoxes)

public:
    enum class Icon { None, Warning };
    struct Box {
        QString text;
        QString title;
        Icon icon = Icon::None;
    };
    using Shower = std::function<void(const Box&)>;

    // An opening that failed twice.
    static Box openFailed();
    // A setpoint outside its limits.
    static Box outOfRange();

    explicit MessageBoxes(QWidget* parent);

    // Shows the box and returns once it has been dismissed.
    void show(const Box& box) const;
    void replaceShower(Shower shower) { shower_ = std::move(shower); }

private:
    Shower shower_;
};
