#pragma once

#include <QString>

class CommandSender;
class QLabel;
class ReplyDecoder;
class SerialControl;
struct Controls;
struct PanelState;

// The firmware version and identification queries, sent on a double-click
// outside the polling cycle, which holds back one tick for the reply.
class IdentityQueries {
public:
    IdentityQueries(PanelState& state, Controls& ui, SerialControl& comm, CommandSender& sender,
                    ReplyDecoder& decoder);

    void FrameVersion_DblClick();
    void LabVersion_DblClick();
    void Veries_DblClick();
    void LabSeries_Click();

private:
    void sendQuery(QLabel& label, const QString& query, qint16 step);

    PanelState& state_;
    Controls& ui_;
    SerialControl& comm_;
    CommandSender& sender_;
    ReplyDecoder& decoder_;
};
