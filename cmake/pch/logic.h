// Headers nearly all of the code parses, precompiled once per build and shared by every target whose sources
// see Qt Core (see zq_precompile_headers in ZqHelpers.cmake). GCC loads a precompiled header whole, so a
// header few sources use costs every other source more than it saves.
#pragma once

#include <functional>
#include <memory>

#include <QtCore/QDebug>
#include <QtCore/QJsonObject>
#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QVector>
