// The widget-free set and the widgets that nearly every page and every form's uic header uses, for the
// targets that link Qt Widgets.
#pragma once

#include "logic.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QWidget>
