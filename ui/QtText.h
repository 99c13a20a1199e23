// Conversions between the system's texts and colours and Qt's. Both sides hold UTF-16, so the
// conversions copy code units and never lose a character.
#pragma once

#include <string>
#include <string_view>

#include <QColor>
#include <QString>

#include "foundation/WideString.h"
#include "platform/ColorRef.h"

namespace ui
{

inline QString ToQString(const char16_t* text)
{
    return text != nullptr ? QString::fromUtf16(text) : QString();
}

inline QString ToQString(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::u16string ToU16String(const QString& text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
}

inline CWideString ToWideString(const QString& text)
{
    return CWideString(ToU16String(text).c_str());
}

inline QColor ToQColor(COLORREF color)
{
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

inline COLORREF ToColorRef(const QColor& color)
{
    return RGB(static_cast<uint8_t>(color.red()), static_cast<uint8_t>(color.green()),
               static_cast<uint8_t>(color.blue()));
}

} // namespace ui
