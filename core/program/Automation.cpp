#include "Automation.h"

#include "supply/SupplyLink.h"

Automation::Automation(SupplyLink& link, QObject* parent)
    : QObject(parent), link_(link), run_(link), watch_(link.model(), [this] { enterSafeState(); }) {
}

void Automation::enterSafeState() {
    if (run_.isActive())
        run_.stop();
    else
        (void)link_.switches().switchOffNow();
}
