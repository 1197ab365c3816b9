#pragma once

class QeltsController;

// Chooses, for the pages that show Qelts, between the library and the last search's results. The
// pages ask for the current controller each time they act, so switching needs no reconnection.
class QeltControllerSwitch
{
public:
    // Throws std::runtime_error when either controller is null. Mode 0 is the library, any other the
    // search results.
    QeltControllerSwitch(QeltsController* first, QeltsController* second, unsigned char mode = 0);

    void setMode(unsigned char mode) { m_mode = mode; }
    unsigned char mode() const { return m_mode; }
    QeltsController* current() const { return m_mode != 0 ? m_second : m_first; }
    QeltsController* first() const { return m_first; }
    QeltsController* second() const { return m_second; }

private:
    QeltsController* m_first;
    QeltsController* m_second;
    unsigned char m_mode;
};
