#pragma once

#include <QString>

// Percent-encoding with the two character sets that URLs are built with here. A character of
// the set stays as it is; every other character is written as its UTF-8 bytes, each as "%XX"
// with upper-case hex digits.
class PercentEncoding
{
public:
    enum class CharacterSet {
        // ASCII letters, digits and ! $ & ' ( ) * + , - . : ; = [ ] _ ~
        UrlHostAllowed,
        // ASCII letters, digits and ! $ & ' ( ) * + , - . / : ; = ? @ _ ~
        UrlQueryAllowed,
    };

    [[nodiscard]] static QString encode(const QString &text, CharacterSet allowed);
    [[nodiscard]] static QString urlHostAllowed(const QString &text)
    {
        return encode(text, CharacterSet::UrlHostAllowed);
    }
    [[nodiscard]] static QString urlQueryAllowed(const QString &text)
    {
        return encode(text, CharacterSet::UrlQueryAllowed);
    }

    [[nodiscard]] static bool isAllowed(char32_t character, CharacterSet allowed);
};
