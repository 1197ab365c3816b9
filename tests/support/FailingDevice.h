#pragma once

#include <QByteArray>
#include <QIODevice>

namespace zq::test {

// A write-only device that takes the first `failAt` bytes and refuses the rest, as a full disk does.
class FailingDevice : public QIODevice
{
public:
    explicit FailingDevice(qint64 failAt) : m_failAt(failAt) { open(QIODevice::WriteOnly); }
    const QByteArray& written() const { return m_written; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override
    {
        const qint64 taken = qMin(m_failAt - m_written.size(), length);
        if (taken <= 0)
            return -1;
        m_written.append(data, int(taken));
        return taken;
    }

private:
    qint64 m_failAt;
    QByteArray m_written;
};

} // namespace zq::test
