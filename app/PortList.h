#pragma once

class PortDirectory;
class QComboBox;
struct PanelState;

// The port list CboCom: filled at start-up with the ports that exist; the
// port picked or typed there becomes MyOpenPort.
class PortList {
public:
    PortList(PanelState& state, PortDirectory& ports, QComboBox& CboCom);

    // Empties the list and its text, then lists "COMn" for every port from 1
    // to 255 that exists, in ascending order.
    void fill();

    void CboCom_Click();
    void CboCom_Change();

private:
    PanelState& state_;
    PortDirectory& ports_;
    QComboBox& CboCom_;
};
