#pragma once

#include <QString>
#include <stdexcept>

namespace lab {

// Every failure of the class database, sorted by what the learner or the
// teacher can do about it. message() is Russian and meant to be shown as is;
// detail() keeps the server's own words for the teacher.
class LabError : public std::runtime_error
{
public:
    enum class Kind {
        Settings,       // lab.ini or TARVEL_LAB cannot be used
        Unreachable,    // no server answers where the settings point
        Authentication, // the server did not accept the role or its password
        NoDatabase,     // the server has no such database
        Tls,            // the secure connection was refused either way
        NoSchema,       // the database has no tables of the textbook yet
        SchemaOlder,    // made by an older version: tarvel-lab init upgrades it
        SchemaNewer,    // made by a newer version of the textbook
        ConnectionLost, // the connection broke and could not be made again
        LearnerInUse,   // another seat holds the learner
        Query,          // any other refusal of the server
    };

    LabError(Kind kind, const QString &message, const QString &detail = QString());

    Kind kind() const { return m_kind; }
    QString message() const { return m_message; }
    QString detail() const { return m_detail; }

private:
    Kind m_kind;
    QString m_message;
    QString m_detail;
};

} // namespace lab
