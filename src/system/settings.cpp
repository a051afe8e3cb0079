#include "system/settings.h"

std::unique_ptr<QSettings> openSettings(const QString &path)
{
    if (path.isEmpty())
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           QStringLiteral("sorafu"), QStringLiteral("sorafu"));
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}
