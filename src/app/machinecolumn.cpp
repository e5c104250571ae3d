#include "machinecolumn.h"

#include "common/seams.h"
#include "common/values.h"
#include "widgets/egrid.h"
#include "widgets/windows.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

MachineColumn::MachineColumn(EGrid* grid, QPushButton* model, const CounterState& state, QObject* parent)
    : QObject(parent)
    , m_grid(grid)
    , m_model(model)
    , m_state(state)
    , m_strip(new QWidget(model->parentWidget()))
    , m_column(new QWidget(m_strip))
    , m_making(new QTimer(this))
{
    m_making->setInterval(0);
    m_making->setSingleShot(true);
    connect(m_making, &QTimer::timeout, this, &MachineColumn::makeSomeMore);
    m_strip->setObjectName(QStringLiteral("机器按钮栏"));
    m_strip->setGeometry(model->x(), grid->y(), model->width(), grid->height());
    m_strip->installEventFilter(this);
    m_strip->show();
    m_grid->installEventFilter(this);
    connect(m_grid->verticalScrollBar(), &QScrollBar::valueChanged, this, &MachineColumn::followGridScroll);
}

void MachineColumn::showState(QPushButton* button, int machineNo, bool timing)
{
    button->setText(toText(machineNo) + (timing ? QStringLiteral("号停止") : QStringLiteral("号开始")));
    QFont font = button->font();
    font.setBold(timing);
    button->setFont(font);
}

void MachineColumn::rebuild(const std::function<bool(int)>& isTiming)
{
    // Deleted later: the click that changed the list may still be on the stack of one of them.
    for (QPushButton* b : std::as_const(m_buttons)) {
        b->hide();
        b->deleteLater();
    }
    m_buttons.clear();
    m_numbers.clear();
    for (const MachineSlot& m : m_state.machines)
        m_numbers.append(m.number);
    m_isTiming = isTiming;
    m_nextToMake = 0;
    const int step = m_model->height() + 4;
    const int top = m_model->y() - m_grid->y();
    m_column->setGeometry(0, 0, m_model->width(), top + (int(m_numbers.size()) + 1) * step);
    m_model->setVisible(false);
    followGridScroll(m_grid->verticalScrollBar()->value());
    if (m_nextToMake < m_numbers.size())
        m_making->start();
}

QPushButton* MachineColumn::button(int machineNo)
{
    if (QPushButton* made = m_buttons.value(machineNo))
        return made;
    const int index = int(m_numbers.indexOf(machineNo));
    return index < 0 ? nullptr : makeButton(index);
}

QPushButton* MachineColumn::makeButton(int index)
{
    const int number = m_numbers.at(index);
    if (QPushButton* made = m_buttons.value(number))
        return made;
    QPushButton* b = copyControl(m_model, m_column);
    b->setObjectName(m_model->objectName() + QStringLiteral("_%1").arg(number));
    b->move(0, m_model->y() - m_grid->y() + (index + 1) * (m_model->height() + 4));
    showState(b, number, m_isTiming && m_isTiming(number));
    if (const int row = m_state.rowOf(number); row > 0 && !m_state.machines[row - 1].name.isEmpty())
        b->setAccessibleDescription(m_state.machines[row - 1].name);
    setTag(b, toText(number));
    b->setVisible(true);
    b->installEventFilter(this);
    connect(b, &QPushButton::clicked, this, [this, b] { emit clicked(b); });
    m_buttons.insert(number, b);
    return b;
}

void MachineColumn::makeButtonsInView()
{
    const int rowHeight = std::max(1, m_grid->rowHeight(0));
    const int first = m_grid->verticalScrollBar()->value();
    const int last = first + m_grid->height() / rowHeight + 1;
    for (int index = std::max(0, first - 1); index < std::min(int(m_numbers.size()), last); ++index)
        makeButton(index);
}

void MachineColumn::makeSomeMore()
{
    const int end = std::min(int(m_numbers.size()), m_nextToMake + 32);
    for (; m_nextToMake < end; ++m_nextToMake)
        makeButton(m_nextToMake);
    if (m_nextToMake < m_numbers.size())
        m_making->start();
}

void MachineColumn::followGridScroll(int firstRow)
{
    m_column->move(0, -firstRow * m_grid->rowHeight(0));
    makeButtonsInView();
}

bool MachineColumn::findTypedMachine(QKeyEvent* key)
{
    EGridModel& cells = m_grid->cells();
    const int row = cells.getCurrentRow();
    const int column = cells.getCurrentColumn() < 0 ? 0 : cells.getCurrentColumn();
    // In 定时 and 押金 digits are the cell's own.
    if (key->text().size() != 1 || !key->text().at(0).isDigit() || (row >= 1 && !cells.isReadOnly(row, column)))
        return false;
    const qint64 moment = qint64(now().days * 86400000.0);
    if (moment - m_typedAt > 1500 || m_typedNumber.size() >= 3)
        m_typedNumber.clear();
    m_typedAt = moment;
    m_typedNumber += key->text();
    const int found = m_state.rowOf(toInteger(m_typedNumber));
    if (found > 0) {
        cells.setCurrentCell(found, column);
        m_grid->scrollTo(m_grid->model()->index(found, column));
    }
    return true;
}

bool MachineColumn::eventFilter(QObject* watched, QEvent* event)
{
    // The wheel over the buttons scrolls the grid, which the buttons follow.
    if (event->type() == QEvent::Wheel && (watched == m_strip || watched->parent() == m_column)) {
        QCoreApplication::sendEvent(m_grid->verticalScrollBar(), event);
        return true;
    }
    if (watched == m_grid && event->type() == QEvent::KeyPress)
        return findTypedMachine(static_cast<QKeyEvent*>(event));
    return QObject::eventFilter(watched, event);
}
