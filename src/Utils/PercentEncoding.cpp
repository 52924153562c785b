#include "Utils/PercentEncoding.h"

#include <QByteArray>
#include <QByteArrayView>

namespace {

constexpr QByteArrayView hostPunctuation("!$&'()*+,-.:;=[]_~");
constexpr QByteArrayView queryPunctuation("!$&'()*+,-./:;=?@_~");

bool isAsciiAlphanumeric(char32_t c)
{
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9');
}

// A lone surrogate has no UTF-8 form; it becomes U+FFFD rather than the "?" of toUtf8,
// which would read as a query separator once decoded.
QString withoutLoneSurrogates(const QString &text)
{
    QString clean = text;
    for (qsizetype i = 0; i < clean.size(); ++i) {
        const QChar c = clean[i];
        if (c.isHighSurrogate() && i + 1 < clean.size() && clean[i + 1].isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            clean[i] = QChar::ReplacementCharacter;
    }
    return clean;
}

} // namespace

bool PercentEncoding::isAllowed(char32_t character, CharacterSet allowed)
{
    if (isAsciiAlphanumeric(character))
        return true;
    if (character >= 0x80)
        return false;
    const QByteArrayView punctuation =
        allowed == CharacterSet::UrlHostAllowed ? hostPunctuation : queryPunctuation;
    return punctuation.contains(static_cast<char>(character));
}

QString PercentEncoding::encode(const QString &text, CharacterSet allowed)
{
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    const QByteArray utf8 = withoutLoneSurrogates(text).toUtf8();
    QString encoded;
    encoded.reserve(utf8.size());
    for (const char byte : utf8) {
        const auto value = static_cast<unsigned char>(byte);
        if (value < 0x80 && isAllowed(value, allowed)) {
            encoded.append(QLatin1Char(byte));
        } else {
            encoded.append(QLatin1Char('%'));
            encoded.append(QLatin1Char(hexDigits[value >> 4]));
            encoded.append(QLatin1Char(hexDigits[value & 0x0F]));
        }
    }
    return encoded;
}
