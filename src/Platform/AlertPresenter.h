#pragma once

#include <QString>
#include <QStringList>

// A modal question or message. The answer is the button's response code: 1000 for the first
// button, 1001 for the second, 1002 for the third; NoAnswer when it was closed without one.
struct Alert
{
    enum class Style { Warning, Informational, Critical };

    QString message;
    QString informativeText;
    Style style = Style::Warning;
    QStringList buttons;
    // A question whose first button destroys something: Enter answers the safe one instead.
    bool destructive = false;
};

class AlertPresenter
{
public:
    static constexpr int FirstButton = 1000;
    static constexpr int SecondButton = 1001;
    static constexpr int ThirdButton = 1002;
    static constexpr int NoAnswer = 0;

    virtual ~AlertPresenter() = default;
    // Runs on the GUI thread and returns when the user answered.
    [[nodiscard]] virtual int runModal(const Alert &alert) = 0;
};
