#pragma once

#include <QString>

// Which way the program sees the clipboard on this desktop.
enum class ClipboardPath {
    // An X11 session: QClipboard on xcb, as always.
    X11,
    // A Wayland session whose compositor offers a data-control manager: our own Wayland
    // connection follows every selection, whatever platform Qt draws on.
    DataControl,
    // A Wayland session without data-control but with XWayland, which mirrors the clipboard:
    // Qt runs on xcb and the X11 clipboard is used.
    XWayland,
    // A Wayland session where no program in the background is told of copies.
    None,
};

// What start-up knows of the desktop before Qt is set up.
struct DesktopFacts
{
    bool waylandDisplay = false;     // WAYLAND_DISPLAY is set
    bool xDisplay = false;           // DISPLAY is set (XWayland on a Wayland session)
    QString userQtPlatform;          // QT_QPA_PLATFORM as the user set it, or empty
    bool extDataControl = false;     // the compositor offers ext_data_control_manager_v1
    bool wlrDataControl = false;     // the compositor offers zwlr_data_control_manager_v1 (v2)
    bool waylandSupportBuilt = true; // this build has the data-control client
};

struct ClipboardChoice
{
    ClipboardPath path = ClipboardPath::X11;
    // With DataControl: which manager to bind.
    bool useExtManager = false;
    // Qt must be started on xcb (set before the application object is built).
    bool forceXcb = false;

    // The log line naming the chosen path.
    [[nodiscard]] QString description() const;
};

// Pure: the choice for these facts.
[[nodiscard]] ClipboardChoice chooseClipboardPath(const DesktopFacts &facts);
