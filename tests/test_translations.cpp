#include "app/MeterTools.h"
#include "app/ProgramWindow.h"
#include "app/Translations.h"
#include "app/TrendChart.h"
#include "app/TrendWindow.h"
#include "supply/Notices.h"
#include "supply/RatingLimits.h"
#include "support/PanelFixture.h"

#include <QAbstractAxis>
#include <QAbstractButton>
#include <QAbstractSeries>
#include <QAction>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOption>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

using Environment = QList<QPair<QString, QString>>;

bool hasHan(const QString& text) {
    for (const QChar c : text)
        if (c.script() == QChar::Script_Han)
            return true;
    return false;
}

// A caption's text on the window: where it is drawn, and the room the
// widget gives it before it is clipped or elided.
struct Caption {
    QString text;
    QRect ink;
    QRect room;
};

// The width a caption needs. Its line height counts only as far as its
// place reaches: a CJK font's line spacing exceeds its glyphs.
QSize textSize(const QWidget& w, const QString& text, const QRect& room) {
    const QSize size = w.fontMetrics().size(0, text);
    return {size.width(), std::min(size.height(), room.height())};
}

std::optional<Caption> captionOf(const QWidget& w) {
    QStyle* style = w.style();
    if (const auto* label = qobject_cast<const QLabel*>(&w)) {
        if (label->text().isEmpty())
            return std::nullopt;
        const int m = label->margin();
        const QRect room = label->contentsRect().adjusted(m, m, -m, -m);
        const QSize size =
            label->wordWrap()
                ? w.fontMetrics().boundingRect(room, Qt::TextWordWrap, label->text()).size()
                : textSize(w, label->text(), room);
        return Caption{label->text(),
                       QStyle::alignedRect(w.layoutDirection(), label->alignment(), size, room),
                       room};
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(&w)) {
        if (box->title().isEmpty())
            return std::nullopt;
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.textAlignment = box->alignment();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        const QRect ink =
            style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
        return Caption{box->title(), ink, box->rect()};
    }
    const auto* button = qobject_cast<const QAbstractButton*>(&w);
    if (!button || button->text().isEmpty())
        return std::nullopt;
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    QRect room;
    Qt::Alignment alignment = Qt::AlignCenter;
    if (qobject_cast<const QRadioButton*>(button)) {
        room = style->subElementRect(QStyle::SE_RadioButtonContents, &option, button);
        room.setRight(button->rect().right());
        alignment = Qt::AlignLeft | Qt::AlignVCenter;
    } else if (qobject_cast<const QPushButton*>(button)) {
        room = style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    } else {
        // A tool button elides what its frame leaves no room for.
        const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
        room = button->rect().adjusted(frame, frame, -frame, -frame);
        alignment = Qt::AlignHCenter | Qt::AlignBottom;
    }
    const QSize size = textSize(w, button->text(), room);
    return Caption{button->text(), QStyle::alignedRect(Qt::LeftToRight, alignment, size, room),
                   room};
}

// Every caption shown in `window` that its widget clips, or that runs into
// another caption.
QStringList misfits(const QWidget& window) {
    QStringList found;
    QList<QPair<const QWidget*, QRect>> shown;
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&window))
            continue;
        const std::optional<Caption> caption = captionOf(*w);
        if (!caption)
            continue;
        const QString name = w->objectName() + QStringLiteral(" \"") + caption->text + u'"';
        if (!caption->room.contains(caption->ink))
            found << name + QStringLiteral(" needs %1 px, has %2")
                                .arg(caption->ink.width())
                                .arg(caption->room.width());
        const QRect ink(w->mapTo(&window, caption->ink.topLeft()), caption->ink.size());
        for (const auto& [other, otherInk] : shown)
            if (ink.intersects(otherInk))
                found << name + QStringLiteral(" runs into ") + other->objectName();
        shown.append({w, ink});
    }
    return found;
}

