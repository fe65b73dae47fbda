#include "Controls.h"

#include "Pictures.h"
#include "PortComboBox.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>

namespace {

template <typename W> W* place(W* widget, const char* name, const QRect& rect) {
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(rect);
    return widget;
}

QGroupBox* frame(QWidget* parent, const char* name, const QString& caption, const QRect& rect) {
    return place(new QGroupBox(caption, parent), name, rect);
}

// Every label shows plain text: some show what a device sent, and none
// needs markup.
QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& rect) {
    auto* widget = place(new QLabel(parent), name, rect);
    widget->setTextFormat(Qt::PlainText);
    widget->setText(text);
    return widget;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, const QRect& rect) {
    return place(new QPushButton(text, parent), name, rect);
}

// A button with its picture above its caption.
QToolButton* pictureButton(QWidget* parent, const char* name, const QString& text,
                           const QRect& rect) {
    auto* widget = place(new QToolButton(parent), name, rect);
    widget->setText(text);
    widget->setIcon(QIcon(Pictures::darkLamp()));
    widget->setIconSize(QSize(30, 28));
    widget->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    return widget;
}

QRadioButton* option(QWidget* parent, const char* name, const QString& text, const QRect& rect) {
    return place(new QRadioButton(text, parent), name, rect);
}

template <typename Box = QComboBox>
Box* list(QWidget* parent, const char* name, const QStringList& items, const QString& text,
          const QRect& rect) {
    auto* widget = place(new Box(parent), name, rect);
    widget->setEditable(true);
    // The text stays exactly as typed: no inline completion, no match that
    // replaces it with a list item when focus leaves, no insertion into the
    // list. Only picking an item selects it.
    widget->setCompleter(nullptr);
    widget->setInsertPolicy(QComboBox::NoInsert);
    widget->addItems(items);
    widget->setEditText(text);
    return widget;
}

QLineEdit* entry(QWidget* parent, const char* name, const QString& text, const QRect& rect) {
    auto* widget = place(new QLineEdit(text, parent), name, rect);
    widget->setMaxLength(64);
    return widget;
}

QLineEdit* display(QWidget* parent, const char* name, const QString& text, const QRect& rect) {
    auto* widget = entry(parent, name, text, rect);
    widget->setReadOnly(true);
    widget->setMaxLength(256);
    return widget;
}

QLabel* readOut(QWidget* parent, const char* frameName, const QString& caption, const char* name,
                const QString& text, const QPoint& at) {
    auto* box = frame(parent, frameName, caption, QRect(at, QSize(186, 50)));
    auto* widget = label(box, name, text, QRect(6, 18, 174, 28));
    QFont font = widget->font();
    font.setPointSizeF(15.75);
    font.setBold(true);
    widget->setFont(font);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, QColor(0x80, 0x00, 0x00));
    palette.setColor(QPalette::Window, QColor(0xc8, 0xe4, 0xff));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
    widget->setAlignment(Qt::AlignCenter);
    return widget;
}

QTimer* timer(QWidget* parent, const char* name, int interval) {
    auto* widget = new QTimer(parent);
    widget->setObjectName(QLatin1String(name));
    widget->setInterval(interval);
    return widget;
}

