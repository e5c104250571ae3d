#include "clientwindow.h"

#include "clienthub.h"
#include "clientservice.h"
#include "common/seams.h"
#include "ui_clientwindow.h"
#include "widgets/windows.h"

#include <QIntValidator>

ClientWindow::ClientWindow(ClientService& service, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::ClientWindow>())
    , m_service(service)
{
    m_ui->setupUi(this);
    layOutDialog(this, parent);
    m_ui->列表框_客户机->setHeaderLabels(
        { QStringLiteral("机号"), QStringLiteral("状态"), QStringLiteral("指纹"), QStringLiteral("地址") });
    m_ui->列表框_客户机->setColumnWidth(0, 50);
    m_ui->列表框_客户机->setColumnWidth(1, 60);
    m_ui->列表框_客户机->setColumnWidth(2, 100);
    m_ui->编辑框_端口->setValidator(new QIntValidator(1, 65535, this));
    m_ui->选择框_启用->setChecked(service.isEnabled());
    m_ui->编辑框_端口->setText(QString::number(service.port()));
    connect(m_ui->按钮_允许, &QPushButton::clicked, this, &ClientWindow::allow);
    connect(m_ui->按钮_移除, &QPushButton::clicked, this, &ClientWindow::remove);
    connect(m_ui->按钮_应用, &QPushButton::clicked, this, &ClientWindow::applySetting);
    watchHub();
    refresh();
}

ClientWindow::~ClientWindow() = default;

void ClientWindow::watchHub()
{
    if (ClientHub* hub = m_service.hub())
        connect(hub, &ClientHub::changed, this, &ClientWindow::refresh, Qt::UniqueConnection);
}

void ClientWindow::refresh()
{
    const QPair<int, QByteArray> keep { picked(), pickedKey() };
    QTreeWidget* list = m_ui->列表框_客户机;
    list->clear();
    ClientHub* hub = m_service.hub();
    m_ui->标签_本机指纹->setText(hub ? QStringLiteral("本机指纹：") + hub->ownFingerprint()
                                     : QStringLiteral("客户机管理未启用"));
    if (!hub)
        return;
    for (const ClientEntry& e : hub->entries()) {
        auto* item = new QTreeWidgetItem({ QString::number(e.machineNo), e.status, e.fingerprint, e.address });
        item->setData(0, Qt::UserRole, e.key);
        list->addTopLevelItem(item);
        if (e.machineNo == keep.first && e.key == keep.second)
            list->setCurrentItem(item);
    }
}

int ClientWindow::picked() const
{
    const QTreeWidgetItem* item = m_ui->列表框_客户机->currentItem();
    return item ? item->text(0).toInt() : 0;
}

QByteArray ClientWindow::pickedKey() const
{
    const QTreeWidgetItem* item = m_ui->列表框_客户机->currentItem();
    return item ? item->data(0, Qt::UserRole).toByteArray() : QByteArray();
}

void ClientWindow::allow()
{
    QString error;
    if (!m_service.hub() || picked() == 0 || !m_service.hub()->allow(picked(), pickedKey(), &error))
        messageBox(error.isEmpty() ? QStringLiteral("请先选择一台等待允许的客户机！") : error, MbOk | MbExclamation,
            windowTitle());
    refresh();
}

void ClientWindow::remove()
{
    QString error;
    if (!m_service.hub() || picked() == 0) {
        messageBox(QStringLiteral("请先选择一台客户机！"), MbOk | MbExclamation, windowTitle());
        return;
    }
    if (messageBox(QStringLiteral("移除%1号机的客户机后，它要重新允许才能使用。是否移除？").arg(picked()),
            MbYesNo | MbQuestion, windowTitle())
        != AnswerYes)
        return;
    if (!m_service.hub()->remove(picked(), pickedKey(), &error))
        showStoreError(error);
    refresh();
}

void ClientWindow::applySetting()
{
    bool ok = false;
    const int port = m_ui->编辑框_端口->text().toInt(&ok);
    if (!ok || port < 1 || port > 65535) {
        messageBox(QStringLiteral("端口必须在1到65535之间！"), MbOk | MbExclamation, windowTitle());
        return;
    }
    const QString why = m_service.configure(m_ui->选择框_启用->isChecked(), quint16(port));
    if (!why.isEmpty())
        messageBox(why, MbOk | MbExclamation, windowTitle());
    watchHub();
    refresh();
}
