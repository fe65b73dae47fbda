#include "EventYield.h"

#include <QCoreApplication>

EventYield::EventYield() : body_([] { QCoreApplication::processEvents(); }) {}

void EventYield::operator()() {
    if (depth_ >= MaxDepth)
        return;
    ++depth_;
    body_();
    --depth_;
}
