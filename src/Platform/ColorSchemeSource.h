#pragma once

#include <QObject>

#include <optional>

// What the desktop says about its light or dark look: the "color-scheme" preference of the
// appearance settings (0 no preference, 1 prefers dark, 2 prefers light), and a signal each
// time the preference or the application's palette changes, as both may turn the panel dark.
class ColorSchemeSource : public QObject
{
    Q_OBJECT

public:
    explicit ColorSchemeSource(QObject *parent = nullptr);
    ~ColorSchemeSource() override = default;

    // Nothing while the desktop has not answered, or when it does not tell.
    [[nodiscard]] virtual std::optional<uint> preference() const = 0;

signals:
    void changed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
