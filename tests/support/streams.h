#pragma once

#include <QByteArray>
#include <QDataStream>

namespace zq::test {

// The stream version QSettings writes its values in, and so the form every stored value takes.
constexpr QDataStream::Version kStoredStreamVersion = QDataStream::Qt_4_0;

// The bytes `stream << value` writes.
template <typename T> QByteArray streamed(const T& value, QDataStream::Version version = kStoredStreamVersion)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setVersion(version);
    stream << value;
    return bytes;
}

// What `stream >> value` reads from `bytes` into a default-built T; the stream's status goes to `status`.
template <typename T>
T readStreamed(const QByteArray& bytes, QDataStream::Status* status = nullptr,
               QDataStream::Version version = kStoredStreamVersion)
{
    T value;
    QDataStream stream(bytes);
    stream.setVersion(version);
    stream >> value;
    if (status)
        *status = stream.status();
    return value;
}

} // namespace zq::test
