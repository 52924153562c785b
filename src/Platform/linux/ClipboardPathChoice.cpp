#include "Platform/linux/ClipboardPathChoice.h"

ClipboardChoice chooseClipboardPath(const DesktopFacts &facts)
{
    ClipboardChoice choice;
    if (!facts.waylandDisplay)
        return choice;
    if (facts.waylandSupportBuilt && (facts.extDataControl || facts.wlrDataControl)) {
        choice.path = ClipboardPath::DataControl;
        // The standard manager where both are offered; the older one stays for compositors
        // that have not moved yet.
        choice.useExtManager = facts.extDataControl;
        return choice;
    }
    const QString user = facts.userQtPlatform.trimmed();
    if (facts.xDisplay && user.startsWith(QLatin1String("xcb"))) {
        // The user chose XWayland already: its clipboard mirror serves us as it is.
        choice.path = ClipboardPath::XWayland;
        return choice;
    }
    if (facts.xDisplay && user.isEmpty()) {
        choice.path = ClipboardPath::XWayland;
        choice.forceXcb = true;
        return choice;
    }
    choice.path = ClipboardPath::None;
    return choice;
}

QString ClipboardChoice::description() const
{
    switch (path) {
    case ClipboardPath::X11:
        return QStringLiteral("clipboard: X11 session, watching the X11 clipboard");
    case ClipboardPath::DataControl:
        return useExtManager ? QStringLiteral("clipboard: Wayland session, watching through "
                                              "ext_data_control_manager_v1")
                             : QStringLiteral("clipboard: Wayland session, watching through "
                                              "zwlr_data_control_manager_v1");
    case ClipboardPath::XWayland:
        return forceXcb ? QStringLiteral("clipboard: Wayland session without data-control, "
                                         "running on XWayland (xcb) to watch its clipboard")
                        : QStringLiteral("clipboard: Wayland session without data-control, "
                                         "QT_QPA_PLATFORM is xcb: watching XWayland's clipboard");
    case ClipboardPath::None:
        break;
    }
    return QStringLiteral("clipboard: Wayland session without data-control or XWayland to use: "
                          "copies cannot be seen");
}
