#include "ReplyDecoder.h"

#include "EventYield.h"
#include "LinkState.h"
#include "RatingLimits.h"
#include "SupplySwitches.h"
#include "protocol/Commands.h"
#include "protocol/NumberText.h"
#include "serial/SerialControl.h"
#include "serial/TrafficLog.h"

#include <cmath>
#include <optional>

namespace {

constexpr int IdentityMinLength = 24;
constexpr int VersionMinLength = 4;
constexpr int ShortReplyMinLength = 3;
constexpr int NumberLineMinLength = 14;
constexpr int NumberTextLength = 12;

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// A reply whose text before its CR is exactly one whole number in digits,
// as "2" or " 1 "; anything else (noise, an error text, "2x") is no number.
std::optional<int> wholeNumberReply(const QString& buffer) {
    const QString text = buffer.left(buffer.indexOf(u'\r')).trimmed();
    if (text.isEmpty() || text.size() > 4)
        return std::nullopt;
    for (QChar c : text)
        if (!isAsciiDigit(c))
            return std::nullopt;
    return text.toInt();
}

// A mantissa in digits with at most one point, such as "1.23456".
bool isPlainMantissa(const QString& mantissa) {
    bool point = false;
    bool digit = false;
    for (QChar c : mantissa) {
        if (isAsciiDigit(c))
            digit = true;
        else if (c == u'.' && !point)
            point = true;
        else
            return false;
    }
    return digit;
}

bool isTwoDigits(const QString& text) {
    return text.size() == 2 && isAsciiDigit(text[0]) && isAsciiDigit(text[1]);
}

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

QString withoutLineEnds(QString text) {
    text.remove(u'\r');
    text.remove(u'\n');
    return text;
}

} // namespace

ReplyDecoder::ReplyDecoder(LinkState& state, SerialControl& comm, TrafficLog& log,
                           EventYield& yield, SupplyModel& model, RatingLimits& rating,
                           SupplySwitches& switches)
    : state_(state), comm_(comm), log_(log), yield_(yield), model_(model), rating_(rating),
      switches_(switches) {}

void ReplyDecoder::MSComm_OnComm() {
    if (comm_.CommEvent() != SerialControl::comEvReceive)
        return;
    DecodeRxMsg();
    yield_();
}

void ReplyDecoder::takeInput() {
    RxInput_ = comm_.Input();
    log_.countReceived(RxInput_.size());
    if (RxInput_.contains(u'\n'))
        replyOutstanding_ = false;
    RxMsgStr_ += RxInput_;
    if (RxMsgStr_.size() > MaxBuffer)
        RxMsgStr_.remove(0, RxMsgStr_.size() - MaxBuffer);
    const qsizetype lf = RxMsgStr_.indexOf(u'\n');
    if (distrustNextLine_ && lf >= 0) {
        distrustNextLine_ = false;
        RxMsgStr_.remove(0, lf + 1);
        ++tally_.rejected;
    }
}

void ReplyDecoder::queryWritten(bool previousGivenUp) {
    replyOutstanding_ = true;
    distrustNextLine_ = previousGivenUp;
}

void ReplyDecoder::discardUndecoded() {
    const QString waiting = comm_.Input();
    log_.countReceived(waiting.size());
    if (waiting.contains(u'\n'))
        replyOutstanding_ = false;
    RxMsgStr_.clear();
}

void ReplyDecoder::DecodeRxMsg() {
    takeInput();
    // Each test reads the step afresh: an option selected by one of them may
    // run a handler that moves the step for the tests after it.
    decodeIdentity();
    decodeVersion();
    decodeChannel();
    decodeMode();
    decodeOutputState();
    decodeNumber();
}

bool ReplyDecoder::takeIdentityLine(QString& line) const {
    const qsizetype cr = RxMsgStr_.indexOf(u'\r');
    if (cr < 0)
        return false;
    line = RxMsgStr_.left(cr + 1);
    return true;
}

void ReplyDecoder::decodeIdentity() {
    if (state_.step != PollingStep::Identification || RxMsgStr_.size() < IdentityMinLength)
        return;
    QString line;
    if (!takeIdentityLine(line) || !RxMsgStr_.contains(u','))
        return;
    ++tally_.decoded;
    model_.setText(Quantity::Identification, withoutLineEnds(line), QDateTime::currentDateTime());
    log_.appendReplyLine(line);
    RxMsgStr_.clear();
}

