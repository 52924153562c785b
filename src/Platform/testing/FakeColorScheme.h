#pragma once

#include "Platform/ColorSchemeSource.h"

// A desktop whose colour-scheme preference the test sets; each change is announced as the
// portal's change signal would be.
class FakeColorScheme : public ColorSchemeSource
{
    Q_OBJECT

public:
    using ColorSchemeSource::ColorSchemeSource;

    [[nodiscard]] std::optional<uint> preference() const override { return m_preference; }
    void setPreference(std::optional<uint> scheme)
    {
        m_preference = scheme;
        emit changed();
    }

private:
    std::optional<uint> m_preference;
};
