#include "core/SettingKey.h"

#include <QSettings>

namespace {

// Qt's own conversion (qvariant_cast also walks iterable containers into QVariantList and QVariantMap);
// what it cannot convert comes back default-constructed, never as the fallback or the key's default.
template <typename T> T convertStored(const QVariant& stored)
{
    return stored.value<T>();
}

template <> QVariant convertStored<QVariant>(const QVariant& stored)
{
    // A variant stored inside a variant comes back wrapped once more.
    if (stored.userType() == QMetaType::QVariant)
        return stored.value<QVariant>();
    return stored;
}

template <typename T> QVariant wrap(const T& value)
{
    return QVariant::fromValue(value);
}

template <> QVariant wrap<QVariant>(const QVariant& value)
{
    return value;
}

} // namespace

template <typename T> bool SettingKey<T>::contains() const
{
    return QSettings().contains(m_key);
}

template <typename T> void SettingKey<T>::set(const T& value) const
{
    QSettings().setValue(m_key, wrap(value));
}

template <typename T> T SettingKey<T>::get() const
{
    return getOr(m_defaultValue);
}

template <typename T> T SettingKey<T>::getOr(const T& fallback) const
{
    return convertStored<T>(QSettings().value(m_key, wrap(fallback)));
}

template <typename T> void SettingKey<T>::remove() const
{
    QSettings settings;
    if (settings.contains(m_key))
        settings.remove(m_key);
}

template class SettingKey<int>;
template class SettingKey<bool>;
template class SettingKey<QDateTime>;
template class SettingKey<QString>;
template class SettingKey<QStringList>;
template class SettingKey<QVariantList>;
template class SettingKey<QRect>;
template class SettingKey<QVariant>;
template class SettingKey<QVariantMap>;
