#include "library/QeltControllerSwitch.h"

#include <stdexcept>

QeltControllerSwitch::QeltControllerSwitch(QeltsController* first, QeltsController* second,
                                           unsigned char mode)
    : m_first(first), m_second(second), m_mode(mode)
{
    if (!first || !second)
        throw std::runtime_error("QeltControllerSwitch: Qelt controller is null");
}
