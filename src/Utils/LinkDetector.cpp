#include "Utils/LinkDetector.h"

#include <QByteArray>
#include <QChar>
#include <QLatin1StringView>

#include <libpsl.h>

#include <algorithm>
#include <array>

namespace {

// The public suffix list: the newer of libpsl's built-in copy and the system's file.
class SuffixList
{
public:
    SuffixList()
        : m_context(psl_latest(nullptr))
    {}
    ~SuffixList()
    {
        if (m_context)
            psl_free(m_context);
    }
    SuffixList(const SuffixList &) = delete;
    SuffixList &operator=(const SuffixList &) = delete;

    [[nodiscard]] const psl_ctx_t *context() const { return m_context ? m_context : psl_builtin(); }

private:
    psl_ctx_t *m_context;
};

const psl_ctx_t *suffixList()
{
    static const SuffixList list;
    return list.context();
}

struct CodePoint
{
    char32_t value = 0;
    qsizetype size = 1;
};

CodePoint codePointAt(QStringView text, qsizetype i)
{
    const char16_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
        QChar::isLowSurrogate(text[i + 1].unicode()))
        return {QChar::surrogateToUcs4(c, text[i + 1].unicode()), 2};
    return {c, 1};
}

char32_t codePointBefore(QStringView text, qsizetype i)
{
    const char16_t c = text[i - 1].unicode();
    if (QChar::isLowSurrogate(c) && i >= 2 && QChar::isHighSurrogate(text[i - 2].unicode()))
        return QChar::surrogateToUcs4(text[i - 2].unicode(), c);
    return c;
}

bool isAsciiLetter(char32_t c)
{
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}

bool isAsciiDigit(char32_t c)
{
    return c >= U'0' && c <= U'9';
}

bool isAsciiAlphanumeric(char32_t c)
{
    return isAsciiLetter(c) || isAsciiDigit(c);
}

// What each ASCII character may be part of; one table look-up per character keeps the
// scan fast on texts of many megabytes.
enum AsciiClass : quint8 {
    Word = 1 << 0,       // letters and digits
    Host = 1 << 1,       // host names: words, "-" and "."
    SchemeHost = 1 << 2, // after a scheme also "_"
    Local = 1 << 3,      // e-mail local parts: host characters and "_", "%", "+"
    Userinfo = 1 << 4,
    Path = 1 << 5,
    Trailing = 1 << 6, // punctuation that ends a sentence or a clause rather than a link
};

constexpr bool contains(const char *set, char c)
{
    for (; *set; ++set) {
        if (*set == c)
            return true;
    }
    return false;
}

constexpr std::array<quint8, 128> makeAsciiClasses()
{
    std::array<quint8, 128> classes{};
    for (int c = 0; c < 128; ++c) {
        const char ch = static_cast<char>(c);
        const bool word =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        const bool host = word || ch == '-' || ch == '.';
        quint8 value = 0;
        value |= word ? Word : 0;
        value |= host ? Host : 0;
        value |= host || ch == '_' ? SchemeHost : 0;
        value |= host || contains("_%+", ch) ? Local : 0;
        value |= word || contains("-._~%!$&'*+;=:", ch) ? Userinfo : 0;
        value |= c > 0x20 && c < 0x7F && !contains("\"<>\\^`{|}", ch) ? Path : 0;
        value |= contains(".,:;!?'*", ch) ? Trailing : 0;
        classes[static_cast<size_t>(c)] = value;
    }
    return classes;
}

constexpr std::array<quint8, 128> asciiClasses = makeAsciiClasses();

bool hasClass(char32_t c, AsciiClass wanted)
{
    return (asciiClasses[c] & wanted) != 0;
}

bool isOneOf(char32_t c, QLatin1StringView set)
{
    return c < 0x80 && set.contains(QLatin1Char(static_cast<char>(c)));
}

// Letters, marks and digits of any script: what internationalised host labels are made of.
bool isUnicodeWordCharacter(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other:
        return true;
    default:
        return false;
    }
}

