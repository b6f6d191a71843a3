// A system failure in a learner's message is said in Russian, whether it
// comes as an errno or as the English text a Qt file class made of it.

#include "core/SystemError.h"

#include <QRegularExpression>
#include <QTest>

#include <cerrno>
#include <cstring>

class TestSystemError : public QObject
{
    Q_OBJECT
private slots:
    void russianWords_data();
    void russianWords();
};

void TestSystemError::russianWords_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("expected"); // a word the Russian text holds
    QTest::newRow("full disk") << ENOSPC << "нет свободного места";
    QTest::newRow("no rights") << EACCES << "нет прав";
    QTest::newRow("read-only") << EROFS << "только для чтения";
    QTest::newRow("share gone") << ESTALE << "сетевая папка";
    QTest::newRow("input/output") << EIO << "ввода-вывода";
    QTest::newRow("unlisted") << ECHILD << "системная ошибка";
}

void TestSystemError::russianWords()
{
    QFETCH(int, error);
    QFETCH(QString, expected);
    static const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    const QString english = QString::fromLocal8Bit(std::strerror(error));
    // As an errno, bare as Qt writes it, and after words of Qt's own.
    for (const QString &text : {files::systemErrorText(error), files::systemErrorText(english),
                                files::systemErrorText(QStringLiteral("Could not open file: ") + english)}) {
        QVERIFY2(text.contains(expected), qPrintable(text));
        QVERIFY2(!text.contains(latin), qPrintable(text));
    }
}

QTEST_GUILESS_MAIN(TestSystemError)
#include "tst_systemerror.moc"
