#pragma once

#include "Platform/ServicesProvider.h"

// A services entry driven by the test: it calls the handlers as the desktop or a second
// start of the program would, and answers the single-instance claim as told.
class FakeServicesProvider : public ServicesProvider
{
public:
    [[nodiscard]] bool claimSingleInstance() override { return !otherInstanceRuns; }
    [[nodiscard]] bool forwardCommandLine(const QStringList &arguments, QString *) override
    {
        forwarded.append(arguments);
        return otherInstanceRuns;
    }
    [[nodiscard]] bool install(RebrandHandler rebrand, CommandLineHandler commandLine) override
    {
        ++installs;
        m_rebrand = std::move(rebrand);
        m_commandLine = std::move(commandLine);
        return true;
    }

    // A services call; the error text it answered, or nothing.
    std::optional<QString> rebrandText(const std::optional<QString> &text)
    {
        return m_rebrand ? m_rebrand(text) : std::nullopt;
    }
    void handCommandLine(const QStringList &arguments)
    {
        if (m_commandLine)
            m_commandLine(arguments);
    }
    [[nodiscard]] bool isInstalled() const { return static_cast<bool>(m_rebrand); }

    bool otherInstanceRuns = false;
    QList<QStringList> forwarded;
    int installs = 0;

private:
    RebrandHandler m_rebrand;
    CommandLineHandler m_commandLine;
};