void ReplyDecoder::decodeVersion() {
    if (state_.step != PollingStep::Version || RxMsgStr_.size() < VersionMinLength)
        return;
    QString line;
    if (!takeIdentityLine(line))
        return;
    ++tally_.decoded;
    model_.setText(Quantity::Version, withoutLineEnds(line), QDateTime::currentDateTime());
    log_.appendReplyLine(line);
    RxMsgStr_.clear();
}

bool ReplyDecoder::takeShortReply() {
    if (RxMsgStr_.size() < ShortReplyMinLength || !RxMsgStr_.contains(u'\r') ||
        !RxMsgStr_.contains(u'\n'))
        return false;
    log_.appendReplyLine(RxMsgStr_.left(ShortReplyMinLength));
    return true;
}

void ReplyDecoder::decodeChannel() {
    if (state_.step != PollingStep::Channel || !takeShortReply())
        return;
    // Selecting a channel sends it back to the supply: a garbled reply must
    // select nothing.
    const auto channel = wholeNumberReply(RxMsgStr_);
    ++(channel == 1 || channel == 2 ? tally_.decoded : tally_.rejected);
    if (channel == 1 || channel == 2) {
        if (switches_.selectedChannel() != *channel)
            switches_.selectChannel(*channel);
        model_.setChannel(*channel, QDateTime::currentDateTime());
    }
    RxMsgStr_.clear();
}

void ReplyDecoder::decodeMode() {
    if (state_.step != PollingStep::Mode || !takeShortReply())
        return;
    // Selecting a mode other than the one selected sends it back to the
    // supply: a garbled reply must not switch a series-wired supply to
    // another mode.
    const auto reported = wholeNumberReply(RxMsgStr_);
    const bool valid = reported && *reported >= 0 && *reported <= 2;
    ++(valid ? tally_.decoded : tally_.rejected);
    if (valid) {
        const auto mode = TrackingMode(*reported);
        if (switches_.selectedMode() != mode)
            switches_.selectMode(mode);
        model_.setMode(mode, QDateTime::currentDateTime());
    }
    rating_.followMode();
    RxMsgStr_.clear();
}

void ReplyDecoder::decodeOutputState() {
    if (state_.step != PollingStep::Output || !takeShortReply())
        return;
    const QChar first = RxMsgStr_.at(0);
    if (first != u'0' && first != u'1') {
        ++tally_.rejected;
        return;
    }
    ++tally_.decoded;
    const OutputState output = first == u'1' ? OutputState::On : OutputState::Off;
    RxMsgStr_.clear();
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
    if (line.size() < NumberLineMinLength)
        return;
    line.truncate(NumberTextLength);
    log_.appendReplyLine(line);
    yield_();

    const QChar sign = line.at(0);
    if (sign != u'+' && sign != u'-')
        return;
    const bool negative = sign == u'-';
    const QString rest = line.mid(1);
    const qsizetype e = rest.indexOf(u'E');
    if (e < 0)
        return;
    QString mantissa = rest.left(e);
    const QString exponentDigits = rest.right(2);
    const QChar exponentSign = rest.at(rest.size() - 3);
    if (mantissa.startsWith(u'A'))
        mantissa.replace(u'A', QStringLiteral("10"));
    // Only a reply in the number form is shown: a mantissa or exponent with
    // anything but digits in it is noise, not a reading.
    if (!isPlainMantissa(mantissa))
        return;
    // The read-out shows the mantissa scaled one factor of ten at a time, as
    // the panel always has; the reading is the decimal number itself.
    double shown = NumberText::leadingNumber(mantissa);
    int exponent = 0;
    if (exponentSign == u'+' || exponentSign == u'-') {
        if (!isTwoDigits(exponentDigits))
            return;
        exponent = exponentDigits.toInt();
        // A yield before each factor of ten.
        for (int i = 0; i < exponent; ++i) {
            yield_();
            if (exponentSign == u'+')
                shown *= 10.0;
            else
                shown /= 10.0;
        }
        if (exponentSign == u'-')
            exponent = -exponent;
    }
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
        const double value = NumberText::scaledDecimal(mantissa, exponent);
        // A "-" before a zero shows no sign, and the reading is plain zero.
        const double reading = negative && value != 0.0 ? -value : value;
        count.decoded();
        model_.setNumber(readOuts[int(step) - int(PollingStep::MeasuredVoltage)], reading,
                         QDateTime::currentDateTime(), NumberText::readOutText(shown, negative));
    }
    log_.emptyIfCountReached();
}
