#include "app/AboutDialog.h"
#include "app/MeterTools.h"
#include "app/MeterWindow.h"
#include "app/OutputTimerDialog.h"
#include "app/PortComboBox.h"
#include "app/PortList.h"
#include "app/ReadoutMenu.h"
#include "app/RecordingControl.h"
#include "record/CsvRecorder.h"
#include "supply/SupplyModel.h"
#include "support/PanelFixture.h"
#include "support/RecordedCsv.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The panel on a scripted line, its recording and a file dialog that
// answers from a list.
struct RecordingPanel {
    RecordingPanel()
        : model(panel.link.model()), recorder(panel.window->controller().recorder()),
          menu(panel.window->tools().menu()), control(panel.window->tools().recording()) {
        control.replaceChooser([this](const QString& proposed) {
            proposals.append(proposed);
            return answers.isEmpty() ? QString() : answers.takeFirst();
        });
    }

    QString file(const char* name) const { return folder.filePath(QLatin1String(name)); }
    QString indicatorText() const { return control.indicator().text(); }
    bool indicatorShown() const { return control.indicator().isVisibleTo(panel.window.get()); }

    PanelFixture panel;
    SupplyModel& model;
    CsvRecorder& recorder;
    ReadoutMenu& menu;
    RecordingControl& control;
    QTemporaryDir folder;
    QStringList answers;
    QStringList proposals;
};

// Puts a full disk under the recording's open file.
bool fillDiskUnder(const QString& path) {
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd :
         fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (QFile::symLinkTarget(fds.filePath(fd)) != target)
            continue;
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        const bool replaced = full >= 0 && ::dup2(full, fd.toInt()) == fd.toInt();
        ::close(full);
        return replaced;
    }
    return false;
}

void rightClick(QWidget* widget) {
    const QPoint at = widget->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
    QCoreApplication::sendEvent(widget, &event);
}

} // namespace

class TestRecordingPanel : public QObject {
    Q_OBJECT
private slots:
    void menuOpensWhereNoControlHasItsOwn();
    void meterWindowTimerAndAbout();
    void startAndStopFromTheMenu();
    void indicatorCoversNoControl();
    void cancelledDialogStartsNothing();
    void ctrlRToggles();
    void failedWriteIsReportedAndPollingGoesOn();
    void fileThatCannotBeCreatedIsReported();
    void launchRecordingRefusesAnExistingFile();
    void proposedNameCarriesTheTime();
    void portPluggedInLaterAppearsWhenTheListDropsDown();
    void thePanelsPortListRescansWhenItDropsDown();
};

void TestRecordingPanel::menuOpensWhereNoControlHasItsOwn() {
    RecordingPanel r;
    r.panel.window->show();
    QVERIFY(!r.menu.stopRecording()->isEnabled());
    QVERIFY(r.menu.startRecording()->isEnabled());
    QVERIFY(r.menu.autoReconnect()->isCheckable());
    QVERIFY(!r.menu.autoReconnect()->isChecked());

    // The read-outs, a label, a button and the window itself open the menu.
    for (const char* inside :
         {"Frame2", "ReadVolLab", "OCPLab", "Frame3", "msgLab", "OutPutButton"}) {
        rightClick(r.panel.find<QWidget>(inside));
        QVERIFY2(r.menu.menu().isVisible(), inside);
        r.menu.menu().hide();
    }
    rightClick(r.panel.window.get());
    QVERIFY(r.menu.menu().isVisible());
    r.menu.menu().hide();
    // A text field and the log keep their own menus.
    for (const char* own : {"CVSetText", "TxtReceive"}) {
        // A click on the log lands on its viewport.
        QWidget* clicked = r.panel.find<QWidget>(own);
        if (auto* area = qobject_cast<QAbstractScrollArea*>(clicked))
            clicked = area->viewport();
        rightClick(clicked);
        QVERIFY2(!r.menu.menu().isVisible(), own);
        for (QMenu* menu : r.panel.window->findChildren<QMenu*>())
            if (menu != &r.menu.menu())
                menu->close();
    }
    QVERIFY(r.panel.find<QWidget>("Frame2")->toolTip().contains(QStringLiteral("右键")));

    // An entry appended stays above "关于…", which closes the menu; every
    // entry has a shortcut and shows it.
    auto* extra = new QAction(QStringLiteral("趋势图"), &r.menu);
    r.menu.addAction(extra);
    const QList<QAction*> entries = r.menu.menu().actions();
    QCOMPARE(entries.last(), r.menu.about());
    QVERIFY(entries.indexOf(extra) > entries.indexOf(r.menu.autoReconnect()));
    QVERIFY(entries.indexOf(extra) < entries.indexOf(r.menu.about()));
    for (const QAction* entry : entries) {
        if (entry->isSeparator() || entry == extra)
            continue;
        QVERIFY2(!entry->shortcut().isEmpty() || entry->text().contains(u'\t'),
                 qPrintable(entry->text()));
        QVERIFY2(entry->isShortcutVisibleInContextMenu() || entry->text().contains(u'\t'),
                 qPrintable(entry->text()));
    }
}