bool isWordCharacter(char32_t c)
{
    return c < 0x80 ? hasClass(c, Word) : isUnicodeWordCharacter(c);
}

bool isHostCharacter(char32_t c)
{
    return c < 0x80 ? hasClass(c, Host) : isUnicodeWordCharacter(c);
}

// After a scheme, host names may carry underscores (service records, some intranets).
bool isSchemeHostCharacter(char32_t c)
{
    return c < 0x80 ? hasClass(c, SchemeHost) : isUnicodeWordCharacter(c);
}

// What the local part of an e-mail address is made of; a superset of the host characters.
bool isLocalCharacter(char32_t c)
{
    return c < 0x80 ? hasClass(c, Local) : isUnicodeWordCharacter(c);
}

bool isUserinfoCharacter(char32_t c)
{
    return c < 0x80 ? hasClass(c, Userinfo) : isUnicodeWordCharacter(c);
}

bool isPathCharacter(char32_t c)
{
    if (c < 0x80)
        return hasClass(c, Path);
    if (isUnicodeWordCharacter(c))
        return true;
    switch (QChar::category(c)) {
    case QChar::Symbol_Math:
    case QChar::Symbol_Currency:
    case QChar::Symbol_Modifier:
    case QChar::Symbol_Other:
    case QChar::Punctuation_Connector:
        return true;
    default:
        return false;
    }
}

bool isTrailingPunctuation(char16_t c)
{
    return c < 0x80 && hasClass(c, Trailing);
}

bool isWebScheme(QStringView scheme)
{
    static constexpr std::array<QLatin1StringView, 7> schemes = {
        QLatin1StringView("http"), QLatin1StringView("https"), QLatin1StringView("ftp"),
        QLatin1StringView("ftps"), QLatin1StringView("sftp"),  QLatin1StringView("ws"),
        QLatin1StringView("wss")};
    return std::any_of(schemes.begin(), schemes.end(), [scheme](QLatin1StringView known) {
        return scheme.compare(known, Qt::CaseInsensitive) == 0;
    });
}

struct HostShape
{
    bool valid = false;
    int labels = 0;
    bool allNumeric = true;
    bool ipv4 = false;
    bool startsWithWww = false;
    qsizetype lastLabelStart = 0;
};

class Scanner
{
public:
    explicit Scanner(QStringView text)
        : m_text(text)
        , m_size(text.size())
    {}

    void run(const LinkDetector::Visitor &visit) const
    {
        qsizetype i = 0;
        while (i < m_size) {
            CodePoint cp = codePointAt(m_text, i);
            if (!isLocalCharacter(cp.value)) {
                i += cp.size;
                continue;
            }
            // A link starts only where a run of host or local-part characters starts.
            if (i > 0 && isLocalCharacter(codePointBefore(m_text, i))) {
                i = endOfRun(i, isLocalCharacter);
                continue;
            }
            // Leading dashes, dots or plus signs belong to the text around the link.
            while (i < m_size && isLocalCharacter(cp.value) && !isWordCharacter(cp.value)) {
                i += cp.size;
                if (i < m_size)
                    cp = codePointAt(m_text, i);
            }
            if (i >= m_size || !isWordCharacter(cp.value))
                continue;
            const Attempt attempt = attemptAt(i);
            if (attempt.found && !visit(attempt.match))
                return;
            const qsizetype next =
                attempt.found ? attempt.match.start + attempt.match.length : attempt.resume;
            i = std::max(next, i + 1);
        }
    }

    [[nodiscard]] std::optional<LinkMatch> atStart() const
    {
        if (m_size == 0 || !isWordCharacter(codePointAt(m_text, 0).value))
            return std::nullopt;
        const Attempt attempt = attemptAt(0);
        return attempt.found ? std::optional(attempt.match) : std::nullopt;
    }

private:
    struct Attempt
    {
        bool found = false;
        LinkMatch match;
        // Where to look on after a failure; nothing before it can start a link.
        qsizetype resume = 0;
    };

