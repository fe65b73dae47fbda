#include "SupplyLink.h"

SupplyLink::SupplyLink(std::unique_ptr<SerialControl> comm, QObject* parent)
    : QObject(parent), comm_(std::move(comm)), sender_(*comm_, log_, notices_),
      session_(*comm_, notices_, model_), rating_(state_), switches_(state_, sender_),
      decoder_(state_, *comm_, log_, yield_, model_, rating_, switches_),
      polling_(state_, *comm_, sender_, decoder_, yield_, model_, this),
      setpoints_(state_, rating_, sender_, notices_), identity_(state_, *comm_, sender_, decoder_) {
    setObjectName(QStringLiteral("SupplyLink"));
    history_.follow(model_, ReadingHistory::systemSteadyClock());
    connect(comm_.get(), &SerialControl::lineLost, this, [this] { session_.PortLost(); });
    connect(comm_.get(), &SerialControl::OnComm, this, [this] { decoder_.MSComm_OnComm(); });
    connect(comm_.get(), &SerialControl::bytesWritten, this,
            [this](qint64 count) { log_.countSent(count); });
}

SupplyLink::~SupplyLink() {
    if (comm_->PortOpen())
        (void)comm_->setPortOpen(false);
}
