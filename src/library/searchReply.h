#pragma once

#include "model/ZorvaneQelt.h"

#include <QJsonDocument>

#include <vector>

// What one search reply holds: the total number of results and this page's Qelts, pending ones left out.
struct SearchReply
{
    int total = 0;
    std::vector<ZorvaneQeltPtr> qelts;
};

SearchReply readSearchReply(const QJsonDocument& reply);
