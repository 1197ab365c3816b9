#pragma once

#include <QByteArray>
#include <QIODevice>

namespace zq::test {

// A write-only device that takes the first `failAt` bytes and refuses everything after, as a full disk
// does mid-save. What it took is kept for inspection.
class FailingDevice : public QIODevice
{
public:
    explicit FailingDevice(qint64 failAt) : m_failAt(failAt) { open(QIODevice::WriteOnly); }

    const QByteArray& written() const { return m_written; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override
    {
        const qint64 room = m_failAt - m_written.size();
        if (room <= 0) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        const qint64 taken = qMin(room, length);
        m_written.append(data, int(taken));
        return taken;
    }

private:
    qint64 m_failAt;
    QByteArray m_written;
};

} // namespace zq::test
