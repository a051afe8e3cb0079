#include "office/officesettings.h"

#include "office/officeserver.h"
#include "office/officestore.h"
#include "system/settings.h"

#include <QObject>
#include <QSysInfo>

namespace {

const QString kServer = QStringLiteral("history/server");

QString userName()
{
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? qEnvironmentVariable("LOGNAME") : user;
}

} // namespace

QString officeConnection(const QString &settingsPath)
{
    return openSettings(settingsPath)->value(kServer).toString().trimmed();
}

void setOfficeConnection(const QString &settingsPath, const QString &connection)
{
    openSettings(settingsPath)->setValue(kServer, connection.trimmed());
}

History::StoreMaker officeStores(const QString &connection)
{
    if (connection.isEmpty())
        return {};
    const QString pc = QSysInfo::machineHostName();
    const QString user = userName();
    return [connection, pc, user](const QString &path) {
        return std::unique_ptr<LetterStore>(
            std::make_unique<OfficeStore>(connection, path, pc, user));
    };
}

QString tryOfficeConnection(const QString &connection, bool *usable)
{
    OfficeServer server(connection);
    const OfficeServer::State state = server.connect();
    *usable = state == OfficeServer::State::Connected;
    switch (state) {
    case OfficeServer::State::Connected:
        return QObject::tr("共有の印刷履歴に接続できました。"
                           "保存してソラフを起動し直すと、共有の印刷履歴を使います。");
    case OfficeServer::State::Denied:
        return QObject::tr("サーバーには接続できましたが、共有の印刷履歴を使う権限がありません。"
                           "サーバーの管理者に権限を確かめてもらってください。");
    case OfficeServer::State::Newer:
        return QObject::tr("共有の印刷履歴は新しい版のソラフで作られたため、使えません。"
                           "新しい版のソラフをお使いください。");
    case OfficeServer::State::Unreachable:
        break;
    }
    return QObject::tr("共有の印刷履歴に接続できません。サーバー名、データベース名、"
                       "ネットワークを確かめてください。\n（サーバーの応答：%1）")
        .arg(server.lastError().trimmed());
}
