#include "Utils/PercentEncoding.h"

#include <QTest>

using Set = PercentEncoding::CharacterSet;
Q_DECLARE_METATYPE(PercentEncoding::CharacterSet)

namespace {

// The sets as the platform documents them, written out independently of the code.
const QString hostAllowedPunctuation = QStringLiteral("!$&'()*+,-.:;=[]_~");
const QString queryAllowedPunctuation = QStringLiteral("!$&'()*+,-./:;=?@_~");

bool documentedAllowed(char16_t c, Set set)
{
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9'))
        return true;
    const QString &punctuation =
        set == Set::UrlHostAllowed ? hostAllowedPunctuation : queryAllowedPunctuation;
    return punctuation.contains(QChar(c));
}

} // namespace

class PercentEncodingTest : public QObject
{
    Q_OBJECT

private slots:
    void asciiCharacter_data();
    void asciiCharacter();
    void encodedTexts_data();
    void encodedTexts();
};

void PercentEncodingTest::asciiCharacter_data()
{
    QTest::addColumn<Set>("set");
    QTest::addColumn<QString>("character");
    QTest::addColumn<QString>("expected");

    for (const Set set : {Set::UrlHostAllowed, Set::UrlQueryAllowed}) {
        const char *setName = set == Set::UrlHostAllowed ? "host" : "query";
        for (char16_t c = 0; c < 0x80; ++c) {
            const QString character(QChar{c});
            const QString expected =
                documentedAllowed(c, set)
                    ? character
                    : QStringLiteral("%%1").arg(int(c), 2, 16, QChar(u'0')).toUpper();
            QTest::addRow("%s U+%04X", setName, unsigned(c)) << set << character << expected;
        }
    }
}

void PercentEncodingTest::asciiCharacter()
{
    QFETCH(Set, set);
    QFETCH(QString, character);
    QFETCH(QString, expected);
    QCOMPARE(PercentEncoding::encode(character, set), expected);
    QCOMPARE(PercentEncoding::isAllowed(character.front().unicode(), set), expected == character);
}

void PercentEncodingTest::encodedTexts_data()
{
    QTest::addColumn<Set>("set");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << Set::UrlHostAllowed << ""
                           << "";
    QTest::newRow("host url") << Set::UrlHostAllowed << "https://x.com/a?b=c&d=e#f"
                              << "https:%2F%2Fx.com%2Fa%3Fb=c&d=e%23f";
    QTest::newRow("query url") << Set::UrlQueryAllowed << "https://x.com/a?b=c&d=e#f"
                               << "https://x.com/a?b=c&d=e%23f";
    QTest::newRow("space") << Set::UrlQueryAllowed << "a b"
                           << "a%20b";
    QTest::newRow("percent") << Set::UrlHostAllowed << "100%"
                             << "100%25";
    QTest::newRow("e acute") << Set::UrlHostAllowed << "caf\u00e9"
                             << "caf%C3%A9";
    QTest::newRow("emoji") << Set::UrlHostAllowed << "\U0001F600"
                           << "%F0%9F%98%80";
    QTest::newRow("lone high surrogate")
        << Set::UrlHostAllowed << QString(QChar(0xD800)) << "%EF%BF%BD";
    QTest::newRow("lone low surrogate")
        << Set::UrlQueryAllowed << QString("a" + QString(QChar(0xDC00)) + "b") << "a%EF%BF%BDb";
    QTest::newRow("brackets host") << Set::UrlHostAllowed << "[::1]"
                                   << "[::1]";
    QTest::newRow("brackets query") << Set::UrlQueryAllowed << "[::1]"
                                    << "%5B::1%5D";
    QTest::newRow("at host") << Set::UrlHostAllowed << "a@b"
                             << "a%40b";
    QTest::newRow("at query") << Set::UrlQueryAllowed << "a@b"
                              << "a@b";
}

void PercentEncodingTest::encodedTexts()
{
    QFETCH(Set, set);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(PercentEncoding::encode(text, set), expected);
}

QTEST_GUILESS_MAIN(PercentEncodingTest)
#include "tst_percentencoding.moc"
