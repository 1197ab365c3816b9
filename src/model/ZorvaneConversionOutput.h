#pragma once

#include <QByteArray>

// The bytes of one downloaded conversion output (Markdown, DOCX, zip or HTML), shared without a copy
// with the reply body they came from.
class ZorvaneConversionOutput
{
public:
    // False for an empty download: an empty reply body reads as a null array.
    bool isValid() const { return !data.isNull(); }

    QByteArray data;
};
