#include "SupplyLink.h"

SupplyLink::SupplyLink(std::unique_ptr<SerialControl> comm, QObject* parent)
    : QObject(parent), comm_(std::move(comm)), sender_(state_, *comm_, log_, notices_),
      session_(*comm_, notices_, model_), rating_(state_), switches_(state_, sender_),
      decoder_(state_, *comm_, log_, yield_, model_, rating_, switches_),
      polling_(state_, *comm_, sender_, decoder_, yield_, model_, this),
      setpoints_(rating_, sender_, notices_), identity_(state_, *comm_, sender_, decoder_),
      clients_(sender_, *comm_, decoder_, log_, model_) {
    setObjectName(QStringLiteral("SupplyLink"));
    history_.follow(model_, ReadingHistory::systemSteadyClock());
    connect(comm_.get(), &SerialControl::lineLost, this, [this] { session_.PortLost(); });
    // A client's reply goes back to the client, never to the decoder; a
    // polling reply, once in, frees the line for the next client request.
    connect(comm_.get(), &SerialControl::OnComm, this, [this] {
        if (clients_.awaitsReply()) {
            clients_.MSComm_OnComm();
            return;
        }
        decoder_.MSComm_OnComm();
        clients_.pump();
    });
    connect(comm_.get(), &SerialControl::bytesWritten, this,
            [this](qint64 count) { log_.countSent(count); });
}

SupplyLink::~SupplyLink() {
    if (comm_->PortOpen())
        (void)comm_->setPortOpen(false);
}