void buildIdentityAndModes(QWidget* w, Controls& ui) {
    const QString identityTip = Controls::tr("双击读取版本信息！");
    ui.Veries = frame(w, "Veries", Controls::tr("序列号"), QRect(402, 2, 170, 50));
    ui.Veries->setToolTip(identityTip);
    ui.LabSeries = label(ui.Veries, "LabSeries", {}, QRect(4, 16, 162, 32));
    ui.LabSeries->setToolTip(identityTip);
    ui.LabSeries->setWordWrap(true);
    ui.FrameVersion = frame(w, "FrameVersion", Controls::tr("版本号"), QRect(576, 2, 56, 50));
    ui.FrameVersion->setToolTip(identityTip);
    ui.LabVersion = label(ui.FrameVersion, "LabVersion", {}, QRect(4, 18, 48, 28));
    ui.LabVersion->setToolTip(identityTip);

    ui.Frame9 = frame(w, "Frame9", {}, QRect(402, 56, 146, 36));
    ui.INDcmd = option(ui.Frame9, "INDcmd", Controls::tr("独立"), QRect(4, 8, 48, 22));
    ui.SERcmd = option(ui.Frame9, "SERcmd", Controls::tr("串联"), QRect(52, 8, 48, 22));
    ui.PARcmd = option(ui.Frame9, "PARcmd", Controls::tr("并联"), QRect(100, 8, 48, 22));
    ui.INDcmd->setChecked(true);
    ui.FrameIII = frame(w, "FrameIII", {}, QRect(550, 56, 82, 36));
    ui.OP1 = option(ui.FrameIII, "OP1", Controls::tr("I路"), QRect(2, 8, 38, 22));
    ui.Op2 = option(ui.FrameIII, "Op2", Controls::tr("II路"), QRect(40, 8, 42, 22));
    ui.OP1->setChecked(true);
}

void buildButtons(QWidget* w, Controls& ui) {
    ui.ClrAlarmAmd =
        pictureButton(w, "ClrAlarmAmd", Controls::tr("清除告警"), QRect(260, 2, 68, 50));
    ui.OutPutButton = pictureButton(w, "OutPutButton", Controls::tr("开"), QRect(330, 2, 68, 50));
    ui.Command1 = pictureButton(w, "Command1", Controls::tr("清除记录"), QRect(260, 54, 68, 50));
    ui.EndCmd = pictureButton(w, "EndCmd", Controls::tr("退出"), QRect(330, 54, 68, 50));
    ui.CmdClearCounter =
        button(w, "CmdClearCounter", Controls::tr("计数清零"), QRect(260, 108, 138, 30));
}

void buildPortSettings(QWidget* w, Controls& ui) {
    ui.Frame1 = frame(w, "Frame1", {}, QRect(4, 2, 252, 152));
    const int rowHeight = 26;
    const auto row = [&](int i, int x, int width) {
        return QRect(x, 10 + i * rowHeight, width, 24);
    };
    ui.Label4 = label(ui.Frame1, "Label4", Controls::tr("串口"), row(0, 8, 44));
    ui.CboCom = list<PortComboBox>(ui.Frame1, "CboCom", {}, {}, row(0, 52, 96));
    QStringList designPorts;
    for (int n = 1; n <= 15; ++n)
        designPorts.append(QStringLiteral("COM") + QString::number(n));
    ui.CboCom->addItems(designPorts);
    ui.CboCom->setEditText(QStringLiteral("COM1"));
    ui.Label5 = label(ui.Frame1, "Label5", Controls::tr("波特率"), row(1, 8, 44));
    ui.CboBaudrate = list(ui.Frame1, "CboBaudrate",
                          {"300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "28800",
                           "38400", "56000", "128000", "256000"},
                          QStringLiteral("9600"), row(1, 52, 96));
    ui.Label6 = label(ui.Frame1, "Label6", Controls::tr("校验位"), row(2, 8, 44));
    ui.CboParitybit = list(ui.Frame1, "CboParitybit", {"NONE", "ODD", "ENEV", "SPACE", "MARK"},
                           QStringLiteral("NONE"), row(2, 52, 96));
    ui.Label7 = label(ui.Frame1, "Label7", Controls::tr("数据位"), row(3, 8, 44));
    ui.CboDatabit =
        list(ui.Frame1, "CboDatabit", {"8", "7", "6", "5"}, QStringLiteral("8"), row(3, 52, 96));
    ui.Label8 = label(ui.Frame1, "Label8", Controls::tr("停止位"), row(4, 8, 44));
    ui.CboStopbit =
        list(ui.Frame1, "CboStopbit", {"1", "1.5", "2"}, QStringLiteral("1"), row(4, 52, 96));

    ui.CmdSwitch = button(ui.Frame1, "CmdSwitch", Controls::tr("打开串口"), QRect(154, 10, 92, 30));
    ui.ImgSwitchOff = label(ui.Frame1, "ImgSwitchOff", {}, QRect(185, 56, 30, 28));
    ui.ImgSwitchOff->setPixmap(Pictures::darkLamp());
    ui.ImgSwitchOn = label(ui.Frame1, "ImgSwitchOn", {}, QRect(185, 56, 30, 28));
    ui.ImgSwitchOn->setPixmap(Pictures::redLamp());
    ui.ImgSwitchOn->hide();
    ui.SeekCmd = button(ui.Frame1, "SeekCmd", Controls::tr("开始巡检"), QRect(154, 100, 92, 30));
}

