#pragma once

#include <QString>

// How long the recognition in progress took, step by step: one record per process, filled by the
// create requests (sent, received, ids, status, server times), the recognition upload (processed)
// and the Qelt view (rendered), which then reports and resets it. GUI thread only.
//
// Stamps are microseconds of a monotonic clock (CreateQeltTiming::now), so the waits for the service
// count; differences between stamps are what gets reported.
struct CreateQeltTiming
{
    QString requestId; // the reply's "zorvane-request-id" header
    QString qeltId;
    int statusCode = -1; // HTTP status of the last create reply
    QString inputType;   // "crop", "strokes", "text_latex" or "text_markdown"
    qint64 sentStamp = -1;
    qint64 receivedStamp = -1;
    qint64 processedStamp = -1;
    qint64 renderedStamp = -1;
    int serverReadBodyMs = -1; // "time_ms"."read_request_body"
    int serverOcrMs = -1;      // "time_ms"."ocr_api_response"

    // The process's record.
    static CreateQeltTiming& instance();
    // Microseconds of the monotonic clock that every stamp takes.
    static qint64 now();

    void reset() { *this = CreateQeltTiming(); }
};
