#pragma once

// A course laid out in a temporary folder that the program runs in: the
// working directory is moved there and put back, and the message boxes are
// caught instead of shown. Everything is undone when the folder goes, so a
// failed test leaves no hook or working directory behind for the next one.

#include "common/TestSupport.h"
#include "ui/Dialogs.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace testsupport {

class CourseFolder
{
public:
    CourseFolder() = default;
    CourseFolder(const CourseFolder &) = delete;
    CourseFolder &operator=(const CourseFolder &) = delete;

    ~CourseFolder()
    {
        if (m_hooked) {
            ui::setMessageHook({});
            ui::setQuestionHook({});
            ui::setErrorHook({});
        }
        if (!m_oldDir.isEmpty())
            QDir::setCurrent(m_oldDir);
    }

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // Copies a folder's contents into the course, or into a sub-folder of it.
    bool copy(const QString &from, const QString &sub = QString()) const
    {
        return isValid() && copyTree(from, sub.isEmpty() ? path() : filePath(sub));
    }

    // Puts a fresh, writable copy of one file into the course.
    bool copyFile(const QString &from, const QString &name) const
    {
        const QString target = filePath(name);
        QFile::remove(target);
        return QFile::copy(from, target)
               && QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    }

    // Makes the course the working directory until the folder goes.
    bool enter()
    {
        if (!isValid())
            return false;
        if (m_oldDir.isEmpty())
            m_oldDir = QDir::currentPath();
        return QDir::setCurrent(path());
    }

    // Catches the program's messages, questions and error boxes; questions
    // are answered with `answer`.
    void catchMessages()
    {
        clearCaught();
        ui::setMessageHook([this](const QString &text) { messages << text; });
        ui::setQuestionHook([this](const QString &text) {
            questions << text;
            return answer;
        });
        ui::setErrorHook([this](const QString &text) { errors << text; });
        m_hooked = true;
    }

    void clearCaught()
    {
        messages.clear();
        questions.clear();
        errors.clear();
        answer = true;
    }

    QStringList messages;
    QStringList questions;
    QStringList errors;
    bool answer = true;

private:
    QTemporaryDir m_dir;
    QString m_oldDir;
    bool m_hooked = false;
};

} // namespace testsupport
