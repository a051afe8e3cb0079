#pragma once

#include <QString>

#include <functional>

class Background;
class Clock;
class History;
class Messages;
class Printing;
class PrinterOffsets;
class PrinterSetup;
class Session;
struct PageGeometry;

// What the window's handlers need of the desktop. Tests hand in fakes.
struct Services
{
    Messages *messages = nullptr;
    Clock *clock = nullptr;
    Session *session = nullptr;
    Printing *printing = nullptr;
    PrinterSetup *printerSetup = nullptr;
    // The print history; none in runs that keep no history.
    History *history = nullptr;
    // Opens the history once this run is sure to go on (no other instance); none in runs that
    // keep no history.
    std::function<History *()> startHistory;
    // The chosen printer's sheet for the preview, as a query that may run on any thread.
    std::function<std::function<bool(PageGeometry *, QString *)>()> pageQueries;
    // Where print jobs run, so that the window stays responsive.
    Background *background = nullptr;
    std::function<bool()> anotherInstanceRunning;
    // After the warning of a second start: brings the running copy's window to the front.
    std::function<void()> raiseRunningInstance;
    // Where the offset files ini_x1.txt and ini_y1.txt live.
    QString offsetDirectory;
    // The offsets each printer keeps; none: the offset files only.
    PrinterOffsets *printerOffsets = nullptr;
    // The user's settings file (the preview's scan and last paper); empty: the usual place.
    QString settingsPath;
};
