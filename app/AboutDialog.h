#pragma once

#include <QDialog>
#include <QStringList>

// "关于": the version, the licence, the sections of the README (for a
// newcomer who has not read it: what the program can do and where it is
// told), and the folder recordings are proposed in.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent);

    // The README's section titles the dialog names, as the README writes them.
    static QStringList readmeSections();
    QString text() const;
};