// The meter's window shows what the panel polls, 清零 clears it; the timer
// dialog refuses a zero time and sets one; 关于 names README sections that
// are there.
void TestRecordingPanel::meterWindowTimerAndAbout() {
    RecordingPanel r;
    MeterTools& meters = r.panel.window->tools().meters();
    meters.showMeterAction()->trigger();
    auto* window = r.panel.window->findChild<MeterWindow*>();
    QVERIFY(window && window->isVisible());
    const auto shown = [window](const char* name) {
        return window->findChild<QLabel*>(QLatin1String(name))->text();
    };
    QCOMPARE(shown("MeterPower"), QStringLiteral("—"));
    const QDateTime t0 = QDateTime::currentDateTime();
    r.model.setOutput(OutputState::On, t0);
    r.model.setNumber(Quantity::MeasuredVoltage, 10, t0);
    r.model.setNumber(Quantity::MeasuredCurrent, 2, t0);
    r.model.setNumber(Quantity::MeasuredCurrent, 2, t0.addSecs(3600));
    QCOMPARE(shown("MeterPower"), QStringLiteral("20.000 W"));
    // 3600 s is beyond two cycles: nothing counted across it.
    QCOMPARE(shown("MeterEnergy"), QStringLiteral("0.0000 Wh"));
    r.model.setNumber(Quantity::MeasuredCurrent, 2, t0.addSecs(3609));
    QCOMPARE(shown("MeterEnergy"), QStringLiteral("0.0500 Wh"));
    QCOMPARE(shown("MeterCharge"), QStringLiteral("0.0050 Ah"));
    QCOMPARE(shown("MeterOnTime"), QStringLiteral("0:00:09"));
    window->findChild<QPushButton*>(QStringLiteral("MeterReset"))->click();
    QCOMPARE(shown("MeterEnergy"), QStringLiteral("0.0000 Wh"));
    QCOMPARE(shown("MeterTimer"), window->timerText());

    window->findChild<QPushButton*>(QStringLiteral("MeterSetTimer"))->click();
    auto* dialog = r.panel.window->findChild<OutputTimerDialog*>();
    QVERIFY(dialog && dialog->isVisible());
    dialog->choose(std::chrono::seconds(0));
    QVERIFY(!dialog->apply());
    QVERIFY(!dialog->noteText().isEmpty());
    dialog->choose(std::chrono::seconds(5430));
    QVERIFY(dialog->apply());
    OutputTimer& timer = r.panel.window->controller().outputTimer();
    QCOMPARE(timer.duration(), std::chrono::seconds(5430));
    // The port is closed, so the switch shows the output off: it waits.
    QCOMPARE(timer.state(), OutputTimer::State::Waiting);
    QVERIFY(shown("MeterTimer").contains(QStringLiteral("1:30:30")));
    dialog->findChild<QPushButton*>(QStringLiteral("TimerCancel"))->click();
    QVERIFY(!timer.isActive());

    AboutDialog* about = meters.showAbout();
    QVERIFY(about->text().contains(QStringLiteral(VELMOR_VERSION)));
    QFile readme(QStringLiteral(VELMOR_README));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QStringList headings = QString::fromUtf8(readme.readAll()).split(u'\n');
    for (const QString& section : AboutDialog::readmeSections()) {
        QVERIFY2(headings.contains(QStringLiteral("## ") + section), qPrintable(section));
        QVERIFY2(about->text().contains(section), qPrintable(section));
    }
}

