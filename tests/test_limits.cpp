#include "supply/RatingLimits.h"
#include "support/PanelFixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QtTest>

#include <cmath>

namespace {

// The two numbers of a range caption.
QPair<QString, QString> captionRange(const QString& caption) {
    static const QRegularExpression range(QStringLiteral(":\\s*(\\S+)\\s*-\\s*(\\S+)$"));
    const auto match = range.match(caption);
    return {match.captured(1), match.captured(2)};
}

struct Entry {
    const char* text;
    const char* button;
    const char* caption;
};

const Entry kVoltageEntries[] = {{"CVSetText", "VOLSetCmd", "VOLSetLab"},
                                 {"OVPSetText", "OVPSetCmd", "OVPSetLab"}};
const Entry kCurrentEntries[] = {{"CCSetText", "CURSetCmd", "CURSetLab"},
                                 {"OCPSetText", "OCPSetCmd", "OCPSetLab"}};

// Types the text into the entry, presses its button and tells whether the
// value passed the range test.
bool passes(PanelFixture& panel, const Entry& entry, const QString& text) {
    panel.find<QLineEdit>(entry.text)->setText(text);
    const auto boxes = panel.boxes.size();
    const auto writes = panel.comm->writes.size();
    panel.find<QAbstractButton>(entry.button)->click();
    if (panel.boxes.size() != boxes)
        return false;
    return panel.comm->writes.size() == writes + 1;
}

QString full(double value) {
    return QString::number(value, 'g', 17);
}

} // namespace

class TestLimits : public QObject {
    Q_OBJECT
private slots:
    void shownLimitsPassAndNeighboursFail_data();
    void shownLimitsPassAndNeighboursFail();
    void workedValues_data();
    void workedValues();
    void halvesAreIndependent();
    void modeReportWithoutRating();
    void modeReportRewritesEntries();
    void ratingThatDoesNotFitIsRefused_data();
    void ratingThatDoesNotFitIsRefused();
    void limitFunctions();
};

void TestLimits::shownLimitsPassAndNeighboursFail_data() {
    QTest::addColumn<bool>("voltage");
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("mode");
    for (int mode = 0; mode <= 2; ++mode) {
        for (const QString& item : RatingLimits::VoltageRatings)
            QTest::addRow("%s mode %d", qPrintable(item), mode) << true << item << mode;
        for (const QString& item : RatingLimits::CurrentRatings)
            QTest::addRow("%s mode %d", qPrintable(item), mode) << false << item << mode;
    }
}

void TestLimits::shownLimitsPassAndNeighboursFail() {
    QFETCH(bool, voltage);
    QFETCH(QString, item);
    QFETCH(int, mode);
    PanelFixture panel;
    panel.open();
    panel.link.state().mode = TrackingMode(mode);
    panel.choose(voltage ? "PowerTypeCombVol" : "PowerTypeCombCur", item);
    const SetpointLimits& s = panel.link.rating().limits();
    const double bounds[2][2] = {
        {voltage ? s.CVSetValueMin : s.CCSetValueMin, voltage ? s.CVSetValueMax : s.CCSetValueMax},
        {voltage ? s.OVPSetValueMin : s.OCPSetValueMin,
         voltage ? s.OVPSetValueMax : s.OCPSetValueMax}};
    const Entry* entries = voltage ? kVoltageEntries : kCurrentEntries;
    for (int i = 0; i < 2; ++i) {
        const Entry& entry = entries[i];
        const auto [shownMin, shownMax] = captionRange(panel.text(entry.caption));
        QVERIFY2(!shownMin.isEmpty() && !shownMax.isEmpty(), qPrintable(panel.text(entry.caption)));
        QVERIFY2(passes(panel, entry, shownMin), qPrintable(shownMin));
        QVERIFY2(passes(panel, entry, shownMax), qPrintable(shownMax));
        const double below = std::nextafter(bounds[i][0], -INFINITY);
        const double above = std::nextafter(bounds[i][1], INFINITY);
        QVERIFY2(!passes(panel, entry, full(below)), qPrintable(full(below)));
        QVERIFY2(!passes(panel, entry, full(above)), qPrintable(full(above)));
    }
}

