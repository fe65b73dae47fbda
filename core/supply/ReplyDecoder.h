#pragma once

#include <QString>

#include "SupplyModel.h"

class EventYield;
class RatingLimits;
class SupplySwitches;
class TrafficLog;
struct LinkState;

// Gathers what the supply sends and turns a complete reply into a reading of
// the supply model. The polling step alone decides how a reply is read. A
// reported mode or channel other than the one selected selects it, which
// sends it back to the supply; a new mode recomputes the limits.
class ReplyDecoder {
public:
    // Complete replies taken off the line since the start: those that gave a
    // reading and those dropped without one (garbled, late, not a number).
    struct Tally {
        quint64 decoded = 0;
        quint64 rejected = 0;
    };

    // The reply buffer never holds more than this; the oldest text goes
    // first (replies at steps 10 to 16 are never taken from it).
    static constexpr int MaxBuffer = 4096;
    // A number-reply step empties a buffer longer than this.
    static constexpr int MaxNumberBuffer = 150;

    ReplyDecoder(LinkState& state, TrafficLog& log, EventYield& yield, SupplyModel& model,
                 RatingLimits& rating, SupplySwitches& switches);

    // Text the line gave the panel: decoded, then a yield.
    void received(const QString& input);
    void DecodeRxMsg(const QString& input);

    // Drops the received text not yet decoded, so that the next reply is
    // read against the query sent next.
    void discardUndecoded();
    // Lines taken off the line and dropped unread elsewhere count here too.
    void countRejected(int lines);
    // A reply was given up for lost: the next complete line may still be that
    // late reply, and is dropped unread rather than shown as another quantity
    // (a lost reply costs one more reading).
    void dropNextLine() { dropNextLine_ = true; }

    // A reading of the output, mode or channel, from polling or from a
    // script client's query, shown as the panel shows every report: a mode
    // or channel other than the one selected selects it.
    void takeOutput(OutputState output);
    void takeMode(TrackingMode mode);
    void takeChannel(int channel);

    // Received text not yet decoded.
    const QString& pending() const { return RxMsgStr_; }
    // The text taken from the serial control by the latest read.
    const QString& lastInput() const { return RxInput_; }
    const Tally& tally() const { return tally_; }

private:
    void takeInput(const QString& input);
    void decodeIdentity();
    void decodeVersion();
    void decodeChannel();
    void decodeMode();
    void decodeOutputState();
    void decodeNumber();

    // A complete short reply (steps 7 to 9): at least 3 characters with a CR
    // and an LF. Logs the first 3 characters when it is.
    bool takeShortReply();

    LinkState& state_;
    TrafficLog& log_;
    EventYield& yield_;
    SupplyModel& model_;
    RatingLimits& rating_;
    SupplySwitches& switches_;
    QString RxMsgStr_;
    QString RxInput_;
    bool dropNextLine_ = false;
    Tally tally_;
};
