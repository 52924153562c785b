#pragma once

#include "Platform/AlertPresenter.h"

#include <QList>

// Answers alerts from a script of response codes and records every alert shown.
class ScriptedAlertPresenter : public AlertPresenter
{
public:
    [[nodiscard]] int runModal(const Alert &alert) override
    {
        m_shown.append(alert);
        return m_answers.isEmpty() ? FirstButton : m_answers.takeFirst();
    }

    void answerWith(int responseCode) { m_answers.append(responseCode); }
    [[nodiscard]] const QList<Alert> &shown() const { return m_shown; }
    void clear()
    {
        m_shown.clear();
        m_answers.clear();
    }

private:
    QList<int> m_answers;
    QList<Alert> m_shown;
};