void TestLimits::workedValues_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("rangeCaption");
    QTest::addColumn<QString>("protectionCaption");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("protectionEntry");
    const struct {
        const char* item;
        int mode;
        const char* range;
        const char* protection;
        const char* entry;
        const char* protectionEntry;
    } rows[] = {
        {" 5  V", 0, "恒压值范围: 0 - 5.25", "过压值范围: .5 - 5.5", "0", "5.5"},
        {" 5  V", 1, "恒压值范围: 0 - 5.25", "过压值范围: .5 - 5.5", "0", "5.5"},
        {" 5  V", 2, "恒压值范围: 0 - 10.5", "过压值范围: 1 - 11", "0", "11"},
        {"18  V", 0, "恒压值范围: 0 - 18.9", "过压值范围: 1.8 - 19.8", "0", "19.8"},
        {"30  V", 0, "恒压值范围: 0 - 31.5", "过压值范围: 3 - 33", "0", "33"},
        {"350 V", 1, "恒压值范围: 0 - 367.5", "过压值范围: 35 - 385", "0", "385"},
        {"500 V", 2, "恒压值范围: 0 - 1050", "过压值范围: 100 - 1100", "0", "1100"},
        {"0.1 A", 0, "恒流值范围:0 - 0.105", "过流值范围: 0.01 - 0.11", "0", "0.11"},
        {"0.1 A", 2, "恒流值范围:0 - 0.105", "过流值范围: 0.01 - 0.11", "0", "0.11"},
        {"0.3 A", 1, "恒流值范围:0 - 0.63", "过流值范围: 0.06 - 0.66", "0", "0.66"},
        {"1.5 A", 0, "恒流值范围:0 - 1.575", "过流值范围: 0.15 - 1.65", "0", "1.65"},
        {"5   A", 1, "恒流值范围:0 - 10.5", "过流值范围: 1 - 11", "0", "11"},
        {"5   A", 2, "恒流值范围:0 - 5.25", "过流值范围: 0.5 - 5.5", "0", "5.5"},
    };
    for (const auto& r : rows)
        QTest::addRow("%s mode %d", r.item, r.mode)
            << QString::fromUtf8(r.item) << r.mode << QString::fromUtf8(r.range)
            << QString::fromUtf8(r.protection) << QString::fromUtf8(r.entry)
            << QString::fromUtf8(r.protectionEntry);
}

void TestLimits::workedValues() {
    QFETCH(QString, item);
    QFETCH(int, mode);
    PanelFixture panel;
    panel.link.state().mode = TrackingMode(mode);
    const bool voltage = item.endsWith('V');
    panel.choose(voltage ? "PowerTypeCombVol" : "PowerTypeCombCur", item);
    const Entry* entries = voltage ? kVoltageEntries : kCurrentEntries;
    QTEST(panel.text(entries[0].caption), "rangeCaption");
    QTEST(panel.text(entries[1].caption), "protectionCaption");
    QTEST(panel.text(entries[0].text), "entry");
    QTEST(panel.text(entries[1].text), "protectionEntry");
    if (voltage)
        QCOMPARE(panel.link.rating().limits().SysPowerVol,
                 qint16(item.trimmed().remove(" V").toInt()));
}

void TestLimits::halvesAreIndependent() {
    PanelFixture panel;
    panel.choose("PowerTypeCombVol", " 5  V");
    QVERIFY(panel.find<QAbstractButton>("VOLSetCmd")->isEnabled());
    QVERIFY(panel.find<QAbstractButton>("OVPSetCmd")->isEnabled());
    QVERIFY(!panel.find<QAbstractButton>("CURSetCmd")->isEnabled());
    QVERIFY(!panel.find<QAbstractButton>("OCPSetCmd")->isEnabled());
    QCOMPARE(panel.text("CURSetLab"), QStringLiteral("恒流设定(A):0 - 5"));
    QCOMPARE(panel.link.rating().limits().SysPowerVol, qint16(5));
    panel.choose("PowerTypeCombCur", "1   A");
    QVERIFY(panel.find<QAbstractButton>("CURSetCmd")->isEnabled());
    QCOMPARE(panel.link.rating().limits().SysPowerCur, 1.0);
    // Recomputing the same text again gives the same and rewrites entries.
    panel.find<QLineEdit>("OVPSetText")->setText("4");
    panel.choose("PowerTypeCombVol", " 5  V");
    QCOMPARE(panel.text("OVPSetText"), QStringLiteral("5.5"));
    QCOMPARE(panel.text("VOLSetLab"), QStringLiteral("恒压值范围: 0 - 5.25"));
}

void TestLimits::modeReportWithoutRating() {
    PanelFixture panel;
    panel.open();
    panel.atStep(8);
    panel.comm->receive("1\r\n");
    QCOMPARE(panel.text("VOLSetLab"), QStringLiteral("恒压值范围: 0 - 0"));
    QCOMPARE(panel.text("OVPSetLab"), QStringLiteral("过压值范围: 0 - 0"));
    QCOMPARE(panel.text("CURSetLab"), QStringLiteral("恒流值范围:0 - 0"));
    QCOMPARE(panel.text("OCPSetLab"), QStringLiteral("过流值范围: 0 - 0"));
    for (const char* entry : {"CVSetText", "OVPSetText", "CCSetText", "OCPSetText"})
        QCOMPARE(panel.text(entry), QStringLiteral("0"));
    for (const char* button : {"VOLSetCmd", "OVPSetCmd", "CURSetCmd", "OCPSetCmd"})
        QVERIFY(panel.find<QAbstractButton>(button)->isEnabled());
    // Only exactly 0 passes now.
    QVERIFY(passes(panel, kVoltageEntries[1], "0"));
    QCOMPARE(panel.comm->writes.last(), QByteArray("VOLTage:PROTection:LEVel 0CR"));
    QVERIFY(!passes(panel, kCurrentEntries[0], "0.001"));
}

