#pragma once

#include "lab/LabSettings.h"
#include "teacher/ReportFile.h"

#include <QString>
#include <QVector>
#include <memory>

namespace lab {
class LabDatabase;
}

// The class as the computer lab's database holds it, read for the teacher:
// each learner as a report would carry them (so the same table, chart and
// sheet show it), and every answered question for the per-question view.

namespace teacher {

// One question of one test as the learners of one group answered it.
struct QuestionStat
{
    QString group;
    QString topic;   // the test: "0" for the general test, else a lecture's position
    QString lecture; // the bank's keys of the question
    QString number;
    QString question;
    int answered = 0; // answers given, every attempt counted
    int right = 0;
    int learners = 0; // learners who answered it at least once
};

struct ClassSnapshot
{
    QVector<Report> reports; // one per learner
    QVector<QuestionStat> questions;
};

class ClassDatabase
{
public:
    explicit ClassDatabase(const lab::ConnectionSettings &settings);
    ~ClassDatabase();
    ClassDatabase(const ClassDatabase &) = delete;
    ClassDatabase &operator=(const ClassDatabase &) = delete;

    const lab::ConnectionSettings &settings() const { return m_settings; }
    // "server/database", and the class when there is one.
    static QString label(const lab::ConnectionSettings &settings);

    // Connects and checks the schema (only read, so an older or newer one is
    // refused too); throws lab::LabError with a Russian message.
    void open();
    bool isOpen() const;
    void close();

    // Changes whenever a learner or a result is added, changed or deleted:
    // cheap, so that it can be asked every few seconds.
    QString changeStamp();
    ClassSnapshot read();

private:
    lab::ConnectionSettings m_settings;
    std::unique_ptr<lab::LabDatabase> m_db;
};

} // namespace teacher
