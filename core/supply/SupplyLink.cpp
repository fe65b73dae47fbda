#include "SupplyLink.h"

SupplyLink::SupplyLink(std::unique_ptr<SerialControl> comm, QObject* parent)
    : QObject(parent), comm_(std::move(comm)), line_(state_, *comm_, log_, notices_, decoder_),
      session_(*comm_, notices_, model_), rating_(state_), switches_(state_, line_),
      decoder_(state_, log_, yield_, model_, rating_, switches_),
      polling_(state_, *comm_, line_, yield_, model_, this), setpoints_(rating_, line_, notices_),
      identity_(state_, *comm_, line_), clients_(line_, decoder_, log_, model_) {
    setObjectName(QStringLiteral("SupplyLink"));
    history_.follow(model_, ReadingHistory::systemSteadyClock());
    connect(comm_.get(), &SerialControl::lineLost, this, [this] { session_.PortLost(); });
    connect(comm_.get(), &SerialControl::OnComm, &line_, &LineArbiter::MSComm_OnComm);
    connect(&model_, &SupplyModel::linkEvent, &line_, [this](LinkEvent event) {
        if (event == LinkEvent::PortClosed || event == LinkEvent::PortLost)
            line_.portClosed();
        else if (event == LinkEvent::PortOpened || event == LinkEvent::PortReopened)
            switches_.payOwedOff();
    });
    connect(comm_.get(), &SerialControl::bytesWritten, this,
            [this](qint64 count) { log_.countSent(count); });
}

SupplyLink::~SupplyLink() {
    if (comm_->PortOpen())
        (void)comm_->setPortOpen(false);
}
