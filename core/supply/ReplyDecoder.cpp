#include "ReplyDecoder.h"

#include "EventYield.h"
#include "LinkState.h"
#include "RatingLimits.h"
#include "ReplyForms.h"
#include "SupplySwitches.h"
#include "protocol/Commands.h"
#include "protocol/NumberText.h"
#include "serial/TrafficLog.h"

#include <cmath>

namespace {

// Counts a number line once: as decoded when marked so, else as rejected.
class LineCount {
public:
    explicit LineCount(ReplyDecoder::Tally& tally) : tally_(tally) {}
    ~LineCount() { ++(decoded_ ? tally_.decoded : tally_.rejected); }
    LineCount(const LineCount&) = delete;
    LineCount& operator=(const LineCount&) = delete;
    void decoded() { decoded_ = true; }

private:
    ReplyDecoder::Tally& tally_;
    bool decoded_ = false;
};

} // namespace

ReplyDecoder::ReplyDecoder(LinkState& state, TrafficLog& log, EventYield& yield, SupplyModel& model,
                           RatingLimits& rating, SupplySwitches& switches)
    : state_(state), log_(log), yield_(yield), model_(model), rating_(rating), switches_(switches) {
}

void ReplyDecoder::received(const QString& input) {
    DecodeRxMsg(input);
    yield_();
}

void ReplyDecoder::takeInput(const QString& input) {
    RxInput_ = input;
    RxMsgStr_ += RxInput_;
    if (RxMsgStr_.size() > MaxBuffer)
        RxMsgStr_.remove(0, RxMsgStr_.size() - MaxBuffer);
    const qsizetype lf = RxMsgStr_.indexOf(u'\n');
    if (dropNextLine_ && lf >= 0) {
        dropNextLine_ = false;
        RxMsgStr_.remove(0, lf + 1);
        ++tally_.rejected;
    }
}

void ReplyDecoder::discardUndecoded() {
    RxMsgStr_.clear();
}

void ReplyDecoder::countRejected(int lines) {
    tally_.rejected += quint64(lines);
}

void ReplyDecoder::DecodeRxMsg(const QString& input) {
    takeInput(input);
    // Each test reads the step afresh: an option selected by one of them may
    // run a handler that moves the step for the tests after it.
    decodeIdentity();
    decodeVersion();
    decodeChannel();
    decodeMode();
    decodeOutputState();
    decodeNumber();
}

void ReplyDecoder::decodeIdentity() {
    if (state_.step != PollingStep::Identification)
        return;
    const std::optional<QString> line = ReplyForms::identityLine(RxMsgStr_);
    if (!line)
        return;
    ++tally_.decoded;
    model_.setText(Quantity::Identification, ReplyForms::withoutLineEnds(*line),
                   QDateTime::currentDateTime());
    log_.appendReplyLine(*line);
    RxMsgStr_.clear();
}

void ReplyDecoder::decodeVersion() {
    if (state_.step != PollingStep::Version)
        return;
    const std::optional<QString> line = ReplyForms::versionLine(RxMsgStr_);
    if (!line)
        return;
    ++tally_.decoded;
    model_.setText(Quantity::Version, ReplyForms::withoutLineEnds(*line),
                   QDateTime::currentDateTime());
    log_.appendReplyLine(*line);
    RxMsgStr_.clear();
}

bool ReplyDecoder::takeShortReply() {
    if (!ReplyForms::isShortReply(RxMsgStr_))
        return false;
    log_.appendReplyLine(RxMsgStr_.left(ReplyForms::ShortReplyMinLength));
    return true;
}

void ReplyDecoder::decodeChannel() {
    if (state_.step != PollingStep::Channel || !takeShortReply())
        return;
    // Selecting a channel sends it back to the supply: a garbled reply must
    // select nothing.
    const std::optional<int> channel = ReplyForms::wholeNumber(RxMsgStr_, 1, 2);
    ++(channel ? tally_.decoded : tally_.rejected);
    if (channel)
        takeChannel(*channel);
    RxMsgStr_.clear();
}

void ReplyDecoder::takeChannel(int channel) {
    if (switches_.selectedChannel() != channel)
        switches_.selectChannel(channel);
    model_.setChannel(channel, QDateTime::currentDateTime());
}

void ReplyDecoder::decodeMode() {
    if (state_.step != PollingStep::Mode || !takeShortReply())
        return;
    // Selecting a mode other than the one selected sends it back to the
    // supply: a garbled reply must not switch a series-wired supply to
    // another mode.
    const std::optional<int> reported = ReplyForms::wholeNumber(RxMsgStr_, 0, 2);
    ++(reported ? tally_.decoded : tally_.rejected);
    if (reported)
        takeMode(TrackingMode(*reported));
    else
        rating_.followMode();
    RxMsgStr_.clear();
}

void ReplyDecoder::takeMode(TrackingMode mode) {
    if (switches_.selectedMode() != mode)
        switches_.selectMode(mode);
    model_.setMode(mode, QDateTime::currentDateTime());
    rating_.followMode();
}

void ReplyDecoder::decodeOutputState() {
    if (state_.step != PollingStep::Output || !takeShortReply())
        return;
    const std::optional<OutputState> output = ReplyForms::outputState(RxMsgStr_);
    if (!output) {
        ++tally_.rejected;
        return;
    }
    ++tally_.decoded;
    RxMsgStr_.clear();
    takeOutput(*output);
}

void ReplyDecoder::takeOutput(OutputState output) {
    switches_.showOutput(output);
    model_.setOutput(output, QDateTime::currentDateTime());
}

void ReplyDecoder::decodeNumber() {
    if (state_.step > PollingStep::OverCurrent)
        return;
    if (RxMsgStr_.size() > MaxNumberBuffer)
        RxMsgStr_.clear();
    const qsizetype lf = RxMsgStr_.indexOf(u'\n');
    if (lf < 0)
        return;
    // The value belongs to the step under which its line was cut, even if a
    // tick moves the step on while the value is being scaled below.
    const PollingStep step = state_.step;
    QString line = RxMsgStr_.left(lf + 1);
    RxMsgStr_.remove(0, lf + 1);
    LineCount count(tally_);
    if (line.size() < ReplyForms::NumberLineMinLength)
        return;
    line.truncate(ReplyForms::NumberTextLength);
    log_.appendReplyLine(line);
    yield_();

    const std::optional<ReplyForms::NumberForm> form = ReplyForms::numberForm(line);
    if (!form)
        return;
    // The read-out shows the mantissa scaled one factor of ten at a time, as
    // the panel always has, with a yield before each factor; the reading is
    // the decimal number itself.
    const double shown = ReplyForms::shownMagnitude(*form, [this] { yield_(); });
    log_.emptyIfTooLong();
    // A mantissa such as "9D999" reads as infinity: show nothing rather than
    // a read-out that is not a number.
    if (!std::isfinite(shown))
        return;

    if (isNumberStep(step)) {
        static constexpr Quantity readOuts[] = {
            Quantity::MeasuredVoltage, Quantity::MeasuredCurrent, Quantity::SetVoltage,
            Quantity::SetCurrent,      Quantity::OverVoltage,     Quantity::OverCurrent};
        state_.query = Commands::pollingQuery(step);
        count.decoded();
        model_.setNumber(readOuts[int(step) - int(PollingStep::MeasuredVoltage)],
                         ReplyForms::readingOf(*form), QDateTime::currentDateTime(),
                         NumberText::readOutText(shown, form->negative));
    }
    log_.emptyIfCountReached();
}
