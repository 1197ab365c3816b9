#include "model/isoDate.h"

#include <QDateTime>

#include <optional>

namespace utils {

namespace {

// Days from 1970-01-01 to the given proleptic Gregorian date.
qint64 daysFromCivil(int year, int month, int day)
{
    year -= month <= 2;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const int yearOfEra = year - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return qint64(era) * 146097 + dayOfEra - 719468;
}

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// Reads count digits at position; -1 when any is not an ASCII digit.
int digits(const QString& text, int position, int count)
{
    int value = 0;
    for (int i = position; i < position + count; ++i) {
        const ushort c = text.at(i).unicode();
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The service writes its times as "YYYY-MM-DDTHH:MM:SS[.f{1,3}]" with "Z" or "+HH:MM"; parsing those
// directly keeps reading a long Qelt list cheap. Anything else (local times, other spellings, years
// before 1971 whose fractions round differently) is left to QDateTime, which stays the reference.
std::optional<qint64> parseCommonForm(const QString& text)
{
    const int size = text.size();
    if (size < 20 || text.at(4) != QLatin1Char('-') || text.at(7) != QLatin1Char('-') ||
        text.at(10) != QLatin1Char('T') || text.at(13) != QLatin1Char(':') || text.at(16) != QLatin1Char(':'))
        return std::nullopt;
    const int year = digits(text, 0, 4);
    const int month = digits(text, 5, 2);
    const int day = digits(text, 8, 2);
    const int hour = digits(text, 11, 2);
    const int minute = digits(text, 14, 2);
    const int second = digits(text, 17, 2);
    if (year < 1971 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59 || day > daysInMonth(year, month))
        return std::nullopt;

    int position = 19;
    if (text.at(position) == QLatin1Char('.')) {
        int fractionDigits = 0;
        ++position;
        while (position < size && fractionDigits < 4 && text.at(position).isDigit() &&
               text.at(position).unicode() < 128) {
            ++position;
            ++fractionDigits;
        }
        if (fractionDigits < 1 || fractionDigits > 3)
            return std::nullopt;
    }

    int offsetSeconds = 0;
    if (position == size - 1 && text.at(position) == QLatin1Char('Z')) {
        offsetSeconds = 0;
    } else if (position == size - 6 &&
               (text.at(position) == QLatin1Char('+') || text.at(position) == QLatin1Char('-')) &&
               text.at(position + 3) == QLatin1Char(':')) {
        const int offsetHours = digits(text, position + 1, 2);
        const int offsetMinutes = digits(text, position + 4, 2);
        if (offsetHours < 0 || offsetHours > 14 || offsetMinutes < 0 || offsetMinutes > 59)
            return std::nullopt;
        offsetSeconds = (offsetHours * 60 + offsetMinutes) * 60;
        if (text.at(position) == QLatin1Char('-'))
            offsetSeconds = -offsetSeconds;
    } else {
        return std::nullopt;
    }

    return daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - offsetSeconds;
}

} // namespace

qint64 isoDateToSecsSinceEpoch(const QString& text)
{
    if (const std::optional<qint64> seconds = parseCommonForm(text))
        return *seconds;
    const QDateTime dateTime = QDateTime::fromString(text, Qt::ISODate);
    if (!dateTime.isValid())
        return 0;
    return dateTime.toUTC().toSecsSinceEpoch();
}

} // namespace utils
