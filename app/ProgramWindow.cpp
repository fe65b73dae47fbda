#include "ProgramWindow.h"

#include "program/ProgramFile.h"
#include "protocol/NumberText.h"
#include "record/CsvFormat.h"
#include "supply/RatingLimits.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

enum Column { VoltageColumn, CurrentColumn, DwellColumn, OutputColumn, ColumnCount };

const QColor BadCell(255, 200, 200);

QString hms(qint64 msecs) {
    const qint64 s = (msecs + 999) / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

ProgramWindow::ProgramWindow(ProgramRun& run, const RatingLimits& rating, QWidget* owner)
    : QWidget(owner, Qt::Window), run_(run), rating_(rating), table_(new QTableWidget(0, 4, this)),
      repeat_(new QSpinBox(this)), endless_(new QCheckBox(tr("无限循环"), this)),
      keepOutput_(new QCheckBox(tr("结束时保持输出状态"), this)),
      start_(new QPushButton(tr("开始"), this)), pause_(new QPushButton(tr("暂停"), this)),
      stop_(new QPushButton(tr("停止"), this)), progress_(new QProgressBar(this)),
      status_(new QLabel(this)), refresh_(new QTimer(this)) {
    setObjectName(QStringLiteral("ProgramWindow"));
    setWindowTitle(tr("程序运行"));
    chooser_ = [this](bool save) {
        const QString filter = tr("程序文件 (*.csv)");
        return save ? QFileDialog::getSaveFileName(this, tr("保存程序"), fileName_, filter)
                    : QFileDialog::getOpenFileName(this, tr("打开程序"), fileName_, filter);
    };

    table_->setObjectName(QStringLiteral("ProgramTable"));
    table_->setHorizontalHeaderLabels({tr("电压(V)"), tr("电流(A)"), tr("停留(s)"), tr("输出")});
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (filling_)
            return;
        fileName_.clear();
        const QSignalBlocker blocker(table_);
        item->setBackground(QBrush());
        if (item->column() == OutputColumn)
            item->setText(item->checkState() == Qt::Checked ? tr("开") : tr("关"));
    });

    const auto button = [this](const QString& text, const char* name, auto slot) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        connect(b, &QPushButton::clicked, this, slot);
        editing_.append(b);
        return b;
    };
    auto* files = new QHBoxLayout;
    files->addWidget(button(tr("打开…"), "ProgramOpen", [this] {
        const QString path = chooser_(false);
        if (!path.isEmpty())
            load(path);
    }));
    files->addWidget(button(tr("保存…"), "ProgramSave", [this] {
        const QString path = chooser_(true);
        if (!path.isEmpty())
            save(path);
    }));
    files->addStretch();
    files->addWidget(button(tr("添加"), "ProgramAdd", [this] {
        const int row = table_->rowCount();
        ProgramStep step;
        if (const std::optional<ProgramSteps> now = steps(); now && !now->empty())
            step = now->back();
        addRow(step);
        table_->selectRow(row);
    }));
    files->addWidget(button(tr("删除"), "ProgramRemove", [this] {
        if (table_->currentRow() >= 0) {
            table_->removeRow(table_->currentRow());
            fileName_.clear();
        }
    }));
    files->addWidget(button(tr("上移"), "ProgramUp", [this] { moveRow(-1); }));
    files->addWidget(button(tr("下移"), "ProgramDown", [this] { moveRow(1); }));
    files->addWidget(button(tr("斜坡…"), "ProgramRamp", [this] { rampDialog(); }));

    repeat_->setObjectName(QStringLiteral("ProgramRepeat"));
    repeat_->setRange(1, ProgramLimits::MaxRepeat);
    endless_->setObjectName(QStringLiteral("ProgramEndless"));
    keepOutput_->setObjectName(QStringLiteral("ProgramKeepOutput"));
    connect(endless_, &QCheckBox::toggled, repeat_, &QSpinBox::setDisabled);
    auto* options = new QHBoxLayout;
    options->addWidget(new QLabel(tr("重复次数"), this));
    options->addWidget(repeat_);
    options->addWidget(endless_);
    options->addStretch();
    options->addWidget(keepOutput_);

    start_->setObjectName(QStringLiteral("ProgramStart"));
    pause_->setObjectName(QStringLiteral("ProgramPause"));
    stop_->setObjectName(QStringLiteral("ProgramStop"));
    connect(start_, &QPushButton::clicked, this, [this] { startRun(); });
    connect(pause_, &QPushButton::clicked, this, [this] { pauseOrResume(); });
    connect(stop_, &QPushButton::clicked, this, [this] { stopRun(); });
    progress_->setObjectName(QStringLiteral("ProgramProgress"));
    progress_->setRange(0, 1000);
    progress_->setValue(0);
    progress_->setFormat(QString());
    auto* controls = new QHBoxLayout;
    controls->addWidget(start_);
    controls->addWidget(pause_);
    controls->addWidget(stop_);
    controls->addWidget(progress_, 1);

    status_->setObjectName(QStringLiteral("ProgramStatus"));
    status_->setWordWrap(true);
    status_->setStyleSheet(QStringLiteral("color: #c00000"));
    status_->setTextFormat(Qt::PlainText);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(files);
    layout->addWidget(table_);
    layout->addLayout(options);
    layout->addLayout(controls);
    layout->addWidget(status_);
    resize(560, 420);

    refresh_->setInterval(250);
    connect(refresh_, &QTimer::timeout, this, [this] { showProgress(); });
    connect(&run_, &ProgramRun::stateChanged, this, [this](ProgramRun::State s) { showState(s); });
    connect(&run_, &ProgramRun::stepStarted, this, [this](int index) {
        table_->selectRow(index);
        showProgress();
    });
    connect(&run_, &ProgramRun::ended, this,
            [this](ProgramRun::End end, int index) { showEnd(end, index); });
    showState(run_.state());
}

