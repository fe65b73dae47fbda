#include "MessageBoxes.h"

#include <QMessageBox>

MessageBoxes::Box MessageBoxes::openFailed() {
    return {tr("没有成功，请重试"), tr("VELMOR电源"), Icon::Warning};
}

MessageBoxes::Box MessageBoxes::outOfRange() {
    return {tr("设定值超出合法范围"), tr("Velmor电源"), Icon::None};
}

MessageBoxes::MessageBoxes(QWidget* parent) {
    shower_ = [parent](const Box& box) {
        QMessageBox dialog(box.icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                           box.title, box.text, QMessageBox::Ok, parent);
        dialog.setTextFormat(Qt::PlainText);
        dialog.exec();
    };
}

void MessageBoxes::show(const Box& box) const {
    shower_(box);
}
