#pragma once

#include <QCoreApplication>

class PortComboBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class QToolButton;
class QWidget;

// Every control of the window, by the name it is known under. Each widget's
// objectName is the same name, so tests and accessibility tools find it.
// The widgets belong to the window; this is only the directory of them.
// Controls::tr() translates the controls' captions, those at start and those
// the window writes later, in one context.
struct Controls {
    Q_DECLARE_TR_FUNCTIONS(Controls)

public:
    // Identity
    QGroupBox* FrameVersion = nullptr;
    QLabel* LabVersion = nullptr;
    QGroupBox* Veries = nullptr;
    QLabel* LabSeries = nullptr;

    // Tracking mode and channel
    QGroupBox* Frame9 = nullptr;
    QRadioButton* SERcmd = nullptr;
    QRadioButton* PARcmd = nullptr;
    QRadioButton* INDcmd = nullptr;
    QGroupBox* FrameIII = nullptr;
    QRadioButton* Op2 = nullptr;
    QRadioButton* OP1 = nullptr;

    // Picture buttons and the counter reset
    QToolButton* ClrAlarmAmd = nullptr;
    QToolButton* Command1 = nullptr;
    QToolButton* OutPutButton = nullptr;
    QToolButton* EndCmd = nullptr;
    QPushButton* CmdClearCounter = nullptr;

    // Rating and setpoints
    QGroupBox* Frame8 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* PowerTypeCombVol = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* PowerTypeCombCur = nullptr;
    QLabel* VOLSetLab = nullptr;
    QLineEdit* CVSetText = nullptr;
    QPushButton* VOLSetCmd = nullptr;
    QLabel* OVPSetLab = nullptr;
    QLineEdit* OVPSetText = nullptr;
    QPushButton* OVPSetCmd = nullptr;
    QLabel* CURSetLab = nullptr;
    QLineEdit* CCSetText = nullptr;
    QPushButton* CURSetCmd = nullptr;
    QLabel* OCPSetLab = nullptr;
    QLineEdit* OCPSetText = nullptr;
    QPushButton* OCPSetCmd = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* Label14 = nullptr;

    // Read-outs
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame6 = nullptr;
    QLabel* ReadVolLab = nullptr;
    QGroupBox* Frame7 = nullptr;
    QLabel* ReadCurrentLab = nullptr;
    QGroupBox* Frame3 = nullptr;
    QLabel* CVLab = nullptr;
    QGroupBox* Frame5 = nullptr;
    QLabel* CCLab = nullptr;
    QGroupBox* OVP = nullptr;
    QLabel* OVPLab = nullptr;
    QGroupBox* Frame4 = nullptr;
    QLabel* OCPLab = nullptr;

    // Port settings
    QGroupBox* Frame1 = nullptr;
    QLabel* Label4 = nullptr;
    PortComboBox* CboCom = nullptr;
    QLabel* Label5 = nullptr;
    QComboBox* CboBaudrate = nullptr;
    QLabel* Label6 = nullptr;
    QComboBox* CboParitybit = nullptr;
    QLabel* Label7 = nullptr;
    QComboBox* CboDatabit = nullptr;
    QLabel* Label8 = nullptr;
    QComboBox* CboStopbit = nullptr;
    QPushButton* CmdSwitch = nullptr;
    QPushButton* SeekCmd = nullptr;
    QLabel* ImgSwitchOff = nullptr;
    QLabel* ImgSwitchOn = nullptr;

    // Traffic log and status strip
    QPlainTextEdit* TxtReceive = nullptr;
    QLabel* msgLab = nullptr;
    QLineEdit* TxtStatus = nullptr;
    QLineEdit* TxtRXCount = nullptr;
    QLineEdit* TxtTXCount = nullptr;
    QLabel* LblNewDate = nullptr;
    QLabel* LblNowTime = nullptr;

    // Timers (the polling timer belongs to the polling cycle)
    QTimer* TmrAutoSend = nullptr;
    QTimer* Timer1 = nullptr;
};

// Creates every control on the window with its text, state, tool tip, font,
// colour and place at start.
void buildControls(QWidget* window, Controls& ui);
