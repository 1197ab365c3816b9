#pragma once

#include <QJsonArray>
#include <QString>

// What the fake services do when called, from the command line; every call is reported on stdout as
// one JSON line {"service", "method", "args"} so that the test can check what the client sent.
struct Script
{
    QString image; // PNG file delivered as "the desktop"

    bool gnomeError = false;
    QString gnomeUsedName; // written and reported instead of the requested name
    int gnomeDelayMs = 0;

    int kwinChunk = 65536;
    int kwinPauseMs = 0;
    bool kwinEmpty = false;   // close the pipe without writing
    bool kwinGarbage = false; // write bytes that are no image

    uint portalResponse = 0;
    QString portalFile; // the file the portal "saves"; its URI goes into the response
    bool portalNoUri = false;
    bool portalError = false;
    bool portalSilent = false;      // never answer the request
    bool portalEarly = false;       // Response before the method's reply, as a fast portal may
    bool portalIgnoreToken = false; // a request path of its own, as older portals use
    bool portalTwice = false;       // the Response signal sent a second time
    int portalDelayMs = 0;
};

void record(const QString& service, const QString& method, const QJsonArray& args);
