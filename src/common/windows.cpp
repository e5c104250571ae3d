#include "windows.h"

#include "seams.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace {

int showWidgetMessage(const QString& text, int style, const QString& title)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    box.setText(text);
    switch (style & 0xF0) {
    case 0x10:
        box.setIcon(QMessageBox::Critical);
        break;
    case 0x20:
        box.setIcon(QMessageBox::Question);
        break;
    case 0x30:
        box.setIcon(QMessageBox::Warning);
        break;
    case 0x40:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
    }
    using B = QMessageBox;
    switch (style & 0x0F) {
    case 1:
        box.setStandardButtons(B::Ok | B::Cancel);
        break;
    case 2:
        box.setStandardButtons(B::Abort | B::Retry | B::Ignore);
        break;
    case 3:
        box.setStandardButtons(B::Yes | B::No | B::Cancel);
        break;
    case 4:
        box.setStandardButtons(B::Yes | B::No);
        break;
    case 5:
        box.setStandardButtons(B::Retry | B::Cancel);
        break;
    default:
        box.setStandardButtons(B::Ok);
    }
    // The buttons speak the operator's language whatever translations are installed.
    const std::pair<QMessageBox::StandardButton, const char16_t*> captions[] = { { B::Ok, u"确定" },
        { B::Cancel, u"取消" }, { B::Yes, u"是" }, { B::No, u"否" }, { B::Abort, u"中止" }, { B::Retry, u"重试" },
        { B::Ignore, u"忽略" } };
    for (const auto& [button, caption] : captions) {
        if (QAbstractButton* b = box.button(button))
            b->setText(QString::fromUtf16(caption));
    }
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case B::Cancel:
        return AnswerCancel;
    case B::Abort:
        return AnswerAbort;
    case B::Retry:
        return AnswerRetry;
    case B::Ignore:
        return AnswerIgnore;
    case B::Yes:
        return AnswerYes;
    case B::No:
        return AnswerNo;
    default:
        return AnswerOk;
    }
}

} // namespace

void installWidgetResponders()
{
    seams::setMessageResponder(showWidgetMessage);
    seams::setBeepResponder([] { QApplication::beep(); });
}

bool loadWindow(QWidget* window, QWidget* parent, bool modal)
{
    if (!window)
        return false;
    if (parent && window->parentWidget() != parent)
        window->setParent(parent, window->windowFlags() | Qt::Window);
    if (!modal) {
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        return true;
    }
    if (auto* dialog = qobject_cast<QDialog*>(window)) {
        dialog->setModal(true);
        dialog->exec();
        return true;
    }
    window->setWindowModality(Qt::ApplicationModal);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    QEventLoop loop;
    QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
    QPointer<QWidget> guard(window);
    window->show();
    while (guard && guard->isVisible())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    return true;
}

void closeWindow(QWidget* window)
{
    if (window)
        window->close();
}

QPushButton* copyControl(QPushButton* templateButton)
{
    auto* b = new QPushButton(templateButton->parentWidget());
    b->setObjectName(templateButton->objectName());
    b->setGeometry(templateButton->geometry());
    b->setText(templateButton->text());
    b->setFont(templateButton->font());
    b->setToolTip(templateButton->toolTip());
    b->setEnabled(templateButton->isEnabled());
    b->setFocusPolicy(templateButton->focusPolicy());
    b->setSizePolicy(templateButton->sizePolicy());
    b->setStyleSheet(templateButton->styleSheet());
    setTag(b, tagOf(templateButton));
    b->setVisible(!templateButton->isHidden());
    return b;
}

namespace {
QObject* g_eventSource = nullptr;
}

void onClick(QPushButton* button, QObject* context, std::function<void()> handler)
{
    QObject::connect(button, &QPushButton::clicked, context, [button, handler] {
        QObject* outer = g_eventSource;
        g_eventSource = button;
        handler();
        g_eventSource = outer;
    });
}

QObject* eventSource() { return g_eventSource; }

QString tagOf(const QObject* control) { return control ? control->property("tag").toString() : QString(); }

void setTag(QObject* control, const QString& tag) { control->setProperty("tag", tag); }

void setFocus(QWidget* control)
{
    if (control)
        control->setFocus(Qt::OtherFocusReason);
}

void fitLabels(QWidget* window)
{
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (qobject_cast<QStatusBar*>(label->parentWidget()))
            continue;
        const int wanted = label->sizeHint().width();
        if (wanted > label->width())
            label->resize(wanted, label->height());
    }
}

int addComboItem(QComboBox* box, const QString& text, int itemNumber)
{
    if (!box)
        return -1;
    box->addItem(text, itemNumber);
    return box->count() - 1;
}

QString getComboItem(const QComboBox* box, int index)
{
    if (!box || index < 0 || index >= box->count())
        return QString();
    return box->itemText(index);
}

PartStatusBar::PartStatusBar(QWidget* parent)
    : QStatusBar(parent)
{
    setSizeGripEnabled(false);
}

void PartStatusBar::setParts(const QVector<int>& widths)
{
    qDeleteAll(m_parts);
    m_parts.clear();
    for (int i = 0; i < widths.size(); ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(objectName() + QStringLiteral("_%1").arg(i));
        if (widths[i] >= 0)
            label->setFixedWidth(widths[i]);
        addWidget(label, widths[i] < 0 ? 1 : 0);
        m_parts.append(label);
    }
}

void PartStatusBar::setStatusText(int part, const QString& text)
{
    if (part >= 0 && part < m_parts.size()) {
        m_parts[part]->setText(text);
        m_parts[part]->setAccessibleName(text);
    }
}

QString PartStatusBar::statusText(int part) const
{
    return part >= 0 && part < m_parts.size() ? m_parts[part]->text() : QString();
}

QLabel* PartStatusBar::part(int index) const { return m_parts.value(index); }

ListView::ListView(QWidget* parent)
    : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    connect(this, &QTreeWidget::currentItemChanged, this,
        [this](QTreeWidgetItem* current) { emit currentRowChanged(current ? indexOfTopLevelItem(current) : -1); });
}

void ListView::setColumns(const QStringList& titles, const QVector<int>& widths)
{
    setColumnCount(int(titles.size()));
    setHeaderLabels(titles);
    for (int i = 0; i < widths.size() && i < titles.size(); ++i)
        setColumnWidth(i, widths[i]);
}

void ListView::clearRows() { clear(); }

int ListView::appendRow()
{
    addTopLevelItem(new QTreeWidgetItem);
    return topLevelItemCount() - 1;
}

void ListView::setListCell(int row, int column, const QString& text)
{
    if (QTreeWidgetItem* item = topLevelItem(row); item && column >= 0 && column < columnCount())
        item->setText(column, text);
}

QString ListView::getListCell(int row, int column) const
{
    const QTreeWidgetItem* item = topLevelItem(row);
    return item && column >= 0 ? item->text(column) : QString();
}

int ListView::selectedRow() const
{
    const QList<QTreeWidgetItem*> items = selectedItems();
    return items.isEmpty() ? -1 : indexOfTopLevelItem(items.first());
}

DatePicker::DatePicker(QWidget* parent)
    : QDateTimeEdit(parent)
{
    setCalendarPopup(true);
    setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    setDateTime(now().toQDateTime());
}

DateTime DatePicker::value() const { return DateTime::fromQDateTime(dateTime()); }

void DatePicker::setValue(DateTime t) { setDateTime(t.toQDateTime()); }