void buildSetpoints(QWidget* w, Controls& ui) {
    ui.Frame8 = frame(w, "Frame8", {}, QRect(4, 156, 394, 146));
    ui.Label1 = label(ui.Frame8, "Label1", Controls::tr("电源型号:"), QRect(8, 12, 64, 24));
    ui.PowerTypeCombVol = list(ui.Frame8, "PowerTypeCombVol", {}, {}, QRect(74, 12, 110, 24));
    ui.Label2 = label(ui.Frame8, "Label2", QStringLiteral("-"), QRect(190, 12, 12, 24));
    ui.PowerTypeCombCur = list(ui.Frame8, "PowerTypeCombCur", {}, {}, QRect(204, 12, 110, 24));

    struct Block {
        QLabel*& caption;
        const char* captionName;
        QString captionText;
        QLineEdit*& text;
        const char* textName;
        QString initial;
        QLabel*& unit;
        const char* unitName;
        QString unitText;
        QPushButton*& set;
        const char* setName;
        QString setText;
        QPoint at;
    };
    const Block blocks[] = {
        {ui.VOLSetLab, "VOLSetLab", Controls::tr("电压设定(V):0 - 550"), ui.CVSetText, "CVSetText",
         QStringLiteral("0"), ui.Label11, "Label11", QStringLiteral("V"), ui.VOLSetCmd, "VOLSetCmd",
         Controls::tr("电压设定"), QPoint(8, 42)},
        {ui.OVPSetLab, "OVPSetLab", Controls::tr("过压设置(V):0 - 550"), ui.OVPSetText,
         "OVPSetText", QStringLiteral("550"), ui.Label12, "Label12", QStringLiteral("V"),
         ui.OVPSetCmd, "OVPSetCmd", Controls::tr("过压设定"), QPoint(200, 42)},
        {ui.CURSetLab, "CURSetLab", Controls::tr("恒流设定(A):0 - 5"), ui.CCSetText, "CCSetText",
         QStringLiteral("0"), ui.Label13, "Label13", QStringLiteral("A"), ui.CURSetCmd, "CURSetCmd",
         Controls::tr("恒流设定"), QPoint(8, 94)},
        {ui.OCPSetLab, "OCPSetLab", Controls::tr("过流设定(A):0 - 5"), ui.OCPSetText, "OCPSetText",
         QStringLiteral("0.102"), ui.Label14, "Label14", QStringLiteral("A"), ui.OCPSetCmd,
         "OCPSetCmd", Controls::tr("过流设定"), QPoint(200, 94)},
    };
    for (const Block& b : blocks) {
        const int x = b.at.x();
        const int y = b.at.y();
        b.caption = label(ui.Frame8, b.captionName, b.captionText, QRect(x, y, 186, 20));
        b.text = entry(ui.Frame8, b.textName, b.initial, QRect(x, y + 22, 84, 24));
        b.unit = label(ui.Frame8, b.unitName, b.unitText, QRect(x + 88, y + 22, 14, 24));
        b.set = button(ui.Frame8, b.setName, b.setText, QRect(x + 106, y + 22, 76, 26));
        b.set->setEnabled(false);
    }
}

