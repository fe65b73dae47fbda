#include "OperatorTools.h"

#include "Controls.h"
#include "control/RunController.h"

#include <QAction>
#include <QGroupBox>

OperatorTools::OperatorTools(QWidget& window, RunController& controller, const Controls& ui,
                             MessageLine& message, const MessageBoxes& boxes)
    : menu_(*ui.Frame2), recording_(window, controller.recorder(), menu_, message, boxes,
                                    RecordingControl::indicatorPlace(ui)),
      trends_(controller.link().history(), &window),
      programs_(window, controller.link(), controller.automation(), menu_, message),
      meters_(window, controller, menu_, message) {
    menu_.openAnywhereIn(window);
    // Ctrl+T works anywhere in the window, as the menu entry does.
    window.addAction(trends_.showAction());
    menu_.addAction(trends_.showAction());
    // The entry shows the controller's reconnection, which alone holds it.
    QAction* reconnect = menu_.autoReconnect();
    connect(reconnect, &QAction::toggled, &controller, &RunController::setReconnecting);
    connect(&controller, &RunController::reconnectingChanged, reconnect, &QAction::setChecked);
    connect(&controller, &RunController::recordingRefused, &recording_, &RecordingControl::report);
}