// Every text a person can read on `root` and its children: captions, tool
// tips, titles, entries, menu entries.
QStringList readableTexts(const QWidget& root) {
    QStringList texts{root.windowTitle(), root.toolTip()};
    for (const QWidget* w : root.findChildren<QWidget*>()) {
        texts << w->toolTip() << w->windowTitle();
        if (const auto* label = qobject_cast<const QLabel*>(w))
            texts << label->text();
        else if (const auto* button = qobject_cast<const QAbstractButton*>(w))
            texts << button->text();
        else if (const auto* box = qobject_cast<const QGroupBox*>(w))
            texts << box->title();
        else if (const auto* edit = qobject_cast<const QLineEdit*>(w))
            texts << edit->text();
        if (const auto* table = qobject_cast<const QTableWidget*>(w))
            for (int c = 0; c < table->columnCount(); ++c) {
                if (const QTableWidgetItem* header = table->horizontalHeaderItem(c))
                    texts << header->text();
                for (int r = 0; r < table->rowCount(); ++r)
                    if (const QTableWidgetItem* item = table->item(r, c))
                        texts << item->text();
            }
        if (const auto* combo = qobject_cast<const QComboBox*>(w))
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
        if (const auto* view = qobject_cast<const QChartView*>(w)) {
            for (const QAbstractAxis* axis : view->chart()->axes())
                texts << axis->titleText();
            for (const QAbstractSeries* series : view->chart()->series())
                texts << series->name();
        }
    }
    for (const QAction* action : root.findChildren<QAction*>())
        texts << action->text() << action->toolTip();
    return texts;
}

// The panel in the states whose captions differ from those at start.
using Scene = std::function<void(PanelFixture&, const QString& folder)>;

void closedAndTold(PanelFixture& panel, const QString& folder) {
    panel.choose("PowerTypeCombVol", RatingLimits::VoltageRatings.last());
    panel.choose("PowerTypeCombCur", RatingLimits::CurrentRatings.first());
    panel.find<QAbstractButton>("OutPutButton")->click();
    QVERIFY(panel.window->controller().recorder().start(folder + QStringLiteral("/r.csv"),
                                                        CsvRecorder::Existing::Refuse));
}

void openPollingOutputOn(PanelFixture& panel, const QString&) {
    panel.choose("PowerTypeCombVol", RatingLimits::VoltageRatings.at(7));
    panel.choose("PowerTypeCombCur", RatingLimits::CurrentRatings.at(13));
    panel.open();
    panel.find<QAbstractButton>("SeekCmd")->click();
    panel.window->polling().SysTickTimer_Timer();
    panel.atStep(7);
    panel.comm->receive("1\r\n");
    emit panel.link.notices().message(Notices::translated(Notices::PortMissing));
}

} // namespace

Q_DECLARE_METATYPE(PanelLanguage)
Q_DECLARE_METATYPE(Environment)
Q_DECLARE_METATYPE(Scene)

class TestTranslations : public QObject {
    Q_OBJECT
private slots:
    void languageChosen_data();
    void languageChosen();
    void qtCatalogueFollows_data();
    void qtCatalogueFollows();
    void captionsFit_data();
    void captionsFit();
    void englishPanelHasNoChinese();
};

void TestTranslations::languageChosen_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<Environment>("environment");
    QTest::addColumn<PanelLanguage>("language");
    const auto zh = PanelLanguage::Chinese;
    const auto en = PanelLanguage::English;
    QTest::newRow("nothing set") << "" << Environment{} << zh;
    QTest::newRow("English locale") << "" << Environment{{"LANG", "en_US.UTF-8"}} << en;
    QTest::newRow("other locale") << "" << Environment{{"LANG", "de_DE.UTF-8"}} << zh;
    QTest::newRow("C") << "" << Environment{{"LANG", "C"}} << zh;
    QTest::newRow("C.UTF-8 ignores LANGUAGE")
        << "" << Environment{{"LANG", "C.UTF-8"}, {"LANGUAGE", "en"}} << zh;
    QTest::newRow("POSIX ignores LANGUAGE")
        << "" << Environment{{"LC_ALL", "POSIX"}, {"LANGUAGE", "en"}, {"LANG", "en_US"}} << zh;
    QTest::newRow("LC_ALL before LANG")
        << "" << Environment{{"LC_ALL", "en_GB.UTF-8"}, {"LANG", "zh_CN.UTF-8"}} << en;
    QTest::newRow("LC_MESSAGES before LANG")
        << "" << Environment{{"LC_MESSAGES", "en_US.UTF-8"}, {"LANG", "de_DE.UTF-8"}} << en;
    QTest::newRow("empty LC_ALL is unset")
        << "" << Environment{{"LC_ALL", ""}, {"LANG", "en_US.UTF-8"}} << en;
    QTest::newRow("LANGUAGE before the locale")
        << "" << Environment{{"LANGUAGE", "en"}, {"LANG", "zh_CN.UTF-8"}} << en;
    QTest::newRow("LANGUAGE's first known entry")
        << "" << Environment{{"LANGUAGE", "fr:de:en_GB:zh"}, {"LANG", "de_DE.UTF-8"}} << en;
    QTest::newRow("LANGUAGE without either")
        << "" << Environment{{"LANGUAGE", "fr"}, {"LANG", "en_US.UTF-8"}} << en;
    QTest::newRow("longer code is not English") << "" << Environment{{"LANG", "eng"}} << zh;
    QTest::newRow("--lang en over C") << "en" << Environment{{"LANG", "C"}} << en;
    QTest::newRow("--lang zh over English")
        << "zh" << Environment{{"LANGUAGE", "en"}, {"LANG", "en_US.UTF-8"}} << zh;
}

