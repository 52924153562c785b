#pragma once

#include <QStringList>
#include <QTemporaryFile>

// Sends the program's log to a file of the test for as long as it lives.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    // Every line written so far, without the line feeds.
    [[nodiscard]] QStringList lines() const;
    [[nodiscard]] bool contains(const QString &line) const { return lines().contains(line); }
    [[nodiscard]] qsizetype count(const QString &line) const { return lines().count(line); }

private:
    QTemporaryFile m_file;
    int m_previous = 1;
};