void buildReadOuts(QWidget* w, Controls& ui) {
    ui.Frame2 =
        frame(w, "Frame2", Controls::tr("读取的电流电压及过流过压值"), QRect(4, 304, 394, 182));
    const QString volts = QStringLiteral("0");
    const QString amps = QStringLiteral("0.000");
    ui.ReadVolLab = readOut(ui.Frame2, "Frame6", Controls::tr("当前电压(V)"), "ReadVolLab", volts,
                            QPoint(6, 20));
    ui.Frame6 = static_cast<QGroupBox*>(ui.ReadVolLab->parentWidget());
    ui.CVLab =
        readOut(ui.Frame2, "Frame3", Controls::tr("恒压值(V)"), "CVLab", volts, QPoint(6, 74));
    ui.Frame3 = static_cast<QGroupBox*>(ui.CVLab->parentWidget());
    ui.OVPLab =
        readOut(ui.Frame2, "OVP", Controls::tr("过压值(V)"), "OVPLab", volts, QPoint(6, 128));
    ui.OVP = static_cast<QGroupBox*>(ui.OVPLab->parentWidget());
    ui.ReadCurrentLab = readOut(ui.Frame2, "Frame7", Controls::tr("当前电流(A)"), "ReadCurrentLab",
                                amps, QPoint(202, 20));
    ui.Frame7 = static_cast<QGroupBox*>(ui.ReadCurrentLab->parentWidget());
    ui.CCLab =
        readOut(ui.Frame2, "Frame5", Controls::tr("恒流值(A)"), "CCLab", amps, QPoint(202, 74));
    ui.Frame5 = static_cast<QGroupBox*>(ui.CCLab->parentWidget());
    ui.OCPLab =
        readOut(ui.Frame2, "Frame4", Controls::tr("过流值(A)"), "OCPLab", amps, QPoint(202, 128));
    ui.Frame4 = static_cast<QGroupBox*>(ui.OCPLab->parentWidget());
}

void buildLogAndStatus(QWidget* w, Controls& ui) {
    ui.TxtReceive = place(new QPlainTextEdit(w), "TxtReceive", QRect(402, 96, 230, 390));
    ui.TxtReceive->setReadOnly(true);
    ui.TxtReceive->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ui.TxtReceive->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    ui.msgLab = label(w, "msgLab", {}, QRect(4, 488, 628, 22));
    QFont font = ui.msgLab->font();
    font.setPointSize(12);
    font.setBold(true);
    ui.msgLab->setFont(font);
    QPalette palette = ui.msgLab->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    ui.msgLab->setPalette(palette);

    ui.TxtStatus = display(w, "TxtStatus", {}, QRect(4, 512, 250, 22));
    ui.TxtRXCount = display(w, "TxtRXCount", QStringLiteral("RX:0"), QRect(258, 512, 88, 22));
    ui.TxtTXCount = display(w, "TxtTXCount", QStringLiteral("TX:0"), QRect(350, 512, 88, 22));
    ui.LblNewDate = label(w, "LblNewDate", Controls::tr("显示日前"), QRect(444, 512, 90, 22));
    ui.LblNowTime = label(w, "LblNowTime", Controls::tr("当前时间"), QRect(536, 512, 96, 22));
}

} // namespace

void buildControls(QWidget* window, Controls& ui) {
    buildPortSettings(window, ui);
    buildButtons(window, ui);
    buildIdentityAndModes(window, ui);
    buildSetpoints(window, ui);
    buildReadOuts(window, ui);
    buildLogAndStatus(window, ui);

    ui.TmrAutoSend = timer(window, "TmrAutoSend", 2000);
    ui.Timer1 = timer(window, "Timer1", 1000);
}
