#pragma once

#include <QWidget>

class UpdateController;

// The update window. Closing it applies the closing rule: a mandatory update that is not
// taken ends the program.
class UpdaterWindowController : public QWidget
{
    Q_OBJECT

public:
    explicit UpdaterWindowController(QWidget *parent = nullptr);

    [[nodiscard]] UpdateController *contentViewController() const { return m_content; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Return and Enter press the highlighted button, as in any dialogue.
    void keyPressEvent(QKeyEvent *event) override;

private:
    UpdateController *m_content;
    bool m_loaded = false;
};
