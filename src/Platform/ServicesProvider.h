#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The desktop's entry for other programs: the services call that hands a text over to be
// rebranded, and the single-instance name through which a second start hands its command
// line to the running program.
class ServicesProvider
{
public:
    // Gets the text handed in (nothing when none came) and answers an error text, or nothing.
    using RebrandHandler = std::function<std::optional<QString>(const std::optional<QString> &)>;
    using CommandLineHandler = std::function<void(const QStringList &)>;

    virtual ~ServicesProvider() = default;

    // Takes the single-instance name; false when another instance holds it.
    [[nodiscard]] virtual bool claimSingleInstance() = 0;
    // Hands the arguments to the instance that holds the name; false when it did not answer.
    [[nodiscard]] virtual bool forwardCommandLine(const QStringList &arguments, QString *error) = 0;
    // Publishes the services call and starts taking handed-over command lines.
    [[nodiscard]] virtual bool install(RebrandHandler rebrand, CommandLineHandler commandLine) = 0;
};
