#include "app/AppId.h"
#include "app/Pictures.h"
#include "support/PanelFixture.h"

#include <QPainter>
#include <QSvgRenderer>
#include <QtTest>

#include <algorithm>
#include <cstdlib>

// The icon files installed for the desktop against the window's own drawing,
// and the icon the window offers the desktop.
class TestIcon : public QObject {
    Q_OBJECT
private slots:
    void scalableIconIsTheWindowIcon_data();
    void scalableIconIsTheWindowIcon();
    void windowOffersTheDrawingAtEverySize();
};

namespace {

QString scalableIconPath() {
    return QStringLiteral(VELMOR_DIST_DIR "/") + QLatin1String(AppId) + QStringLiteral(".svg");
}

QImage rendered(QSvgRenderer& svg, int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    svg.render(&painter);
    return image;
}

// How two pictures of the same size differ: the mean difference of a channel,
// and the share of pixels where some channel differs by more than a quarter.
struct Difference {
    double meanChannel = 0;
    double farPixelShare = 0;
};

Difference difference(const QImage& a, const QImage& b) {
    const QImage left = a.convertToFormat(QImage::Format_ARGB32);
    const QImage right = b.convertToFormat(QImage::Format_ARGB32);
    qint64 channelSum = 0;
    qint64 farPixels = 0;
    for (int y = 0; y < left.height(); ++y) {
        for (int x = 0; x < left.width(); ++x) {
            const QRgb p = left.pixel(x, y);
            const QRgb q = right.pixel(x, y);
            const int channels[] = {std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                    std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))};
            int largest = 0;
            for (int channel : channels) {
                channelSum += channel;
                largest = std::max(largest, channel);
            }
            if (largest > 64)
                ++farPixels;
        }
    }
    const double pixels = double(left.width()) * left.height();
    return {double(channelSum) / (4 * pixels), double(farPixels) / pixels};
}

} // namespace

void TestIcon::scalableIconIsTheWindowIcon_data() {
    QTest::addColumn<int>("side");
    for (int side : {48, 128, 256})
        QTest::addRow("%d", side) << side;
}

// The drawing is plain shapes on a 48-unit square, so the SVG written from it
// renders to nearly the same pixels (a mean difference near 0.04 here): only
// the edges' antialiasing differs. A shape one unit off, another colour, even
// mitred corners or butt line ends where Qt's pen bevels and squares them, at
// least 0.14.
void TestIcon::scalableIconIsTheWindowIcon() {
    QFETCH(int, side);
    QSvgRenderer svg(scalableIconPath());
    QVERIFY2(svg.isValid(), qPrintable(scalableIconPath()));
    QCOMPARE(svg.viewBoxF(), QRectF(0, 0, 48, 48));
    const Difference diff = difference(rendered(svg, side), Pictures::windowIconImage(side));
    QVERIFY2(diff.meanChannel < 0.1, qPrintable(QString::number(diff.meanChannel)));
    QVERIFY2(diff.farPixelShare < 0.001, qPrintable(QString::number(diff.farPixelShare)));
}

// Each size the window offers the desktop is the drawing at that size, not
// one picture scaled.
void TestIcon::windowOffersTheDrawingAtEverySize() {
    PanelFixture panel;
    const QIcon icon = panel.window->windowIcon();
    QVERIFY(icon.availableSizes().size() > 1);
    for (const QSize& size : icon.availableSizes())
        QCOMPARE(icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32),
                 Pictures::windowIconImage(size.width()).convertToFormat(QImage::Format_ARGB32));
}

QTEST_MAIN(TestIcon)
#include "test_icon.moc"
