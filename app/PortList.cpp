#include "PortList.h"

#include "PanelState.h"
#include "serial/PortDirectory.h"

#include <QComboBox>

PortList::PortList(PanelState& state, PortDirectory& ports, QComboBox& CboCom)
    : state_(state), ports_(ports), CboCom_(CboCom) {}

void PortList::fill() {
    CboCom_.clear();
    CboCom_.clearEditText();
    for (int port = PortDirectory::FirstPort; port <= PortDirectory::LastPort; ++port) {
        state_.PortFound = ports_.ComPortExists(port);
        if (state_.PortFound != 0)
            CboCom_.addItem(QStringLiteral("COM") + QString::number(port));
    }
    CboCom_.setCurrentIndex(-1);
    CboCom_.clearEditText();
}

void PortList::CboCom_Click() {
    CboCom_Change();
}

void PortList::CboCom_Change() {
    state_.MyOpenPort = portNumberFromText(CboCom_.currentText());
    // The operator sees which device the chosen COMn stands for.
    CboCom_.setToolTip(ports_.devicePath(state_.MyOpenPort));
}
