#include "AboutDialog.h"

#include "RecordingControl.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QVBoxLayout>

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(tr("关于"));
    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("AboutText"));
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    const QString folder =
        QFileInfo(RecordingControl::proposedPath(QDateTime::currentDateTime())).absolutePath();
    label->setText(
        tr("Velmor电源监控 %1").arg(QStringLiteral(VELMOR_VERSION)) + QStringLiteral("\n\n") +
        tr("自由软件，按 GNU 通用公共许可证第 3 版或更新版本发布（GPL-3.0-or-later）。") +
        QStringLiteral("\n\n") +
        tr("说明书 README.md（安装后在 /usr/share/doc/velmor-monitor/）的各节：") +
        QStringLiteral("\n  ") + readmeSections().join(QStringLiteral("\n  ")) +
        QStringLiteral("\n\n") + tr("记录默认保存在：%1").arg(folder) + QStringLiteral("\n\n") +
        tr("菜单：右键单击读数区或窗口的空白处。"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(buttons);
}

QStringList AboutDialog::readmeSections() {
    return {QStringLiteral("Command line"),
            QStringLiteral("Language"),
            QStringLiteral("Recording to CSV"),
            QStringLiteral("Running without a window"),
            QStringLiteral("Reconnecting"),
            QStringLiteral("Trend window"),
            QStringLiteral("Programmed runs"),
            QStringLiteral("Watch limits"),
            QStringLiteral("Power, energy and the output timer"),
            QStringLiteral("Scripting")};
}

QString AboutDialog::text() const {
    return findChild<QLabel*>(QStringLiteral("AboutText"))->text();
}
