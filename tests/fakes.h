#pragma once

// Stand-ins for the desktop, so every handler runs offscreen and its effects can be checked.

#include "platform/clock.h"
#include "platform/messages.h"
#include "platform/services.h"
#include "platform/session.h"

#include <QStringList>

class FakeMessages : public Messages
{
public:
    struct Shown
    {
        QString kind; // "warning", "critical" or "question"
        QString title;
        QString text;
    };

    void warning(const QString &title, const QString &text) override
    {
        shown.append({QStringLiteral("warning"), title, text});
    }
    void critical(const QString &title, const QString &text) override
    {
        shown.append({QStringLiteral("critical"), title, text});
    }
    bool askYesNo(const QString &title, const QString &text) override
    {
        shown.append({QStringLiteral("question"), title, text});
        return answerYes;
    }

    QList<Shown> shown;
    bool answerYes = false;
};

class FakeClock : public Clock
{
public:
    QDate today() const override { return date; }
    QDate date{2026, 12, 5};
};

class FakeSession : public Session
{
public:
    void quit() override { ++quitCalls; }
    int quitCalls = 0;
};

// The fakes of one window, wired into its services.
struct FakeDesktop
{
    FakeMessages messages;
    FakeClock clock;
    FakeSession session;
    bool anotherInstance = false;

    Services services(const QString &offsetDirectory)
    {
        Services s;
        s.messages = &messages;
        s.clock = &clock;
        s.session = &session;
        s.anotherInstanceRunning = [this] { return anotherInstance; };
        s.offsetDirectory = offsetDirectory;
        return s;
    }
};
