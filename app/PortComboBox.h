#pragma once

#include <QComboBox>

class PortList;

// The port list's combo box: it announces each drop-down before the list
// opens, so that the list can be brought up to date first.
class PortComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;

    void showPopup() override;

signals:
    void popupAboutToShow();
};

// Lists the ports again by the start-up scan's rules, keeping the text the
// operator typed or picked (and so the port number taken from it), so that
// an adapter plugged in after start-up can be chosen.
void rescanKeepingText(PortList& list, QComboBox& box);