void ProgramWindow::addRow(const ProgramStep& step) {
    const QSignalBlocker blocker(table_);
    const int row = table_->rowCount();
    table_->insertRow(row);
    table_->setItem(row, VoltageColumn, new QTableWidgetItem(CsvFormat::numberText(step.voltage)));
    table_->setItem(row, CurrentColumn, new QTableWidgetItem(CsvFormat::numberText(step.current)));
    table_->setItem(row, DwellColumn,
                    new QTableWidgetItem(CsvFormat::numberText(step.dwellSeconds)));
    auto* output = new QTableWidgetItem(step.output == OutputState::On ? tr("开") : tr("关"));
    output->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    output->setCheckState(step.output == OutputState::On ? Qt::Checked : Qt::Unchecked);
    table_->setItem(row, OutputColumn, output);
    fileName_.clear();
}

std::optional<ProgramSteps> ProgramWindow::steps() {
    ProgramSteps result;
    bool good = true;
    for (int row = 0; row < table_->rowCount(); ++row) {
        ProgramStep step;
        double* const numbers[] = {&step.voltage, &step.current, &step.dwellSeconds};
        for (int c = VoltageColumn; c <= DwellColumn; ++c) {
            QTableWidgetItem* item = table_->item(row, c);
            const std::optional<double> value =
                NumberText::parseDecimal(item ? item->text().trimmed() : QString());
            const bool ok = value && (c != DwellColumn || ProgramLimits::dwellAllowed(*value));
            if (!ok) {
                good = false;
                const QSignalBlocker blocker(table_);
                if (item)
                    item->setBackground(BadCell);
                continue;
            }
            *numbers[c] = *value;
        }
        step.output = table_->item(row, OutputColumn)->checkState() == Qt::Checked
                          ? OutputState::On
                          : OutputState::Off;
        result.push_back(step);
    }
    if (!good) {
        showStatus(tr("标记的格子不是数字，或停留时间不在 %1 到 %2 秒之间")
                       .arg(ProgramLimits::MinDwellSeconds)
                       .arg(ProgramLimits::MaxDwellSeconds));
        return std::nullopt;
    }
    return result;
}

