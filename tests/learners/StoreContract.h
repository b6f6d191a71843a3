#pragma once

// What the learner store contract test needs of a store: one fixture per
// kind of store, listed in storeFactories(). A new store joins the whole
// suite by adding its fixture to that list.

#include "learners/LearnerStore.h"

#include <QString>
#include <QVector>
#include <functional>
#include <memory>

namespace contract {

// One store under test, over records of its own that start with no learner.
class StoreUnderTest
{
public:
    virtual ~StoreUnderTest() = default;

    // The store, open.
    virtual learners::LearnerStore &store() = 0;
    // Ends this store as the program's end would and opens a new one over the
    // same records, as the next start does; store() is the new one. Ids need
    // not survive it: learners are then found by their place in the list.
    virtual void reopen() = 0;

    // Makes every following change fail as a write that cannot reach the
    // records does (false when the fixture has no such fault to offer), and
    // mends it again.
    virtual bool breakWrites() { return false; }
    virtual void mendWrites() {}
};

struct StoreFactory
{
    QString name;
    std::function<std::unique_ptr<StoreUnderTest>()> make;
};

// Every store the suite runs against.
QVector<StoreFactory> storeFactories();

} // namespace contract
