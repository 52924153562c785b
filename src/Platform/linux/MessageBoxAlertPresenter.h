#pragma once

#include "Platform/AlertPresenter.h"

// Alerts as modal message boxes.
class MessageBoxAlertPresenter : public AlertPresenter
{
public:
    [[nodiscard]] int runModal(const Alert &alert) override;
};
