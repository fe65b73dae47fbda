#include "Notices.h"

const QString Notices::PortClosed = QStringLiteral("串口没有打开，请打开串口");
const QString Notices::PortMissing = QStringLiteral("没有发现此串口或被占用");
