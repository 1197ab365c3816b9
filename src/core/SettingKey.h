#pragma once

#include <QDateTime>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

// A named, typed entry of the application's settings store. Every operation opens a fresh
// QSettings, so a value written through one key object is seen through any other with the same name.
// Provided for int, bool, QDateTime, QString, QStringList, QVariantList, QRect, QVariant and QVariantMap.
template <typename T> class SettingKey
{
public:
    SettingKey(const QString& key, const T& defaultValue) : m_key(key), m_defaultValue(defaultValue) {}

    const QString& key() const { return m_key; }
    const T& defaultValue() const { return m_defaultValue; }

    // False for a key built with an empty name: a run-time key that has not been set up yet.
    bool isValid() const { return !m_key.isEmpty(); }

    bool contains() const;
    void set(const T& value) const;
    T get() const;
    // The stored value converted to T, `fallback` when nothing is stored, and a default-constructed T
    // when the stored value cannot be converted.
    T getOr(const T& fallback) const;
    // Does nothing when nothing is stored.
    void remove() const;

private:
    QString m_key;
    T m_defaultValue;
};

extern template class SettingKey<int>;
extern template class SettingKey<bool>;
extern template class SettingKey<QDateTime>;
extern template class SettingKey<QString>;
extern template class SettingKey<QStringList>;
extern template class SettingKey<QVariantList>;
extern template class SettingKey<QRect>;
extern template class SettingKey<QVariant>;
extern template class SettingKey<QVariantMap>;
