// The port scan on its own: PortList::fill, as start-up runs it, over the
// port-link folder given.
//
//   bench-scan --links DIR [--runs N]
//
// Prints scan_first_ms (the first scan in the process, as start-up pays it),
// scan_ms (median of the scans after it), scan_max_ms, listing_ms (median of
// the system's port listing alone), ports (how many were listed) and qt (the
// Qt version in use).
#include "Measure.h"
#include "app/PanelState.h"
#include "app/PortList.h"
#include "serial/PortDirectory.h"

#include <QApplication>
#include <QComboBox>
#include <QSerialPortInfo>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QString links;
    int runs = 50;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--links"))
            links = args[i + 1];
        else if (args[i] == QLatin1String("--runs"))
            runs = args[i + 1].toInt();
    }
    if (links.isEmpty() || runs < 1) {
        std::fprintf(stderr, "usage: bench-scan --links DIR [--runs N]\n");
        return 2;
    }

    PanelState state;
    PortDirectory ports(links);
    QComboBox CboCom;
    CboCom.setEditable(true);
    CboCom.setInsertPolicy(QComboBox::NoInsert);
    PortList list(state, ports, CboCom);

    std::vector<double> scans;
    for (int run = 0; run <= runs; ++run) {
        const double t0 = Measure::nowMs();
        list.fill();
        scans.push_back(Measure::nowMs() - t0);
    }
    const double first = scans.front();
    scans.erase(scans.begin());

    std::vector<double> listings;
    for (int run = 0; run < runs; ++run) {
        const double t0 = Measure::nowMs();
        // Qt's own listing of the system's serial ports, for comparison:
        // the scan used to take one.
        (void)QSerialPortInfo::availablePorts();
        listings.push_back(Measure::nowMs() - t0);
    }

    std::printf("scan_first_ms %.3f\n", first);
    std::printf("scan_ms %.3f\n", Measure::percentile(scans, 0.5));
    std::printf("scan_max_ms %.3f\n", scans.back());
    std::printf("listing_ms %.3f\n", Measure::percentile(listings, 0.5));
    std::printf("ports %d\n", CboCom.count());
    std::printf("qt %s\n", qVersion());
    return 0;
}
