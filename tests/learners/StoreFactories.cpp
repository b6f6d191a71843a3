#include "StoreContract.h"

#include "learners/CourseData.h"
#include "learners/DectStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace contract {

namespace {

// dect.chh in a folder of its own, starting with two lectures and no learner.
class DectFixture final : public StoreUnderTest
{
public:
    DectFixture()
    {
        {
            QFile file(path());
            if (file.open(QIODevice::WriteOnly))
                file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<data><first/><course><lectures>"
                       "<lecture id=\"0\"><description>Содержание</description><a/><b/></lecture>"
                       "<lecture id=\"1\"><description>Введение</description><a/><b/></lecture>"
                           "</lectures></course><users/></data>");
        }
        open();
    }

    learners::LearnerStore &store() override { return *m_store; }

    void reopen() override
    {
        m_store.reset();
        m_data.reset();
        open();
    }

    // A folder in the file's place: the save's rename cannot put the new
    // file there, whoever runs the test.
    bool breakWrites() override
    {
        return QFile::rename(path(), path() + QStringLiteral(".kept")) && QDir().mkdir(path());
    }
    void mendWrites() override
    {
        QDir().rmdir(path());
        QFile::rename(path() + QStringLiteral(".kept"), path());
    }

private:
    QString path() const { return m_dir.filePath(QStringLiteral("dect.chh")); }
    void open()
    {
        m_data = std::make_unique<learners::CourseData>(path());
        m_store = std::make_unique<learners::DectStore>(*m_data);
        m_store->open();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<learners::CourseData> m_data;
    std::unique_ptr<learners::DectStore> m_store;
};

} // namespace

QVector<StoreFactory> storeFactories()
{
    return {
        {QStringLiteral("dect.chh"), [] { return std::make_unique<DectFixture>(); }},
    };
}

} // namespace contract
