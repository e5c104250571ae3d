#include "packagewindow.h"

#include "common/egridmodel.h"
#include "common/seams.h"
#include "common/values.h"
#include "counter/counter.h"
#include "counter/plantext.h"
#include "ui_packagewindow.h"
#include "widgets/windows.h"

namespace {

// The timing machines whose usage's plan sells packages.
QVector<int> machinesOnSale(const Counter& counter)
{
    QVector<int> numbers;
    for (const MachineSlot& slot : counter.state().machines) {
        const MachineRecord& m = counter.state().machineTable[slot.number];
        if (counter.isTiming(slot.number) && m.plan && !m.plan->plan.packages.isEmpty())
            numbers.append(slot.number);
    }
    return numbers;
}

} // namespace

PackageWindow::PackageWindow(Counter& counter, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::PackageWindow>())
    , m_counter(counter)
{
    m_ui->setupUi(this);
    layOutDialog(this, parent);
    for (int n : machinesOnSale(counter))
        m_ui->组合框_机号->addItem(toText(n) + QStringLiteral("号"), n);
    connect(m_ui->组合框_机号, &QComboBox::currentIndexChanged, this, &PackageWindow::machinePicked);
    connect(m_ui->组合框_套餐, &QComboBox::currentIndexChanged, this, &PackageWindow::packagePicked);
    connect(m_ui->按钮_确定, &QPushButton::clicked, this, &PackageWindow::sell);
    // The machine picked on the console, when it is one of them.
    const int current = counter.state().machineAt(counter.grid().getCurrentRow());
    m_ui->组合框_机号->setCurrentIndex(std::max(0, m_ui->组合框_机号->findData(current)));
    machinePicked();
    m_ui->按钮_确定->setEnabled(m_ui->组合框_机号->count() > 0);
    if (m_ui->组合框_机号->count() == 0)
        m_ui->标签_说明->setText(QStringLiteral("没有可以购买套餐的上机机器"));
}

PackageWindow::~PackageWindow() = default;

bool PackageWindow::anyOnSale(const Counter& counter) { return !machinesOnSale(counter).isEmpty(); }

void PackageWindow::machinePicked()
{
    const QSignalBlocker quiet(m_ui->组合框_套餐);
    m_ui->组合框_套餐->clear();
    const int n = m_ui->组合框_机号->currentData().toInt();
    const MachineRecord& m = m_counter.state().machineTable[n];
    if (m_counter.isTiming(n) && m.plan) {
        for (const PlanPackage& p : m.plan->plan.packages)
            m_ui->组合框_套餐->addItem(p.name);
    }
    m_ui->组合框_套餐->setCurrentIndex(m_ui->组合框_套餐->count() > 0 ? 0 : -1);
    packagePicked();
}

void PackageWindow::packagePicked()
{
    const int n = m_ui->组合框_机号->currentData().toInt();
    const MachineRecord& m = m_counter.state().machineTable[n];
    m_ui->编辑框_价格->clear();
    m_ui->标签_说明->clear();
    if (!m.plan)
        return;
    for (const PlanPackage& p : m.plan->plan.packages) {
        if (p.name != m_ui->组合框_套餐->currentText())
            continue;
        m_ui->编辑框_价格->setText(centsText(p.priceCents));
        m_ui->标签_说明->setText(p.start >= 0 ? QStringLiteral("包 ") + clockText(p.start) + QStringLiteral(" 至 ")
                    + clockText(p.end) + QStringLiteral("，计入上机费")
                                              : QStringLiteral("从现在起%1分钟，计入上机费").arg(p.minutes));
    }
}

void PackageWindow::sell()
{
    const int n = m_ui->组合框_机号->currentData().toInt();
    QString error;
    if (!m_counter.sellPackage(n, m_ui->组合框_套餐->currentText(), &error)) {
        messageBox(error, MbOk | MbExclamation, windowTitle());
        return;
    }
    m_sold = true;
    closeWindow(this);
}
