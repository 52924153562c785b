#pragma once

#include "Platform/SaveDialog.h"

#include <QCoreApplication>
#include <QList>
#include <QMetaObject>
#include <QPointer>

// Records every panel begun and answers it from a script, on the next turn of the event loop
// as a real panel would. Without an answer scripted, the panel stays open until answer().
class ScriptedSaveDialogs
{
public:
    struct Answer
    {
        int response;
        QString path;
    };

    void script(int response, const QString &path = {}) { m_answers.append({response, path}); }
    [[nodiscard]] const QList<SavePanelOptions> &begun() const { return m_begun; }

    // Answers the oldest panel still open.
    void answer(int response, const QString &path = {})
    {
        if (m_open.isEmpty())
            return;
        SaveDialog::Completion completion = m_open.takeFirst();
        completion(response, path);
    }
    [[nodiscard]] qsizetype openCount() const { return m_open.size(); }

    void begin(const SavePanelOptions &options, SaveDialog::Completion completion)
    {
        m_begun.append(options);
        if (m_answers.isEmpty()) {
            m_open.append(std::move(completion));
            return;
        }
        const Answer next = m_answers.takeFirst();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [completion = std::move(completion), next] { completion(next.response, next.path); },
            Qt::QueuedConnection);
    }

private:
    QList<Answer> m_answers;
    QList<SavePanelOptions> m_begun;
    QList<SaveDialog::Completion> m_open;
};

class ScriptedSaveDialog : public SaveDialog
{
public:
    explicit ScriptedSaveDialog(ScriptedSaveDialogs &script)
        : m_script(script)
    {}
    void begin(const SavePanelOptions &options, Completion completion) override
    {
        m_script.begin(options, std::move(completion));
    }

private:
    ScriptedSaveDialogs &m_script;
};
