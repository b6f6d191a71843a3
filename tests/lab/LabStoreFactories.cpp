// The learner store contract run against the class database: every case of
// tests/learners/tst_learnerstore.cpp, on a fresh database of the test
// server, as a seat's role that may read and write the rows but not change
// the schema.

#include "../learners/StoreContract.h"
#include "LabServer.h"
#include "lab/LabStore.h"

namespace contract {

namespace {

class LabFixture final : public StoreUnderTest
{
public:
    LabFixture()
        : m_admin(labtest::freshDatabase())
    {
        m_admin.open();
        m_admin.migrate();
        m_role = m_admin.settings().database + QStringLiteral("_seat");
        m_admin.exec(QStringLiteral("CREATE ROLE %1 LOGIN").arg(m_role));
        grant();
        m_seat = m_admin.settings();
        m_seat.user = m_role;
        open();
    }

    ~LabFixture() override
    {
        m_store.reset();
        m_admin.exec(QStringLiteral("DROP OWNED BY %1").arg(m_role));
        m_admin.exec(QStringLiteral("DROP ROLE %1").arg(m_role));
    }

    learners::LearnerStore &store() override { return *m_store; }

    void reopen() override
    {
        m_store.reset();
        open();
    }

    // The role loses its right to write, as when the teacher's server
    // turns the seat away.
    bool breakWrites() override
    {
        m_admin.exec(QStringLiteral("REVOKE INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public FROM %1")
                         .arg(m_role));
        return true;
    }
    void mendWrites() override { grant(); }

private:
    void grant()
    {
        m_admin.exec(QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO %1")
                         .arg(m_role));
        m_admin.exec(QStringLiteral("GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO %1").arg(m_role));
    }
    void open()
    {
        m_store = std::make_unique<lab::LabStore>(m_seat);
        try {
            m_store->open();
        } catch (const learners::StoreError &e) {
            qFatal("the class database does not open: %s", qPrintable(e.message()));
        }
    }

    lab::LabDatabase m_admin;
    QString m_role;
    lab::ConnectionSettings m_seat;
    std::unique_ptr<lab::LabStore> m_store;
};

} // namespace

QVector<StoreFactory> storeFactories()
{
    return {
        {QStringLiteral("PostgreSQL"), [] { return std::make_unique<LabFixture>(); }},
    };
}

} // namespace contract