    static Attempt failure(qsizetype resume) { return Attempt{false, {}, resume}; }
    static Attempt success(qsizetype start, qsizetype end, LinkMatch::Kind kind)
    {
        return Attempt{true, LinkMatch{start, end - start, kind}, end};
    }

    [[nodiscard]] char16_t at(qsizetype i) const
    {
        return i < m_size ? m_text[i].unicode() : u'\0';
    }

    template<typename Predicate>
    [[nodiscard]] qsizetype endOfRun(qsizetype i, Predicate predicate) const
    {
        while (i < m_size) {
            const CodePoint cp = codePointAt(m_text, i);
            if (!predicate(cp.value))
                break;
            i += cp.size;
        }
        return i;
    }

    [[nodiscard]] Attempt attemptAt(qsizetype start) const
    {
        if (isAsciiLetter(at(start))) {
            qsizetype k = start + 1;
            while (k < m_size &&
                   (isAsciiAlphanumeric(at(k)) || isOneOf(at(k), QLatin1StringView("+.-"))))
                ++k;
            if (at(k) == u':') {
                const QStringView scheme = m_text.sliced(start, k - start);
                if (at(k + 1) == u'/' && at(k + 2) == u'/' && isWebScheme(scheme))
                    return schemeAddress(start, k + 3);
                if (scheme.compare(QLatin1StringView("mailto"), Qt::CaseInsensitive) == 0) {
                    const qsizetype localEnd = endOfRun(k + 1, isLocalCharacter);
                    if (at(localEnd) == u'@' && localEnd > k + 1)
                        return emailAddress(start, k + 1, localEnd);
                    return failure(std::max(localEnd, k + 1));
                }
            }
        }
        return schemelessAddress(start);
    }

    // Labels separated by single dots, each of 1 to 63 units, not starting or ending with "-".
    [[nodiscard]] HostShape examineHost(qsizetype begin, qsizetype end) const
    {
        HostShape shape;
        if (end <= begin || end - begin > 253)
            return shape;
        qsizetype labelStart = begin;
        bool labelNumeric = true;
        int ipv4Octets = 0;
        bool ipv4 = true;
        for (qsizetype i = begin; i <= end; ++i) {
            if (i == end || at(i) == u'.') {
                const qsizetype length = i - labelStart;
                if (length == 0 || length > 63 || at(labelStart) == u'-' || at(i - 1) == u'-')
                    return shape;
                if (shape.labels == 0)
                    shape.startsWithWww =
                        m_text.sliced(labelStart, length)
                            .compare(QLatin1StringView("www"), Qt::CaseInsensitive) == 0;
                ++shape.labels;
                shape.allNumeric = shape.allNumeric && labelNumeric;
                if (labelNumeric && length <= 3 && m_text.sliced(labelStart, length).toInt() <= 255)
                    ++ipv4Octets;
                else
                    ipv4 = false;
                shape.lastLabelStart = labelStart;
                labelStart = i + 1;
                labelNumeric = true;
            } else if (!isAsciiDigit(at(i))) {
                labelNumeric = false;
            }
        }
        shape.ipv4 = ipv4 && ipv4Octets == 4 && shape.labels == 4;
        shape.valid = true;
        return shape;
    }

    // The end of ":port" after a host, or the host's end when no valid port follows.
    [[nodiscard]] qsizetype portEnd(qsizetype hostEnd) const
    {
        if (at(hostEnd) != u':')
            return hostEnd;
        qsizetype i = hostEnd + 1;
        int value = 0;
        while (i < m_size && isAsciiDigit(at(i)) && i - hostEnd <= 5) {
            value = value * 10 + (at(i) - u'0');
            ++i;
        }
        if (i == hostEnd + 1 || isAsciiDigit(at(i)) || value > 65535)
            return hostEnd;
        return i;
    }

