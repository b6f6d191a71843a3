#pragma once

// The texts the statistics view and the report share: how a stored share of
// right answers is shown, and the report's lines.

#include <QLocale>
#include <QString>
#include <QStringList>
#include <functional>
#include <stdexcept>

namespace learners {
class LearnerStore;
class LearnerId;
}

namespace progress {

// A stored share of right answers that is not a number.
class NotANumberError : public std::runtime_error
{
public:
    explicit NotANumberError(const QString &text);
};

// Reads a number as the learner's regional settings write it: optional
// sign, digits with the locale's decimal separator (or a point or a comma,
// as other settings store it), optional exponent;
// blanks around it are allowed. False for anything else, and for a value
// single precision cannot hold.
bool parseSingle(const QString &text, float *value, const QLocale &locale = QLocale());

// The general form: at most 15 significant digits, no trailing zeros, a
// whole number without a separator, the exponent form ("1E20", "1E-7")
// only for very large or small values; the locale's decimal separator.
QString formatGeneral(double value, const QLocale &locale = QLocale());

// A stored `right` as shown: read, held in single precision and written
// back, so 85 stays 85 and 0.7 becomes 0.699999988079071. Throws
// NotANumberError when the text is not a number.
QString percentText(const QString &stored, const QLocale &locale = QLocale());

// The label a learner field is shown with ("name" gives "Имя: "), in the
// statistics view and in the report alike.
QString fieldLabel(const char *field);

// What the statistics view shows; the report file keeps the stored texts.

// A stored time stamp ("Thu Dec 10 20:27:09 2026" and a line feed) as a
// Russian reader writes it: "10 декабря 2026 г., 20:27:09". A text in any
// other form is shown as stored, without its line feed.
QString russianDate(const QString &stored);
// A stored test number as a title: "0" is "Общий тест", a lecture's position
// "Лекция 3. <its description>" (titles[i]: position i's description; an
// unknown one gives "Лекция 3").
QString testTitle(const QString &number, const QStringList &titles);

// The separator line of the report: 22 tildes.
QString reportSeparator();
// The report's first line, the one a decoded report starts with.
QString reportTitle();

using LineSink = std::function<void(const QString &line)>;

// Gives the report text of the learner, line by line, as
// it reads the record: the title, name, surname, group, mail, registration
// time, a separator, "Прохождение тестов", a separator, then four lines per
// test result, oldest first. A test result is read whole before its lines
// are given. Throws (CourseDataError, NotANumberError) at the first value that
// cannot be read; the lines given before it stand.
void reportText(const learners::LearnerStore &store, learners::LearnerId learner,
                const LineSink &sink);

} // namespace progress
