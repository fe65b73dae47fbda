#pragma once

#include "command.hpp"
#include "supply_model.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace velmor::sim {

struct Identity {
    std::string version;        // answer to "SYST:VERS?"
    std::string identification; // answer to "*IDN?": maker, model, serial number, version
};

// The identity of a simulator publishing port number `com`; the serial number carries the port
// number so that two simulators side by side tell themselves apart.
Identity simulatorIdentity(int com);

// The supply as seen from the serial line: applies one command to the model and gives the reply
// a supply would send, CR LF included. Set commands, switches and unknown commands answer
// nothing.
class Instrument {
public:
    Instrument(SupplyModel& model, Identity identity)
        : model_(model), identity_(std::move(identity)) {}

    std::optional<std::string> handle(std::string_view commandText);

private:
    std::optional<std::string> execute(const Command& command);

    SupplyModel& model_;
    Identity identity_;
};

} // namespace velmor::sim
