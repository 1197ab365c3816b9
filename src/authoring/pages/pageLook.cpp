#include "authoring/pages/pageLook.h"

#include "core/Palette.h"

#include <QPushButton>

namespace authoring {

QString textButtonStyle()
{
    return QStringLiteral(
               "QPushButton {  border: none;  background: transparent;  color: %1;  padding: 4px 8px;}"
               "QPushButton:hover {  color: %2;}"
               "QPushButton:pressed {  color: %3;}"
               "QPushButton:disabled {  color: %4;}")
        .arg(Palette::grey.name(), Palette::blueHover.name(), Palette::bluePressed.name(),
             Palette::lightGrey.name());
}

QPoint menuPosition(const QPushButton* button)
{
    return button->mapToGlobal(QPoint(0, button->height() + 2));
}

} // namespace authoring
