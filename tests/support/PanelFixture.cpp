#include "PanelFixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

std::unique_ptr<VelmorMain> makeWindow(const QTemporaryDir& folder, ScriptedSerialControl*& comm) {
    auto control = std::make_unique<ScriptedSerialControl>();
    comm = control.get();
    return std::make_unique<VelmorMain>(std::move(control), PortDirectory(folder.path()));
}

} // namespace

PanelFixture::PanelFixture()
    : window(makeWindow(linkFolder, comm)), state(window->panelState()), link(window->link()) {
    window->messageBoxes().replaceShower(
        [this](const MessageBoxes::Box& box) { boxes.append(box); });
}

void PanelFixture::open() {
    find<QComboBox>("CboCom")->setEditText(QStringLiteral("COM3"));
    find<QAbstractButton>("CmdSwitch")->click();
}

void PanelFixture::choose(const char* list, const QString& item) {
    auto* combo = find<QComboBox>(list);
    const int index = combo->findText(item);
    if (index < 0)
        qFatal("no item \"%s\" in %s", qPrintable(item), list);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

void PanelFixture::atStep(qint16 step) {
    link.state().step = PollingStep(step);
    comm->writes.clear();
    window->Command1_Click();
}

QString PanelFixture::takeWritten() {
    return comm->takeWritten();
}

QString PanelFixture::text(const char* name) const {
    // As shown once the log view's pending refresh (a moment away)
    // has run.
    window->logView().show();
    QObject* object = window->findChild<QObject*>(QLatin1String(name));
    if (auto* label = qobject_cast<QLabel*>(object))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(object))
        return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(object))
        return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(object))
        return combo->currentText();
    if (auto* box = qobject_cast<QGroupBox*>(object))
        return box->title();
    if (auto* log = qobject_cast<QPlainTextEdit*>(object))
        return log->toPlainText();
    return QStringLiteral("<no control %1>").arg(QLatin1String(name));
}
