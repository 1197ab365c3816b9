// What every test and benchmark parses through the test support's main: QtTest, which brings the whole of
// Qt Core, on the widgets' set.
#pragma once

#include "widgets.h"

#include <QtTest/QtTest>
