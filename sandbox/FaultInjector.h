#pragma once

#include "SandboxReply.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <optional>

// Faults armed by tests for requests matching a method and a path pattern ('*' matches any
// run of characters): a delay, another status (with an optional body and Retry-After), malformed or
// mistyped JSON, a dropped connection, or a body cut short or sent without its length; each for the
// next N matching calls or until cleared.
class FaultInjector
{
public:
    struct Fault
    {
        int id = 0;
        QByteArray method; // empty: any method
        QString pattern;
        QRegularExpression path;
        int delayMs = 0;
        int status = 0; // 0: keep the route's status
        std::optional<QJsonValue> body;
        QByteArray retryAfter; // sent as "Retry-After" with the status; empty: none
        bool malformedJson = false;
        bool mistypedJson = false;
        bool drop = false;
        // Of the body, only this many bytes are sent and the connection is then held open
        // (-1: all of it); without a length, the body ends when the connection closes.
        qint64 stallAfterBytes = -1;
        bool omitLength = false;
        int remaining = -1; // -1: until cleared
        int hits = 0;

        [[nodiscard]] QJsonObject toJson() const;
        // Short-circuiting faults answer without running the route.
        [[nodiscard]] bool replacesRoute() const { return drop || status != 0; }
        [[nodiscard]] SandboxReply statusReply() const;
        // Applies the malformed, mistyped, stalled and length-less changes to a route's answer.
        void distort(SandboxReply &reply) const;
    };

    // Arms a fault from its JSON description; on a bad description returns nothing and
    // explains why in *error.
    [[nodiscard]] std::optional<Fault> add(const QJsonObject &description, QString *error);
    // The first armed fault for this request, counting the call against it.
    [[nodiscard]] std::optional<Fault> take(const QByteArray &method, const QString &path);
    [[nodiscard]] QJsonArray list() const;
    bool remove(int id);
    void clear();

    // The same JSON with every value of the wrong kind: a list becomes a string, an object
    // keeps its keys but each value changes kind.
    [[nodiscard]] static QJsonValue mistype(const QJsonValue &value);

private:
    QList<Fault> m_faults;
    int m_nextId = 1;
};
