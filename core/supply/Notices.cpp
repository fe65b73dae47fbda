#include "Notices.h"

#include <QCoreApplication>

const QString Notices::PortClosed =
    QStringLiteral(QT_TRANSLATE_NOOP("Notices", "串口没有打开，请打开串口"));
const QString Notices::PortMissing =
    QStringLiteral(QT_TRANSLATE_NOOP("Notices", "没有发现此串口或被占用"));

QString Notices::translated(const QString& text) {
    return QCoreApplication::translate("Notices", text.toUtf8().constData());
}
