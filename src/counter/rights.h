#pragma once

#include <QString>

#include <functional>

class Database;

// What only an owner may do once operators are defined. A cashier may still do it when an
// owner allows that one action with the owner's password.
enum class OwnerAction { ChangeRate, SaveCard, ClearCard, DeleteCard, ChangeGoods, ManageOperators, Restore, ManageMachines, ManageBonuses, ManagePlans, ManageClients };

// The action as the ledger's 授权 row and the authorisation window name it.
QString ownerActionText(OwnerAction action);

// Held while an owner-only action runs: the ledger rows written meanwhile name the owner who
// allowed it beside the operator.
class OwnerPermit {
public:
    OwnerPermit() = default; // refused
    OwnerPermit(Database* db, const QString& owner);
    OwnerPermit(OwnerPermit&& other) noexcept;
    OwnerPermit& operator=(OwnerPermit&& other) noexcept;
    OwnerPermit(const OwnerPermit&) = delete;
    OwnerPermit& operator=(const OwnerPermit&) = delete;
    ~OwnerPermit();

    explicit operator bool() const { return m_granted; }
    QString owner() const { return m_owner; }

private:
    void release();

    Database* m_db = nullptr;
    QString m_owner; // empty when no asking was needed
    bool m_granted = false;
};

// Who works the counter and what they may do. With no operator defined everybody may do
// everything, as the program always allowed.
class Rights {
public:
    // Shows the owner's authorisation for the action; the owner who gave it, or the empty text.
    using OwnerAsker = std::function<QString(OwnerAction)>;

    explicit Rights(Database* db = nullptr) : m_db(db) { }
    // The one without operators, for windows opened without the console.
    static const Rights& everyone();

    // The operator now at the counter (the ledger names them too); the empty name when no
    // operator is defined.
    void setOperator(const QString& name, const QString& role);
    QString operatorName() const { return m_name; }
    bool operatorsDefined() const { return !m_name.isEmpty(); }
    // Whether owner-only actions need no asking.
    bool actsAsOwner() const { return !m_unknown && (m_name.isEmpty() || m_owner); }

    // The operators could not be read (the store was out at start): nobody acts as owner until
    // `resolve` has found out who may; it runs before each owner-only action meanwhile.
    void setUnknown(bool unknown, std::function<void()> resolve = {})
    {
        m_unknown = unknown;
        m_resolve = std::move(resolve);
    }
    bool isUnknown() const { return m_unknown; }

    void setOwnerAsker(OwnerAsker asker) { m_asker = std::move(asker); }
    // Allowed at once to an owner, or after asking an owner; refused when nobody allows it.
    OwnerPermit permit(OwnerAction action) const;

private:
    Database* m_db;
    QString m_name;
    bool m_owner = true;
    bool m_unknown = false;
    std::function<void()> m_resolve;
    OwnerAsker m_asker;
};
