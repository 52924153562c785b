#pragma once

#include <QString>

// One entry of a domain picker's list.
struct baseDomain
{
    QString name;
    QString domainId;
};