    // Path, query and fragment: closing brackets belong to the link only when it opened them.
    [[nodiscard]] qsizetype endOfPath(qsizetype i) const
    {
        int parentheses = 0;
        int brackets = 0;
        while (i < m_size) {
            const CodePoint cp = codePointAt(m_text, i);
            if (cp.value == U'(') {
                ++parentheses;
            } else if (cp.value == U')') {
                if (parentheses == 0)
                    break;
                --parentheses;
            } else if (cp.value == U'[') {
                ++brackets;
            } else if (cp.value == U']') {
                if (brackets == 0)
                    break;
                --brackets;
            } else if (!isPathCharacter(cp.value)) {
                break;
            }
            i += cp.size;
        }
        return i;
    }

    [[nodiscard]] qsizetype withPath(qsizetype authorityEnd) const
    {
        const qsizetype afterPort = portEnd(authorityEnd);
        if (!isOneOf(at(afterPort), QLatin1StringView("/?#")))
            return afterPort;
        qsizetype end = endOfPath(afterPort);
        while (end > afterPort && isTrailingPunctuation(at(end - 1)))
            --end;
        return end;
    }

    // A host that ends in dots followed by nothing of a URL: the dots end the sentence.
    [[nodiscard]] qsizetype withoutTrailingDots(qsizetype begin, qsizetype end) const
    {
        if (isOneOf(at(end), QLatin1StringView(":/?#")))
            return end;
        while (end > begin && at(end - 1) == u'.')
            --end;
        return end;
    }

    [[nodiscard]] Attempt schemeAddress(qsizetype start, qsizetype authority) const
    {
        const qsizetype userinfoEnd = endOfRun(authority, isUserinfoCharacter);
        const qsizetype hostStart = at(userinfoEnd) == u'@' ? userinfoEnd + 1 : authority;
        const qsizetype resume = std::max(userinfoEnd, authority);
        if (at(hostStart) == u'[') {
            qsizetype i = hostStart + 1;
            bool hasColon = false;
            while (i < m_size && (isAsciiAlphanumeric(at(i)) || at(i) == u':' || at(i) == u'.')) {
                hasColon = hasColon || at(i) == u':';
                ++i;
            }
            if (at(i) != u']' || !hasColon)
                return failure(std::max(resume, i));
            return success(start, withPath(i + 1), LinkMatch::Kind::WebAddress);
        }
        const qsizetype runEnd = endOfRun(hostStart, isSchemeHostCharacter);
        const qsizetype hostEnd = withoutTrailingDots(hostStart, runEnd);
        // A fully qualified name may keep its final dot when a path follows ("a.com./x").
        const qsizetype namedEnd =
            hostEnd > hostStart && at(hostEnd - 1) == u'.' ? hostEnd - 1 : hostEnd;
        const HostShape shape = examineHost(hostStart, namedEnd);
        if (!shape.valid || (shape.allNumeric && !shape.ipv4))
            return failure(std::max(resume, runEnd));
        if (hostEnd != runEnd)
            return success(start, hostEnd, LinkMatch::Kind::WebAddress);
        return success(start, withPath(hostEnd), LinkMatch::Kind::WebAddress);
    }

    [[nodiscard]] Attempt schemelessAddress(qsizetype start) const
    {
        qsizetype runEnd = start;
        bool onlyHostCharacters = true;
        bool hasDot = false;
        while (runEnd < m_size) {
            const CodePoint cp = codePointAt(m_text, runEnd);
            if (!isLocalCharacter(cp.value))
                break;
            onlyHostCharacters = onlyHostCharacters && isHostCharacter(cp.value);
            hasDot = hasDot || cp.value == U'.';
            runEnd += cp.size;
        }
        if (at(runEnd) == u'@')
            return emailAddress(start, start, runEnd);
        // "_", "%" or "+" cannot stand in a host name written without a scheme, and a host
        // of one label needs a scheme.
        if (!onlyHostCharacters || !hasDot)
            return failure(runEnd);
        const qsizetype hostEnd = withoutTrailingDots(start, runEnd);
        const HostShape shape = examineHost(start, hostEnd);
        if (!shape.valid || shape.labels < 2)
            return failure(runEnd);
        if (shape.ipv4) {
            // A bare dotted quad is as often a version number; a port or a path makes it a link.
            const bool hasPort = portEnd(hostEnd) != hostEnd;
            if (hostEnd != runEnd || !(hasPort || at(hostEnd) == u'/'))
                return failure(runEnd);
        } else if (!shape.startsWithWww &&
                   !LinkDetector::isKnownTopLevelDomain(
                       m_text.sliced(shape.lastLabelStart, hostEnd - shape.lastLabelStart))) {
            return failure(runEnd);
        }
        if (hostEnd != runEnd)
            return success(start, hostEnd, LinkMatch::Kind::WebAddress);
        return success(start, withPath(hostEnd), LinkMatch::Kind::WebAddress);
    }

