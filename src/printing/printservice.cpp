#include "printing/printservice.h"

#include "system/modules.h"

namespace {

const QString kModule = QStringLiteral("sorafu_printservice");

using NewSpooler = Spooler *(*)();
using FindMediaSize = bool (*)(const QByteArray &media, MediaSize *size);

} // namespace

std::optional<MediaSize> mediaSize(const QString &media)
{
    static const auto find =
        reinterpret_cast<FindMediaSize>(moduleFunction(kModule, "sorafu_mediaSize"));
    MediaSize size;
    if (!find || !find(media.toUtf8(), &size))
        return std::nullopt;
    return size;
}

LoadedSpooler::LoadedSpooler() = default;

LoadedSpooler::~LoadedSpooler() = default;

Spooler *LoadedSpooler::loaded(QString *error)
{
    std::call_once(m_loading, [this] {
        if (const auto make =
                reinterpret_cast<NewSpooler>(moduleFunction(kModule, "sorafu_newSpooler")))
            m_spooler.reset(make());
    });
    if (!m_spooler)
        *error = tr("印刷サービス（CUPS）を使うための部品（%1）を読み込めません。"
                    "ソラフを入れ直してください。")
                     .arg(kModule);
    return m_spooler.get();
}

bool LoadedSpooler::destinations(QStringList *names, QString *defaultName,
                                 QMap<QString, QString> *descriptions, QString *error)
{
    Spooler *spooler = loaded(error);
    return spooler && spooler->destinations(names, defaultName, descriptions, error);
}

bool LoadedSpooler::papers(const QString &destination, PrinterPapers *papers, QString *error)
{
    Spooler *spooler = loaded(error);
    return spooler && spooler->papers(destination, papers, error);
}

QString LoadedSpooler::check(const QString &destination, QueueFacts *facts)
{
    QString error;
    Spooler *spooler = loaded(&error);
    return spooler ? spooler->check(destination, facts) : error;
}

QString LoadedSpooler::submit(const QString &destination, const QString &title,
                              const QString &pdfFile, const JobOptions &options, int *jobId)
{
    QString error;
    *jobId = 0;
    Spooler *spooler = loaded(&error);
    return spooler ? spooler->submit(destination, title, pdfFile, options, jobId) : error;
}

QString LoadedSpooler::deviceUri(const QString &destination)
{
    QString error;
    Spooler *spooler = loaded(&error);
    return spooler ? spooler->deviceUri(destination) : QString();
}
