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

// The largest total taken from a reply: the pager's arithmetic stays within an int.
constexpr int kMaxSearchResults = 1000000000;

SearchReply readSearchReply(const QJsonDocument& reply);
