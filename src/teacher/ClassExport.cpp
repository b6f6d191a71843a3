#include "teacher/ClassExport.h"

#include "teacher/ClassTable.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace teacher {

QString csvField(const QString &text)
{
    QString s = text;
    // A learner types the name fields; "=..." or "+..." would run as a
    // formula in the teacher's spreadsheet.
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    if (!s.isEmpty() && formulaStarts.contains(s.front()))
        s.prepend(u'\'');
    if (s.contains(u';') || s.contains(u'"') || s.contains(u'\n') || s.contains(u'\r') ||
        s.startsWith(u' ') || s.endsWith(u' ')) {
        s.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        s = u'"' + s + u'"';
    }
    return s;
}

namespace {

QString csvPercent(double percent)
{
    // A decimal comma: the spreadsheet reads the column as numbers.
    const double rounded = std::round(percent * 100) / 100;
    return QString::number(rounded, 'f', 2)
        .remove(QRegularExpression(QStringLiteral("\\.?0+$")))
        .replace(u'.', u',');
}

QString csvDate(const QDateTime &date, const QString &asWritten)
{
    return date.isValid() ? date.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) : asWritten;
}

} // namespace

QByteArray classCsv(const ClassTable &table, const QList<int> &rows)
{
    QStringList lines;
    lines << QStringLiteral(
        "Фамилия;Имя;Группа;Почтовый ящик;Тест;Номер теста;Дата;Правильность, %;Файл;Ошибка");
    for (int row : rows) {
        const ClassTable::Row &w = table.rows().at(row);
        const Report &r = table.reports().at(w.report);
        QStringList f;
        if (r.hasLearner)
            f << r.surname << r.name << r.group << r.mail;
        else
            f << QString() << QString() << QString() << QString();
        if (w.kind == ClassTable::Row::Result) {
            const TestResult &t = r.results.at(w.result);
            f << table.topics().title(t.topic) << t.topic << csvDate(t.date, t.dateText)
              << csvPercent(t.percent);
        } else {
            f << QString() << QString() << QString() << QString();
        }
        f << QFileInfo(r.path).fileName();
        f << (w.kind == ClassTable::Row::Problem ? r.error : QString());
        for (QString &s : f)
            s = csvField(s);
        lines << f.join(u';');
    }
    return QByteArray("\xEF\xBB\xBF") + lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}

QByteArray classCsv(const ClassTable &table)
{
    QList<int> rows(table.rows().size());
    std::iota(rows.begin(), rows.end(), 0);
    return classCsv(table, rows);
}

QString learnerSheetHtml(const ClassTable &table, const QString &learnerKey)
{
    const QVector<int> reports = table.learnerReports(learnerKey);
    if (reports.isEmpty())
        return QString();
    // The fields are the same in each of the learner's files; the sound one
    // that came first reads them best.
    const Report *who = &table.reports().at(reports.first());
    QStringList files;
    for (int i : reports) {
        const Report &r = table.reports().at(i);
        if (!who->isSound() && r.isSound())
            who = &r;
        files << QFileInfo(r.path).fileName();
    }
    // Each attempt once, however many of the learner's reports hold it.
    QVector<const TestResult *> results;
    for (int row : table.learnerRows(learnerKey)) {
        const ClassTable::Row &w = table.rows().at(row);
        results << &table.reports().at(w.report).results.at(w.result);
    }

    const auto esc = [](const QString &s) {
        return s.toHtmlEscaped().replace(u'\n', QStringLiteral("<br>"));
    };
    QString html;
    html += QStringLiteral("<html><body style=\"font-family:'Liberation Sans'; color:#1E2733\">");
    html += QStringLiteral("<h2 style=\"color:#1F3B63\">%1 %2</h2>")
                .arg(esc(who->surname), esc(who->name));
    html += QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\">");
    const auto field = [&](const QString &label, const QString &value) {
        html += QStringLiteral("<tr><td style=\"color:#5B6472\">%1</td><td>%2</td></tr>")
                    .arg(label, esc(value));
    };
    field(QStringLiteral("Группа:"), who->group);
    field(QStringLiteral("Почтовый ящик:"), who->mail);
    field(QStringLiteral("Дата регистрации:"),
          ClassTable::dateShown(who->registered, who->registeredText));
    field(QStringLiteral("Отчёты:"), files.join(QStringLiteral(", ")));
    html += QStringLiteral("</table>");

    if (results.isEmpty()) {
        html += QStringLiteral("<p>Пройденных тестов нет.</p>");
    } else {
        double sum = 0;
        html += QStringLiteral(
            "<h3 style=\"color:#1F3B63\">Прохождение тестов</h3>"
            "<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\" "
            "style=\"border-color:#DDD6C8; border-collapse:collapse\" width=\"100%\">"
            "<tr style=\"background:#E7EDF6\"><th align=\"left\">Тест и дата</th>"
            "<th align=\"right\" style=\"white-space:nowrap\">Правильность</th></tr>");
        // Two columns, the date under the test: the sheet stays readable in
        // the window's narrow panel as well as on paper.
        for (const TestResult *t : std::as_const(results)) {
            sum += t->percent;
            html += QStringLiteral("<tr><td>%1<br><span style=\"color:#5B6472\">%2</span></td>"
                                   "<td align=\"right\" style=\"white-space:nowrap\">%3</td></tr>")
                        .arg(esc(table.topics().title(t->topic)),
                             esc(ClassTable::dateShown(t->date, t->dateText)),
                             esc(ClassTable::percentShown(t->percent)));
        }
        html += QStringLiteral("</table>");
        html += QStringLiteral("<p>Тестов пройдено: %1; средняя правильность: %2.</p>")
                    .arg(results.size())
                    .arg(ClassTable::percentShown(sum / double(results.size())));
    }
    html += QStringLiteral("</body></html>");
    return html;
}

} // namespace teacher
