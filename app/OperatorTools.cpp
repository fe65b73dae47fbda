#include "OperatorTools.h"

#include "Controls.h"
#include "supply/SupplyLink.h"

#include <QAction>
#include <QGroupBox>

OperatorTools::OperatorTools(QWidget& window, SupplyLink& link, const Controls& ui,
                             MessageLine& message, const MessageBoxes& boxes)
    : link_(link), recorder_(link.model()), menu_(*ui.Frame2),
      recording_(window, recorder_, menu_, message, boxes, RecordingControl::indicatorPlace(ui)),
      reconnector_([this] { return link_.portSession().openQuietly(retryRequest_, retryEvent_); }),
      trends_(link.history(), &window), programs_(window, link, menu_, message) {
    // Ctrl+T works anywhere in the window, as the menu entry does.
    window.addAction(trends_.showAction());
    menu_.addAction(trends_.showAction());
    connect(menu_.autoReconnect(), &QAction::toggled, &reconnector_, &Reconnector::setEnabled);
    connect(&link_.model(), &SupplyModel::linkEvent, this, [this](LinkEvent event) {
        if (event == LinkEvent::PortLost)
            lineLost();
    });
    connect(&reconnector_, &Reconnector::reopened, this, [this] { reopened(); });
}

void OperatorTools::lineLost() {
    if (!reconnector_.isEnabled())
        return;
    // Polling is still on here: the next tick, finding the port closed,
    // switches it off; the reopened line takes it up again.
    resumePolling_ = link_.polling().isPolling();
    retryRequest_ = link_.portSession().openedRequest();
    retryEvent_ = LinkEvent::PortReopened;
    reconnector_.start();
}

void OperatorTools::keepTrying(const PortRequest& request, bool startPolling) {
    resumePolling_ = startPolling;
    retryRequest_ = request;
    retryEvent_ = LinkEvent::PortOpened;
    reconnector_.start();
}

void OperatorTools::reopened() {
    if (resumePolling_ && !link_.polling().isPolling())
        link_.polling().toggle();
    resumePolling_ = false;
}