void TestLimits::modeReportRewritesEntries() {
    PanelFixture panel;
    panel.open();
    panel.choose("PowerTypeCombVol", "30  V");
    panel.choose("PowerTypeCombCur", "3   A");
    panel.find<QLineEdit>("OVPSetText")->setText("12");
    panel.atStep(8);
    panel.comm->receive("2\r\n");
    QCOMPARE(panel.text("OVPSetText"), QStringLiteral("66"));
    QCOMPARE(panel.text("VOLSetLab"), QStringLiteral("恒压值范围: 0 - 63"));
    QCOMPARE(panel.text("OVPSetLab"), QStringLiteral("过压值范围: 6 - 66"));
    QCOMPARE(panel.text("CURSetLab"), QStringLiteral("恒流值范围:0 - 3.15"));
    QCOMPARE(int(panel.link.rating().followedMode()), 2);
}

void TestLimits::ratingThatDoesNotFitIsRefused_data() {
    QTest::addColumn<QString>("voltageText");
    QTest::addColumn<QString>("currentText");
    QTest::addColumn<int>("reportedMode");
    QTest::newRow("voltage beyond 16 bits") << "40000 V"
                                            << "1 A" << 1;
    QTest::newRow("doubled voltage beyond 16 bits") << "20000 V"
                                                    << "1 A" << 2;
    QTest::newRow("voltage beyond a double") << "1e999 V"
                                             << "1 A" << 1;
    QTest::newRow("current beyond a double") << "30 V"
                                             << "1e999 A" << 1;
    QTest::newRow("doubled current beyond a double") << "30 V"
                                                     << "1.7e308 A" << 1;
}

void TestLimits::ratingThatDoesNotFitIsRefused() {
    QFETCH(QString, voltageText);
    QFETCH(QString, currentText);
    QFETCH(int, reportedMode);
    PanelFixture panel;
    panel.open();
    panel.choose("PowerTypeCombVol", "30  V");
    panel.choose("PowerTypeCombCur", "3   A");
    const SetpointLimits before = panel.link.rating().limits();
    const QString captions = panel.text("VOLSetLab") + panel.text("OVPSetLab") +
                             panel.text("CURSetLab") + panel.text("OCPSetLab");
    panel.find<QComboBox>("PowerTypeCombVol")->setEditText(voltageText);
    panel.find<QComboBox>("PowerTypeCombCur")->setEditText(currentText);
    const bool voltageFits = voltageText == "30 V";
    panel.atStep(8);
    panel.comm->receive(QByteArray::number(reportedMode) + "\r\n");
    const SetpointLimits& s = panel.link.rating().limits();
    if (!voltageFits) {
        QCOMPARE(s.CVSetValueMax, before.CVSetValueMax);
        QCOMPARE(s.OVPSetValueMax, before.OVPSetValueMax);
        QCOMPARE(s.SysPowerVol, before.SysPowerVol);
        QVERIFY(captions.startsWith(panel.text("VOLSetLab") + panel.text("OVPSetLab")));
    } else {
        QCOMPARE(s.CCSetValueMax, before.CCSetValueMax);
        QCOMPARE(s.OCPSetValueMax, before.OCPSetValueMax);
        QVERIFY(captions.endsWith(panel.text("CURSetLab") + panel.text("OCPSetLab")));
    }
}

void TestLimits::limitFunctions() {
    const auto v = voltageLimits(QStringLiteral("350 V"), TrackingMode::Independent);
    QVERIFY(v);
    QCOMPARE(v->rating, qint16(350));
    QVERIFY(v->ovpMax > 385.0); // the stored double lies just above 385
    QVERIFY(!voltageLimits(QStringLiteral("16384 V"), TrackingMode::Series));
    QVERIFY(voltageLimits(QStringLiteral("16383 V"), TrackingMode::Series));
    const auto c = currentLimits(QStringLiteral("abc"), TrackingMode::Independent);
    QVERIFY(c);
    QCOMPARE(c->ccMax, 0.0);
}

QTEST_MAIN(TestLimits)
#include "test_limits.moc"
