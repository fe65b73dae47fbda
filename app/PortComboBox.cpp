#include "PortComboBox.h"

#include "PortList.h"

#include <QLineEdit>

void PortComboBox::showPopup() {
    emit popupAboutToShow();
    QComboBox::showPopup();
}

void rescanKeepingText(PortList& list, QComboBox& box) {
    const QString text = box.currentText();
    const int cursor = box.lineEdit() ? box.lineEdit()->cursorPosition() : 0;
    list.fill();
    // Setting the text again runs the text handler, which takes the port
    // number from it as before the scan.
    box.setEditText(text);
    if (box.lineEdit())
        box.lineEdit()->setCursorPosition(cursor);
}
