#pragma once

#include <QString>

#include <optional>

// Records fatal signals. The handler writes a small report file with async-signal-safe calls
// only, then lets the signal end the program as it would have; the report is sent at the
// next start.
class CrashHandler
{
public:
    CrashHandler() = delete;

    // Installs the handlers for SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT.
    [[nodiscard]] static bool install(const QString &reportDirectory, const QString &release,
                                      QString *error);
    [[nodiscard]] static bool isInstalled();
    // Kept in a fixed buffer so that the handler can write it without allocating.
    static void setUserId(const QString &id);

    [[nodiscard]] static QString defaultReportDirectory();

    struct Report
    {
        int signal = 0;
        QString release;
        QString userId;
        qint64 timestamp = 0; // seconds since the Unix epoch
    };
    [[nodiscard]] static std::optional<Report> parseReport(const QByteArray &text);
    [[nodiscard]] static QString signalName(int signal);
};