void TestRecordingPanel::startAndStopFromTheMenu() {
    RecordingPanel r;
    const QString path = r.file("menu.csv");
    r.answers = {path};
    r.menu.startRecording()->trigger();
    QVERIFY(r.recorder.isRecording());
    QCOMPARE(r.recorder.fileName(), path);
    QCOMPARE(r.proposals.size(), 1);
    QVERIFY(r.indicatorShown());
    QCOMPARE(r.indicatorText(), QStringLiteral("● 记录 1"));
    QVERIFY(!r.menu.startRecording()->isEnabled());
    QVERIFY(r.menu.stopRecording()->isEnabled());

    r.model.setNumber(Quantity::MeasuredVoltage, 5.0, QDateTime::currentDateTime());
    r.model.setOutput(OutputState::On, QDateTime::currentDateTime());
    QCOMPARE(r.indicatorText(), QStringLiteral("● 记录 3"));

    r.menu.stopRecording()->trigger();
    QVERIFY(!r.recorder.isRecording());
    QVERIFY(!r.indicatorShown());
    QVERIFY(r.menu.startRecording()->isEnabled());
    const QStringList lines = RecordedCsv::lines(path);
    QCOMPARE(lines.size(), 5);
    // The panel's recording ends with the meter's totals.
    QVERIFY(RecordedCsv::fields(lines.last())
                .last()
                .startsWith(QLatin1String("recording stopped energy ")));
    QCOMPARE(r.panel.boxes.size(), 0);
}

void TestRecordingPanel::indicatorCoversNoControl() {
    RecordingPanel r;
    r.answers = {r.file("cover.csv")};
    r.control.toggle();
    const QRect place = r.control.indicator().geometry();
    QVERIFY(r.panel.window->rect().contains(place));
    const QWidget* messageLine = r.panel.find<QWidget>("msgLab");
    QVERIFY(messageLine->geometry().contains(place));
    for (const QWidget* control :
         r.panel.window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (control == messageLine || control == &r.control.indicator() || control->isWindow())
            continue;
        QVERIFY2(!control->geometry().intersects(place), qPrintable(control->objectName()));
    }
    // Beside the date and the time: just above them, over their width.
    const QRect date = r.panel.find<QWidget>("LblNewDate")->geometry();
    const QRect time = r.panel.find<QWidget>("LblNowTime")->geometry();
    QCOMPARE(place.left(), date.left());
    QCOMPARE(place.right(), time.right());
    QVERIFY(place.bottom() < date.top() && date.top() - place.bottom() < 8);
}

void TestRecordingPanel::cancelledDialogStartsNothing() {
    RecordingPanel r;
    r.control.toggle();
    QCOMPARE(r.proposals.size(), 1);
    QVERIFY(!r.recorder.isRecording());
    QVERIFY(!r.indicatorShown());
    QVERIFY(r.panel.text("msgLab").isEmpty());
    QCOMPARE(r.panel.boxes.size(), 0);
}

void TestRecordingPanel::ctrlRToggles() {
    RecordingPanel r;
    r.answers = {r.file("shortcut.csv")};
    r.panel.window->show();
    QApplication::setActiveWindow(r.panel.window.get());
    QVERIFY(QTest::qWaitForWindowActive(r.panel.window.get()));
    QTest::keyClick(r.panel.window.get(), Qt::Key_R, Qt::ControlModifier);
    QVERIFY(r.recorder.isRecording());
    QTest::keyClick(r.panel.window.get(), Qt::Key_R, Qt::ControlModifier);
    QVERIFY(!r.recorder.isRecording());
    QCOMPARE(r.proposals.size(), 1);
}

void TestRecordingPanel::failedWriteIsReportedAndPollingGoesOn() {
    RecordingPanel r;
    r.panel.open();
    r.panel.find<QAbstractButton>("SeekCmd")->click();
    const auto* polling = r.panel.window->findChild<QTimer*>(QStringLiteral("SysTickTimer"));
    QVERIFY(polling->isActive());
    const QString path = r.file("full.csv");
    r.answers = {path};
    r.control.toggle();
    QVERIFY(r.recorder.isRecording());
    QVERIFY(fillDiskUnder(path));

    r.model.setNumber(Quantity::MeasuredCurrent, 0.5, QDateTime::currentDateTime());
    const QString expected = QStringLiteral("记录失败：No space left on device");
    QCOMPARE(r.panel.text("msgLab"), expected);
    QVERIFY(!r.recorder.isRecording());
    QVERIFY(!r.indicatorShown());
    QVERIFY(r.menu.startRecording()->isEnabled());
    QTRY_COMPARE(r.panel.boxes.size(), 1);
    QCOMPARE(r.panel.boxes.first().text, expected);
    QCOMPARE(r.panel.boxes.first().icon, MessageBoxes::Icon::Warning);

    QVERIFY(polling->isActive());
    QVERIFY(r.panel.comm->PortOpen());
    const int written = r.panel.comm->writes.size();
    r.panel.tickAnswered();
    QCOMPARE(r.panel.comm->writes.size(), written + 1);
}

