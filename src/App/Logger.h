#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>

#include <atomic>

// The one diagnostic output of the program: each item becomes its own line on standard output.
class Logger
{
public:
    static Logger &shared();

    explicit Logger(QString file);

    // Each item is written with one write(2), so lines of concurrent calls never mix.
    void log(const QVariantList &items) const;

    // Text form of one value: texts as they are, numbers, dates, containers in a readable form.
    [[nodiscard]] static QString describe(const QVariant &value);

    [[nodiscard]] const QString &file() const { return m_file; }
    [[nodiscard]] bool writeToFile() const { return m_writeToFile; }

    // Tests point the log at a file of their own.
    void setOutputDescriptor(int fd) { m_fd.store(fd); }
    [[nodiscard]] int outputDescriptor() const { return m_fd.load(); }

private:
    QString m_file;
    // The file sink is foreseen but off: nothing is ever written to m_file.
    bool m_writeToFile = false;
    std::atomic<int> m_fd{1};
};

// Shorthand used throughout: logLines({"text", value}).
inline void logLines(const QVariantList &items)
{
    Logger::shared().log(items);
}
