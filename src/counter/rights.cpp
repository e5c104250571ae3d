#include "rights.h"

#include "store/database.h"
#include "store/operatortable.h"

QString ownerActionText(OwnerAction action)
{
    switch (action) {
    case OwnerAction::ChangeRate:
        return QStringLiteral("修改计费单价");
    case OwnerAction::SaveCard:
        return QStringLiteral("保存已有会员卡");
    case OwnerAction::ClearCard:
        return QStringLiteral("会员卡清零");
    case OwnerAction::DeleteCard:
        return QStringLiteral("删除会员卡");
    case OwnerAction::ChangeGoods:
        return QStringLiteral("修改商品目录");
    case OwnerAction::ManageOperators:
        return QStringLiteral("管理操作员");
    case OwnerAction::Restore:
        return QStringLiteral("恢复备份");
    case OwnerAction::ManageMachines:
        return QStringLiteral("机器设置");
    case OwnerAction::ManageBonuses:
        return QStringLiteral("充值赠送");
    case OwnerAction::ManagePlans:
        return QStringLiteral("计费方案");
    case OwnerAction::ManageClients:
        return QStringLiteral("客户机管理");
    }
    return QString();
}

OwnerPermit::OwnerPermit(Database* db, const QString& owner)
    : m_db(owner.isEmpty() ? nullptr : db)
    , m_owner(owner)
    , m_granted(true)
{
    if (m_db)
        m_db->setAuthorisedBy(owner);
}

OwnerPermit::OwnerPermit(OwnerPermit&& other) noexcept
    : m_db(other.m_db)
    , m_owner(std::move(other.m_owner))
    , m_granted(other.m_granted)
{
    other.m_db = nullptr;
    other.m_granted = false;
}

OwnerPermit& OwnerPermit::operator=(OwnerPermit&& other) noexcept
{
    if (this != &other) {
        release();
        m_db = other.m_db;
        m_owner = std::move(other.m_owner);
        m_granted = other.m_granted;
        other.m_db = nullptr;
        other.m_granted = false;
    }
    return *this;
}

OwnerPermit::~OwnerPermit() { release(); }

void OwnerPermit::release()
{
    // Only its own owner is taken back: a later permit may have named another meanwhile.
    if (m_db && m_db->authorisedBy() == m_owner)
        m_db->setAuthorisedBy(QString());
    m_db = nullptr;
}

const Rights& Rights::everyone()
{
    static const Rights rights;
    return rights;
}

void Rights::setOperator(const QString& name, const QString& role)
{
    m_name = name;
    m_owner = name.isEmpty() || role == ownerRole();
    if (m_db)
        m_db->setOperatorName(name);
}

OwnerPermit Rights::permit(OwnerAction action) const
{
    if (m_unknown && m_resolve) {
        // Settling who may act clears the unknown state and with it this very function: a copy
        // keeps it alive until it returns.
        const std::function<void()> resolve = m_resolve;
        resolve();
    }
    if (m_unknown)
        return OwnerPermit();
    if (actsAsOwner())
        return OwnerPermit(m_db, QString());
    const QString owner = m_asker ? m_asker(action) : QString();
    if (owner.isEmpty())
        return OwnerPermit();
    return OwnerPermit(m_db, owner);
}