    [[nodiscard]] Attempt emailAddress(qsizetype start, qsizetype localStart,
                                       qsizetype atSign) const
    {
        const QStringView local = m_text.sliced(localStart, atSign - localStart);
        const qsizetype domainStart = atSign + 1;
        const qsizetype runEnd = endOfRun(domainStart, isHostCharacter);
        if (local.isEmpty() || local.size() > 64 || local.startsWith(u'.') ||
            local.endsWith(u'.') || local.contains(QLatin1StringView("..")))
            return failure(domainStart);
        qsizetype domainEnd = runEnd;
        while (domainEnd > domainStart && at(domainEnd - 1) == u'.')
            --domainEnd;
        const HostShape shape = examineHost(domainStart, domainEnd);
        if (!shape.valid || shape.labels < 2 || shape.allNumeric ||
            !LinkDetector::isKnownTopLevelDomain(
                m_text.sliced(shape.lastLabelStart, domainEnd - shape.lastLabelStart)))
            return failure(domainStart);
        return success(start, domainEnd, LinkMatch::Kind::EmailAddress);
    }

    QStringView m_text;
    qsizetype m_size;
};

} // namespace

QList<LinkMatch> LinkDetector::matches(QStringView text)
{
    QList<LinkMatch> found;
    forEachMatch(text, [&found](const LinkMatch &match) {
        found.append(match);
        return true;
    });
    return found;
}

void LinkDetector::forEachMatch(QStringView text, const Visitor &visit)
{
    Scanner(text).run(visit);
}

std::optional<LinkMatch> LinkDetector::matchAtStart(QStringView text)
{
    return Scanner(text).atStart();
}

bool LinkDetector::isKnownTopLevelDomain(QStringView label)
{
    if (label.isEmpty() || label.size() > 63 || label.contains(u'.'))
        return false;
    std::array<char, 64> ascii{};
    bool isAscii = true;
    for (qsizetype i = 0; i < label.size() && isAscii; ++i) {
        const char16_t c = label[i].unicode();
        if (!isAsciiAlphanumeric(c) && c != u'-')
            isAscii = false;
        else
            ascii[static_cast<size_t>(i)] =
                static_cast<char>(c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c);
    }
    // Without the star rule, an unknown label is no public suffix.
    const int flags = PSL_TYPE_ANY | PSL_TYPE_NO_STAR_RULE;
    if (isAscii) {
        // Texts repeat their top-level domains: a small per-thread cache saves most look-ups.
        struct Entry
        {
            std::array<char, 16> label{};
            bool known = false;
        };
        thread_local std::array<Entry, 64> cache{};
        const auto length = static_cast<size_t>(label.size());
        if (length >= 16)
            return psl_is_public_suffix2(suffixList(), ascii.data(), flags) != 0;
        size_t hash = length;
        for (size_t i = 0; i < length; ++i)
            hash = hash * 31 + static_cast<unsigned char>(ascii[i]);
        Entry &entry = cache[hash % cache.size()];
        if (std::equal(ascii.begin(), ascii.begin() + 16, entry.label.begin()))
            return entry.known;
        std::copy(ascii.begin(), ascii.begin() + 16, entry.label.begin());
        entry.known = psl_is_public_suffix2(suffixList(), ascii.data(), flags) != 0;
        return entry.known;
    }
    const QByteArray utf8 = label.toString().toLower().toUtf8();
    return psl_is_public_suffix2(suffixList(), utf8.constData(), flags) != 0;
}
