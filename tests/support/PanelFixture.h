#pragma once

#include "ScriptedSerialControl.h"
#include "app/MessageBoxes.h"
#include "app/VelmorMain.h"

#include <QAbstractButton>
#include <QList>
#include <QTemporaryDir>

#include <memory>

// A window on a scripted serial control, with an empty port-link folder and
// message boxes that are recorded instead of shown.
struct PanelFixture {
    PanelFixture();

    // Picks COM3 and presses the port button.
    void open();
    // Selects a list item as the operator does.
    void choose(const char* list, const QString& item);
    // The polling step, as a number.
    int step() const { return int(link.state().step); }
    // Starts from a given step with a clean log and write record.
    void atStep(qint16 step);
    // A complete line that decodes to nothing: the supply answered, so the
    // next tick does not wait for a reply.
    void answerSilently() { comm->receive("\n"); }
    // A polling tick followed by such an answer.
    void tickAnswered() {
        window->polling().SysTickTimer_Timer();
        answerSilently();
    }
    // The text written since the last call, as one string.
    QString takeWritten();

    template <typename W> W* find(const char* name) const {
        return window->findChild<W*>(QLatin1String(name));
    }
    QString text(const char* name) const;

    QTemporaryDir linkFolder;
    ScriptedSerialControl* comm = nullptr;
    std::unique_ptr<VelmorMain> window;
    PanelState& state;
    SupplyLink& link;
    QList<MessageBoxes::Box> boxes;
};