void ProgramWindow::setSteps(const ProgramSteps& steps) {
    filling_ = true;
    table_->setRowCount(0);
    for (const ProgramStep& step : steps)
        addRow(step);
    filling_ = false;
}

void ProgramWindow::appendSteps(const ProgramSteps& steps) {
    for (const ProgramStep& step : steps)
        addRow(step);
}

bool ProgramWindow::load(const QString& path) {
    const ProgramFile::Result result = ProgramFile::read(path);
    if (result.problem) {
        showStatus(ProgramFile::describe(*result.problem));
        return false;
    }
    setSteps(result.steps);
    fileName_ = path;
    showStatus(QString());
    return true;
}

bool ProgramWindow::save(const QString& path) {
    const std::optional<ProgramSteps> now = steps();
    if (!now)
        return false;
    QString error;
    if (!ProgramFile::write(path, *now, &error)) {
        showStatus(tr("无法保存：%1").arg(error));
        return false;
    }
    fileName_ = path;
    showStatus(QString());
    return true;
}

void ProgramWindow::moveRow(int by) {
    const int row = table_->currentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= table_->rowCount())
        return;
    std::optional<ProgramSteps> now = steps();
    if (!now)
        return;
    std::swap((*now)[size_t(row)], (*now)[size_t(to)]);
    setSteps(*now);
    table_->selectRow(to);
}

void ProgramWindow::startRun() {
    std::optional<ProgramSteps> now = steps();
    if (!now)
        return;
    markRows({});
    ProgramRun::Program program;
    program.steps = std::move(*now);
    program.repeat = endless_->isChecked() ? ProgramRun::Endless : repeat_->value();
    program.name = fileName_;
    program.keepOutputAtEnd = keepOutput_->isChecked();
    switch (run_.start(program)) {
    case ProgramRun::Start::Started:
        showStatus(QString());
        break;
    case ProgramRun::Start::OutsideLimits:
        markRows(ProgramLimits::stepsOutsideLimits(rating_.limits(), program.steps));
        showStatus(tr("标记的步骤超出设定范围（电源型号决定的范围），程序没有开始"));
        break;
    case ProgramRun::Start::NoSteps:
        showStatus(tr("没有步骤，程序没有开始"));
        break;
    case ProgramRun::Start::PortClosed:
        showStatus(tr("串口没有打开，程序没有开始"));
        break;
    case ProgramRun::Start::BadRepeat:
    case ProgramRun::Start::BadStep:
    case ProgramRun::Start::Busy:
        break;
    }
}

void ProgramWindow::pauseOrResume() {
    if (run_.state() == ProgramRun::State::Paused)
        run_.resume();
    else
        run_.pause();
}

void ProgramWindow::stopRun() {
    run_.stop();
}

void ProgramWindow::markRows(const std::vector<int>& rows) {
    const QSignalBlocker blocker(table_);
    for (int row = 0; row < table_->rowCount(); ++row)
        for (int c = VoltageColumn; c <= CurrentColumn; ++c)
            table_->item(row, c)->setBackground(QBrush());
    for (int row : rows)
        for (int c = VoltageColumn; c <= CurrentColumn; ++c)
            table_->item(row, c)->setBackground(BadCell);
}

void ProgramWindow::showState(ProgramRun::State state) {
    const bool idle = state == ProgramRun::State::Idle;
    for (QPushButton* b : editing_)
        b->setEnabled(idle);
    table_->setEditTriggers(idle ? QAbstractItemView::AllEditTriggers
                                 : QAbstractItemView::NoEditTriggers);
    repeat_->setEnabled(idle && !endless_->isChecked());
    endless_->setEnabled(idle);
    keepOutput_->setEnabled(idle);
    start_->setEnabled(idle);
    pause_->setEnabled(!idle);
    stop_->setEnabled(!idle);
    pause_->setText(state == ProgramRun::State::Paused ? tr("继续") : tr("暂停"));
    if (idle)
        refresh_->stop();
    else
        refresh_->start();
    showProgress();
}

