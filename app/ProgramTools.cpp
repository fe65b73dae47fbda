#include "ProgramTools.h"

#include "MessageLine.h"
#include "ProgramWindow.h"
#include "ReadoutMenu.h"
#include "WatchDialog.h"
#include "record/CsvFormat.h"
#include "supply/SupplyLink.h"

#include <QAction>

ProgramTools::ProgramTools(QWidget& window, SupplyLink& link, Automation& automation,
                           ReadoutMenu& menu, MessageLine& message)
    : QObject(&window), window_(window), link_(link), message_(message), automation_(automation),
      showRun_(new QAction(tr("程序运行…"), this)), showWatch_(new QAction(tr("监视限值…"), this)) {
    showRun_->setObjectName(QStringLiteral("ShowProgramRun"));
    showRun_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    showRun_->setShortcutContext(Qt::WindowShortcut);
    showWatch_->setObjectName(QStringLiteral("ShowWatchLimits"));
    showWatch_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(showRun_, &QAction::triggered, this, [this] { showRun(); });
    connect(showWatch_, &QAction::triggered, this, [this] { showWatch(); });
    // Ctrl+P works anywhere in the window, as the menu entry does.
    window.addAction(showRun_);
    menu.addAction(showRun_);
    menu.addAction(showWatch_);
    connect(&automation_.watch(), &WatchLimits::alarmRaised, this,
            [this](const WatchLimits::Alarm& alarm) {
                const QString text = alarmText(alarm);
                message_.show(text);
                notifier_.notify(tr("监视限值"), text);
            });
}

ProgramWindow* ProgramTools::showRun() {
    if (!runWindow_)
        runWindow_ = new ProgramWindow(automation_.run(), link_.rating(), &window_);
    runWindow_->show();
    runWindow_->raise();
    runWindow_->activateWindow();
    return runWindow_;
}

WatchDialog* ProgramTools::showWatch() {
    if (!watchDialog_)
        watchDialog_ = new WatchDialog(automation_.watch(), &window_);
    watchDialog_->showSettings();
    watchDialog_->show();
    watchDialog_->raise();
    return watchDialog_;
}

QString ProgramTools::alarmText(const WatchLimits::Alarm& alarm) {
    const bool volts = alarm.quantity == Quantity::MeasuredVoltage;
    const QString unit = volts ? QStringLiteral("V") : QStringLiteral("A");
    const QString what =
        volts ? (alarm.side == WatchLimits::Side::Above ? tr("电压超过上限") : tr("电压低于下限"))
              : (alarm.side == WatchLimits::Side::Above ? tr("电流超过上限") : tr("电流低于下限"));
    QString text = tr("%1 %2 %3：%4 %3")
                       .arg(what, CsvFormat::numberText(alarm.limit), unit,
                            CsvFormat::numberText(alarm.value));
    if (alarm.action == WatchLimits::Action::SwitchOff)
        text += tr("，输出已关闭");
    return text;
}
