#pragma once

#include <QString>
#include <QStringList>

// What a queue says about itself, for the end of a message: its printer-state-reasons keywords
// (media-jam-error) and the common messages of queues and drivers ("Paper jam") in our words;
// those we have no words for as a detail. Empty when neither says anything.
QString printerStateText(const QStringList &reasons, const QString &message);
