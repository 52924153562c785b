#include "Utils/AlertManager.h"

#include "Platform/AlertPresenter.h"
#include "Platform/Platform.h"

int AlertManager::showAlert(const QString &message, const QString &informativeText,
                            const QString &first, const QString &second, const QString &third)
{
    const Alert alert{message, informativeText, Alert::Style::Warning, {first, second, third}};
    switch (Platform::current().alerts().runModal(alert)) {
    case AlertPresenter::FirstButton:
        return 1;
    case AlertPresenter::SecondButton:
        return 2;
    default:
        return 0;
    }
}
