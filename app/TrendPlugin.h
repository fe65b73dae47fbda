#pragma once

#include "TrendModule.h"

#include <QObject>

// The trend window module's entry: makes the windows the panel asks for.
class TrendPlugin : public QObject, public TrendModule {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VelmorTrendModule_iid)
    Q_INTERFACES(TrendModule)
public:
    QWidget* liveWindow(const ReadingHistory& history, const OpenHandler& open,
                        QWidget* parent) override;
    QWidget* fileWindow(std::unique_ptr<ReadingHistory> recording, const QString& path,
                        const QString& note, const OpenHandler& open, QWidget* parent) override;
    QString liveTitle() const override;
};