void TestRecordingPanel::fileThatCannotBeCreatedIsReported() {
    RecordingPanel r;
    r.answers = {r.file("no-such-folder/x.csv")};
    r.control.toggle();
    QVERIFY(!r.recorder.isRecording());
    QVERIFY(!r.indicatorShown());
    const QString message = r.panel.text("msgLab");
    QVERIFY2(message.startsWith(RecordingControl::failurePrefix()) &&
                 message.size() > RecordingControl::failurePrefix().size(),
             qPrintable(message));
    QTRY_COMPARE(r.panel.boxes.size(), 1);
}

void TestRecordingPanel::launchRecordingRefusesAnExistingFile() {
    RecordingPanel r;
    const QString existing = r.file("existing.csv");
    {
        QFile file(existing);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep me\n");
    }
    LaunchOptions options;
    options.recordPath = existing;
    r.panel.window->launch(options);
    QVERIFY(!r.recorder.isRecording());
    QVERIFY(r.panel.text("msgLab").startsWith(RecordingControl::failurePrefix()));
    QFile file(existing);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep me\n"));

    options.recordPath = r.file("new.csv");
    r.panel.window->launch(options);
    QVERIFY(r.recorder.isRecording());
    QVERIFY(r.indicatorShown());
    QCOMPARE(r.proposals.size(), 0);
}

void TestRecordingPanel::proposedNameCarriesTheTime() {
    const QString path = RecordingControl::proposedPath(
        QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 678), Qt::LocalTime));
    QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("velmor-20260102-030405.csv"));
    QVERIFY(QFileInfo(path).isAbsolute());
}

void TestRecordingPanel::portPluggedInLaterAppearsWhenTheListDropsDown() {
    QTemporaryDir links;
    QTemporaryDir sysfs;
    PanelState state;
    PortDirectory ports(links.path(), sysfs.path());
    PortComboBox box;
    box.setEditable(true);
    box.setCompleter(nullptr);
    PortList list(state, ports, box);
    QObject::connect(&box, &QComboBox::editTextChanged, [&list] { list.CboCom_Change(); });
    QObject::connect(&box, &PortComboBox::popupAboutToShow, [&] { rescanKeepingText(list, box); });
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), links.filePath(QStringLiteral("com5"))));
    list.fill();
    box.show();
    QCOMPARE(box.findText(QStringLiteral("COM5")), 0);

    // The operator types a number before plugging the adapter in.
    box.setEditText(QStringLiteral("COM 7"));
    QCOMPARE(state.MyOpenPort, quint8(7));
    QCOMPARE(box.findText(QStringLiteral("COM7")), -1);
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), links.filePath(QStringLiteral("com7"))));
    QVERIFY(QFile::remove(links.filePath(QStringLiteral("com5"))));

    box.showPopup();
    QCOMPARE(box.findText(QStringLiteral("COM7")), 0);
    QCOMPARE(box.findText(QStringLiteral("COM5")), -1);
    QCOMPARE(box.currentText(), QStringLiteral("COM 7"));
    QCOMPARE(state.MyOpenPort, quint8(7));
    box.hidePopup();
}

void TestRecordingPanel::thePanelsPortListRescansWhenItDropsDown() {
    PanelFixture panel;
    panel.window->show();
    auto* ports = panel.find<QComboBox>("CboCom");
    QCOMPARE(ports->findText(QStringLiteral("COM9")), -1);
    QTest::keyClicks(ports, QStringLiteral("com9"));
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), panel.linkFolder.filePath("com9")));
    ports->showPopup();
    QVERIFY(ports->findText(QStringLiteral("COM9")) >= 0);
    // What the operator typed stays.
    QCOMPARE(ports->currentText(), QStringLiteral("com9"));
    ports->hidePopup();
}

QTEST_MAIN(TestRecordingPanel)
#include "test_recording_panel.moc"