void TestTranslations::languageChosen() {
    QFETCH(QString, option);
    QFETCH(Environment, environment);
    QFETCH(PanelLanguage, language);
    QProcessEnvironment env(QProcessEnvironment::InheritFromParent);
    env.clear();
    for (const auto& [name, value] : environment)
        env.insert(name, value);
    QCOMPARE(chooseLanguage(option, env), language);
}

void TestTranslations::qtCatalogueFollows_data() {
    QTest::addColumn<PanelLanguage>("language");
    QTest::addColumn<bool>("qtFolderEmpty");
    QTest::addColumn<QString>("ok");
    QTest::addColumn<bool>("chineseTitle");
    QTest::newRow("Chinese") << PanelLanguage::Chinese << false << "确定" << true;
    QTest::newRow("English") << PanelLanguage::English << false << "OK" << false;
    QTest::newRow("Chinese without Qt's catalogue")
        << PanelLanguage::Chinese << true << "OK" << true;
}

void TestTranslations::qtCatalogueFollows() {
    QFETCH(PanelLanguage, language);
    QFETCH(bool, qtFolderEmpty);
    QFETCH(QString, ok);
    QFETCH(bool, chineseTitle);
    const QTemporaryDir empty;
    const Translations translations(
        language,
        qtFolderEmpty ? empty.path() : QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    QMessageBox box(QMessageBox::NoIcon, QString(), QString(), QMessageBox::Ok);
    QCOMPARE(box.button(QMessageBox::Ok)->text(), ok);
    PanelFixture panel;
    QCOMPARE(hasHan(panel.window->windowTitle()), chineseTitle);
}

void TestTranslations::captionsFit_data() {
    QTest::addColumn<PanelLanguage>("language");
    QTest::addColumn<Scene>("scene");
    for (const auto& [language, name] : {std::pair{PanelLanguage::Chinese, "Chinese"},
                                         std::pair{PanelLanguage::English, "English"}}) {
        QTest::addRow("%s at start", name)
            << language << Scene([](PanelFixture&, const QString&) {});
        QTest::addRow("%s, closed, told, recording", name) << language << Scene(closedAndTold);
        QTest::addRow("%s, open, polling, output on", name)
            << language << Scene(openPollingOutputOn);
    }
}

void TestTranslations::captionsFit() {
    QFETCH(PanelLanguage, language);
    QFETCH(Scene, scene);
    const Translations translations(language);
    PanelFixture panel;
    QTemporaryDir folder;
    scene(panel, folder.path());
    const QStringList found = misfits(*panel.window);
    QVERIFY2(found.isEmpty(), qPrintable(found.join(u'\n')));
}

void TestTranslations::englishPanelHasNoChinese() {
    const Translations translations(PanelLanguage::English);
    for (const Scene& scene : {Scene(closedAndTold), Scene(openPollingOutputOn)}) {
        PanelFixture panel;
        QTemporaryDir folder;
        scene(panel, folder.path());
        auto* trend = qobject_cast<TrendWindow*>(panel.window->tools().trends().showLive());
        QVERIFY(trend);
        // The programmed run (with a step in its table) and the watch limits
        // are the window's children: the walk below reads them too.
        ProgramTools& programs = panel.window->tools().programs();
        QVERIFY(programs.showWatch());
        ProgramWindow* run = programs.showRun();
        QVERIFY(run);
        run->findChild<QPushButton*>(QStringLiteral("ProgramAdd"))->click();
        QCOMPARE(run->findChild<QTableWidget*>(QStringLiteral("ProgramTable"))->rowCount(), 1);
        // The meter's window, the timer's dialog and the About box too.
        MeterTools& meters = panel.window->tools().meters();
        QVERIFY(meters.showMeter());
        QVERIFY(meters.showTimer());
        QVERIFY(meters.showAbout());
        QStringList texts = readableTexts(*panel.window) + readableTexts(*trend);
        for (const MessageBoxes::Box& box :
             panel.boxes + QList{MessageBoxes::openFailed(), MessageBoxes::outOfRange()})
            texts << box.text << box.title;
        texts.removeIf([](const QString& text) { return !hasHan(text); });
        QVERIFY2(texts.isEmpty(), qPrintable(texts.join(u'\n')));
    }
}

QTEST_MAIN(TestTranslations)
#include "test_translations.moc"