void ProgramWindow::showEnd(ProgramRun::End end, int index) {
    switch (end) {
    case ProgramRun::End::Finished:
        progress_->setValue(progress_->maximum());
        progress_->setFormat(tr("完成"));
        return;
    case ProgramRun::End::Stopped:
        showStatus(tr("程序已停止，输出已关闭"));
        break;
    case ProgramRun::End::PortGone:
        showStatus(tr("串口断开，程序已停止；串口再次打开时关闭输出"));
        break;
    case ProgramRun::End::Refused:
        markRows({index});
        showStatus(tr("第 %1 步超出设定范围，程序已停止").arg(index + 1));
        break;
    }
}

void ProgramWindow::showProgress() {
    if (!run_.isActive())
        return;
    const qint64 total = run_.totalMsecs();
    const qint64 left = run_.remainingMsecs();
    progress_->setValue(total > 0 ? int(1000.0 * double(total - left) / double(total)) : 0);
    const QString pass = run_.program().repeat == ProgramRun::Endless
                             ? tr("第 %1 遍（无限）").arg(run_.pass())
                             : tr("第 %1/%2 遍").arg(run_.pass()).arg(run_.program().repeat);
    progress_->setFormat(tr("第 %1/%2 步 %3 剩余 %4")
                             .arg(run_.stepIndex() + 1)
                             .arg(run_.program().steps.size())
                             .arg(pass, hms(left)));
}

void ProgramWindow::showStatus(const QString& text) {
    status_->setText(text);
}

QString ProgramWindow::statusText() const {
    return status_->text();
}

void ProgramWindow::closeEvent(QCloseEvent* event) {
    // Out of sight, a run would go on with nobody watching it.
    run_.stop();
    QWidget::closeEvent(event);
}

void ProgramWindow::rampDialog() {
    QDialog dialog(this);
    dialog.setWindowTitle(tr("斜坡"));
    auto* quantity = new QComboBox(&dialog);
    quantity->addItems({tr("电压"), tr("电流")});
    auto* from = new QLineEdit(QStringLiteral("0"), &dialog);
    auto* to = new QLineEdit(QStringLiteral("12"), &dialog);
    auto* count = new QSpinBox(&dialog);
    count->setRange(2, ProgramLimits::MaxSteps);
    count->setValue(10);
    auto* total = new QLineEdit(QStringLiteral("10"), &dialog);
    auto* other = new QLineEdit(QStringLiteral("1"), &dialog);
    auto* otherLabel = new QLabel(tr("电流(A)"), &dialog);
    connect(quantity, &QComboBox::currentIndexChanged, otherLabel, [otherLabel](int index) {
        otherLabel->setText(index == 0 ? tr("电流(A)") : tr("电压(V)"));
    });
    auto* note = new QLabel(&dialog);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    auto* form = new QFormLayout(&dialog);
    form->addRow(tr("斜坡量"), quantity);
    form->addRow(tr("起点"), from);
    form->addRow(tr("终点"), to);
    form->addRow(tr("步数"), count);
    form->addRow(tr("总时间(s)"), total);
    form->addRow(otherLabel, other);
    form->addRow(note);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
        const auto number = [](const QLineEdit* edit) {
            return NumberText::parseDecimal(edit->text().trimmed());
        };
        const auto a = number(from), b = number(to), t = number(total), o = number(other);
        std::optional<ProgramSteps> ramp;
        if (a && b && t && o)
            ramp = rampSteps(quantity->currentIndex() == 0, *a, *b, count->value(), *t, *o);
        if (!ramp) {
            note->setText(tr("请填数字（小数点用 .）；每步停留 %1 到 %2 秒")
                              .arg(ProgramLimits::MinDwellSeconds)
                              .arg(ProgramLimits::MaxDwellSeconds));
            return;
        }
        appendSteps(*ramp);
        dialog.accept();
    });
    dialog.exec();
}
