#pragma once

#include <QString>

// The entry of the rebrand pipeline for a copied link.
class LinkHandler
{
public:
    LinkHandler() = delete;

    // Runs on the caller's thread (the clipboard tick's worker thread).
    static void handleCopiedLink(const QString &url);
};
