#include "MeterTools.h"

#include "AboutDialog.h"
#include "MessageLine.h"
#include "MeterWindow.h"
#include "OutputTimerDialog.h"
#include "ReadoutMenu.h"
#include "control/RunController.h"

#include <QAction>
#include <QWidget>

namespace {

template <typename W> W* raised(W* widget) {
    widget->show();
    widget->raise();
    widget->activateWindow();
    return widget;
}

} // namespace

MeterTools::MeterTools(QWidget& window, RunController& controller, ReadoutMenu& menu,
                       MessageLine& message)
    : QObject(&window), window_(window), controller_(controller),
      showMeter_(new QAction(tr("能量计"), this)), showTimer_(new QAction(tr("输出定时…"), this)) {
    showMeter_->setObjectName(QStringLiteral("ShowMeter"));
    showMeter_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    showTimer_->setObjectName(QStringLiteral("ShowOutputTimer"));
    showTimer_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
    connect(showMeter_, &QAction::triggered, this, [this] { showMeter(); });
    connect(showTimer_, &QAction::triggered, this, [this] { showTimer(); });
    connect(menu.about(), &QAction::triggered, this, [this] { showAbout(); });
    menu.addAction(showMeter_);
    menu.addAction(showTimer_);
    connect(&controller.outputTimer(), &OutputTimer::expired, this,
            [&message] { message.show(tr("输出定时已到，输出已关闭")); });
}

MeterWindow* MeterTools::showMeter() {
    if (!meterWindow_) {
        meterWindow_ = new MeterWindow(controller_.meter(), controller_.outputTimer(), &window_);
        connect(meterWindow_, &MeterWindow::timerAsked, this, [this] { showTimer(); });
    }
    return raised(meterWindow_);
}

OutputTimerDialog* MeterTools::showTimer() {
    if (!timerDialog_)
        timerDialog_ = new OutputTimerDialog(controller_.outputTimer(), &window_);
    return raised(timerDialog_);
}

AboutDialog* MeterTools::showAbout() {
    if (!about_)
        about_ = new AboutDialog(&window_);
    return raised(about_);
}
