#include "ReplyDecoder.h"

#include "Commands.h"
#include "NumberText.h"
#include "app/Controls.h"
#include "app/EventYield.h"
#include "app/PanelState.h"
#include "panel/RatingLimits.h"
#include "serial/SerialControl.h"
#include "serial/TrafficLog.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <cmath>
#include <optional>

namespace {

constexpr qint16 IdentityStep = 18;
constexpr qint16 VersionStep = 17;
constexpr qint16 ChannelStep = 9;
constexpr qint16 ModeStep = 8;
constexpr qint16 OutputStep = 7;
constexpr qint16 LastNumberStep = 6;

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

QString withoutLineEnds(QString text) {
    text.remove(u'\r');
    text.remove(u'\n');
    return text;
}

} // namespace

QString readOutText(double value, bool negative) {
    QString text = NumberText::blankPrefixed(value);
    if (text.startsWith(QStringLiteral(" .")))
        text.replace(u' ', u'0');
    text.remove(u' ');
    if (negative && value != 0.0)
        text.prepend(u'-');
    return text;
}

ReplyDecoder::ReplyDecoder(PanelState& state, Controls& ui, SerialControl& comm, TrafficLog& log,
                           EventYield& yield, RatingLimits& rating)
    : state_(state), ui_(ui), comm_(comm), log_(log), yield_(yield), rating_(rating) {}

void ReplyDecoder::MSComm_OnComm() {
    if (comm_.CommEvent() != SerialControl::comEvReceive)
        return;
    DecodeRxMsg();
    yield_();
}

void ReplyDecoder::takeInput() {
    state_.RxInput = comm_.Input();
    log_.countReceived(state_.RxInput.size());
    if (state_.RxInput.contains(u'\n'))
        replyOutstanding_ = false;
    state_.RxMsgStr += state_.RxInput;
    if (state_.RxMsgStr.size() > MaxBuffer)
        state_.RxMsgStr.remove(0, state_.RxMsgStr.size() - MaxBuffer);
    const qsizetype lf = state_.RxMsgStr.indexOf(u'\n');
    if (distrustNextLine_ && lf >= 0) {
        distrustNextLine_ = false;
        state_.RxMsgStr.remove(0, lf + 1);
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
    state_.RxMsgStr.clear();
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
    const qsizetype cr = state_.RxMsgStr.indexOf(u'\r');
    if (cr < 0)
        return false;
    line = state_.RxMsgStr.left(cr + 1);
    return true;
}

void ReplyDecoder::decodeIdentity() {
    if (state_.myTimer != IdentityStep || state_.RxMsgStr.size() < IdentityMinLength)
        return;
    QString line;
    if (!takeIdentityLine(line) || !state_.RxMsgStr.contains(u','))
        return;
    ui_.LabSeries->setText(withoutLineEnds(line));
    log_.appendReplyLine(line);
    state_.RxMsgStr.clear();
}

void ReplyDecoder::decodeVersion() {
    if (state_.myTimer != VersionStep || state_.RxMsgStr.size() < VersionMinLength)
        return;
    QString line;
    if (!takeIdentityLine(line))
        return;
    ui_.LabVersion->setText(withoutLineEnds(line));
    log_.appendReplyLine(line);
    state_.RxMsgStr.clear();
}

bool ReplyDecoder::takeShortReply() {
    if (state_.RxMsgStr.size() < ShortReplyMinLength || !state_.RxMsgStr.contains(u'\r') ||
        !state_.RxMsgStr.contains(u'\n'))
        return false;
    log_.appendReplyLine(state_.RxMsgStr.left(ShortReplyMinLength));
    return true;
}

void ReplyDecoder::decodeChannel() {
    if (state_.myTimer != ChannelStep || !takeShortReply())
        return;
    // Selecting a channel sends it back to the supply: a garbled reply must
    // select nothing.
    const auto channel = wholeNumberReply(state_.RxMsgStr);
    if (channel == 1) {
        ui_.OP1->setChecked(true);
        state_.PowerApply = 1;
    } else if (channel == 2) {
        ui_.Op2->setChecked(true);
        state_.PowerApply = 2;
    }
    state_.RxMsgStr.clear();
}

void ReplyDecoder::decodeMode() {
    if (state_.myTimer != ModeStep || !takeShortReply())
        return;
    // Selecting an option that was not selected runs its click handler,
    // which sends the same mode back: a garbled reply must not switch a
    // series-wired supply to another mode.
    const auto mode = wholeNumberReply(state_.RxMsgStr);
    QRadioButton* const options[] = {ui_.INDcmd, ui_.PARcmd, ui_.SERcmd};
    for (qint16 m = 0; m < 3; ++m) {
        if (mode == m) {
            options[m]->setChecked(true);
            state_.PowerMode = m;
        }
    }
    if (state_.PowerMode != state_.PowerModeBack) {
        state_.PowerModeBack = state_.PowerMode;
        rating_.PowerTypeCombVol_Click();
        rating_.PowerTypeCombCur_Click();
    }
    state_.RxMsgStr.clear();
}

void ReplyDecoder::decodeOutputState() {
    if (state_.myTimer != OutputStep || !takeShortReply())
        return;
    const QChar first = state_.RxMsgStr.at(0);
    if (first == u'0') {
        ui_.OutPutButton->setText(QStringLiteral("开"));
        state_.RxMsgStr.clear();
    } else if (first == u'1') {
        ui_.OutPutButton->setText(QStringLiteral("关"));
        state_.RxMsgStr.clear();
    }
}

void ReplyDecoder::decodeNumber() {
    if (state_.myTimer > LastNumberStep)
        return;
    if (state_.RxMsgStr.size() > MaxNumberBuffer)
        state_.RxMsgStr.clear();
    const qsizetype lf = state_.RxMsgStr.indexOf(u'\n');
    if (lf < 0)
        return;
    // The value belongs to the step under which its line was cut, even if a
    // tick moves the step on while the value is being scaled below.
    const qint16 step = state_.myTimer;
    QString line = state_.RxMsgStr.left(lf + 1);
    state_.RxMsgStr.remove(0, lf + 1);
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
    double value = NumberText::leadingNumber(mantissa);

    if (exponentSign == u'+' || exponentSign == u'-') {
        if (!isTwoDigits(exponentDigits))
            return;
        const int exponent = exponentDigits.toInt();
        // One factor of ten at a time, with a yield before each.
        for (int i = 0; i < exponent; ++i) {
            yield_();
            if (exponentSign == u'+')
                value *= 10.0;
            else
                value /= 10.0;
        }
    }
    log_.emptyIfTooLong();
    // A mantissa such as "9D999" reads as infinity: show nothing rather than
    // a read-out that is not a number.
    if (!std::isfinite(value))
        return;

    QLabel* const readOuts[] = {ui_.ReadVolLab, ui_.ReadCurrentLab, ui_.CVLab,
                                ui_.CCLab,      ui_.OVPLab,         ui_.OCPLab};
    if (step >= Commands::FirstStep && step <= LastNumberStep) {
        state_.myCmd = Commands::pollingQuery(step);
        readOuts[step - Commands::FirstStep]->setText(readOutText(value, negative));
    }
    log_.emptyIfCountReached();
}
