#include "lab/LabSettings.h"

#include "lab/LabError.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QUrl>
#include <QUrlQuery>

namespace lab {

namespace {

// The database a lab file means when it names none.
const QString kDefaultDatabase = QStringLiteral("tarvel");

[[noreturn]] void fail(const QString &source, const QString &what)
{
    throw LabError(LabError::Kind::Settings,
                   QStringLiteral("Настройки компьютерного класса (%1) не годятся: %2.").arg(source, what));
}

int parsePort(const QString &source, const QString &text)
{
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        fail(source, QStringLiteral("порт «%1» — не число от 1 до 65535").arg(text));
    return port;
}

void assign(ConnectionSettings &s, const QString &key, const QString &value)
{
    if (key == u"host")
        s.host = value;
    else if (key == u"port")
        s.port = parsePort(s.source, value);
    else if (key == u"dbname")
        s.database = value;
    else if (key == u"user")
        s.user = value;
    else if (key == u"password")
        s.password = value;
    else if (value.contains(u';'))
        // The SQL driver splits its options at semicolons.
        fail(s.source, QStringLiteral("в значении «%1» есть точка с запятой").arg(key));
    else
        s.options.insert(key, value);
}

ConnectionSettings parseUri(const QString &text, const QString &source)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || (url.host().isEmpty() && url.path().isEmpty()))
        fail(source, QStringLiteral("адрес «%1» не читается").arg(text));
    ConnectionSettings s;
    s.source = source;
    s.host = url.host();
    if (url.port() > 0)
        s.port = url.port();
    s.user = url.userName();
    s.password = url.password();
    s.database = url.path().mid(1);
    const QUrlQuery query(url);
    for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded))
        assign(s, key, value);
    return s;
}

} // namespace

QString ConnectionSettings::serverLabel() const
{
    QString label = host.isEmpty() ? QStringLiteral("localhost") : host;
    if (host.isEmpty() && options.contains(QStringLiteral("service")))
        label = options.value(QStringLiteral("service"));
    if (port > 0 && port != 5432)
        label += u':' + QString::number(port);
    return label;
}

QString ConnectionSettings::describe() const
{
    QStringList parts;
    const auto add = [&parts](const QString &key, const QString &value) {
        if (value.isEmpty())
            return;
        QString quoted = value;
        quoted.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
        parts << key + QStringLiteral("='") + quoted + u'\'';
    };
    add(QStringLiteral("host"), host);
    add(QStringLiteral("port"), port > 0 ? QString::number(port) : QString());
    add(QStringLiteral("dbname"), database);
    add(QStringLiteral("user"), user);
    for (auto it = options.cbegin(); it != options.cend(); ++it)
        add(it.key(), it.value());
    return parts.join(u' ');
}

ConnectionSettings LabSettings::parseConnectionString(const QString &conninfo)
{
    const QString source = QString::fromLatin1(kEnvVariable);
    const QString text = conninfo.trimmed();
    if (text.startsWith(u"postgresql://") || text.startsWith(u"postgres://"))
        return parseUri(text, source);

    // libpq's keyword = value form: values may be single-quoted, with
    // backslash escapes inside quotes.
    ConnectionSettings s;
    s.source = source;
    qsizetype i = 0;
    const qsizetype n = text.size();
    const auto skipSpace = [&] {
        while (i < n && text[i].isSpace())
            ++i;
    };
    while (true) {
        skipSpace();
        if (i >= n)
            break;
        QString key;
        while (i < n && !text[i].isSpace() && text[i] != u'=')
            key += text[i++];
        skipSpace();
        if (key.isEmpty() || i >= n || text[i] != u'=')
            fail(source, QStringLiteral("после «%1» нет знака «=»").arg(key.isEmpty() ? text.mid(i, 10) : key));
        ++i;
        skipSpace();
        QString value;
        if (i < n && text[i] == u'\'') {
            ++i;
            bool closed = false;
            while (i < n) {
                if (text[i] == u'\\' && i + 1 < n) {
                    value += text[i + 1];
                    i += 2;
                } else if (text[i] == u'\'') {
                    ++i;
                    closed = true;
                    break;
                } else {
                    value += text[i++];
                }
            }
            if (!closed)
                fail(source, QStringLiteral("у значения «%1» нет закрывающей кавычки").arg(key));
        } else {
            while (i < n && !text[i].isSpace()) {
                if (text[i] == u'\\' && i + 1 < n)
                    ++i;
                value += text[i++];
            }
        }
        assign(s, key, value);
    }
    if (s.host.isEmpty() && s.database.isEmpty() && s.options.isEmpty())
        fail(source, QStringLiteral("строка подключения пуста"));
    return s;
}

ConnectionSettings LabSettings::readFile(const QString &path)
{
    const QString source = QFileInfo(path).fileName();
    if (!QFileInfo(path).isReadable())
        fail(source, QStringLiteral("файл не читается"));
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        fail(source, QStringLiteral("файл не читается как файл настроек"));
    // Keys may stand in [lab] or before any section.
    const auto value = [&ini](const QString &key) {
        const QString inSection = QStringLiteral("lab/") + key;
        return (ini.contains(inSection) ? ini.value(inSection) : ini.value(key)).toString().trimmed();
    };
    const auto has = [&ini](const QString &key) {
        return ini.contains(QStringLiteral("lab/") + key) || ini.contains(key);
    };
    if (has(QStringLiteral("password")))
        fail(source, QStringLiteral("пароль в папке курса виден всем; уберите строку password "
                                    "и запишите пароль в файл ~/.pgpass компьютера"));

    ConnectionSettings s;
    s.source = source;
    s.host = value(QStringLiteral("server"));
    if (has(QStringLiteral("port")))
        s.port = parsePort(source, value(QStringLiteral("port")));
    s.database = value(QStringLiteral("database"));
    s.user = value(QStringLiteral("user"));
    s.className = value(QStringLiteral("class"));
    for (const QString &key : {QStringLiteral("sslmode"), QStringLiteral("service"),
                               QStringLiteral("connect_timeout")}) {
        if (has(key))
            assign(s, key, value(key));
    }
    if (s.database.isEmpty() && !s.options.contains(QStringLiteral("service")))
        s.database = kDefaultDatabase;
    return s;
}

std::optional<ConnectionSettings> LabSettings::find(const QString &courseDir,
                                                    const QProcessEnvironment &env)
{
    std::optional<ConnectionSettings> found;
    const QString conninfo = env.value(QString::fromLatin1(kEnvVariable)).trimmed();
    if (!conninfo.isEmpty()) {
        found = parseConnectionString(conninfo);
    } else {
        const QString path = QDir(courseDir).filePath(fileName());
        if (!QFileInfo::exists(path))
            return std::nullopt;
        found = readFile(path);
    }
    const QString className = env.value(QString::fromLatin1(kClassVariable)).trimmed();
    if (!className.isEmpty())
        found->className = className;
    return found;
}

} // namespace lab
