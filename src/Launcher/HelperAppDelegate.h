#pragma once

#include <QString>

class Applications;

// The launcher's whole work at login: start the main program, which lies four folders above
// the launcher's own bundle, when the user asked for it and it does not run yet. Holds no state.
class HelperAppDelegate
{
public:
    HelperAppDelegate(Applications &applications, QString bundlePath);

    void applicationDidFinishLaunching();
    void applicationWillTerminate();

    void startMainProgramIfWanted();

    // The path without its last component ("/a/b/" gives "/a").
    [[nodiscard]] static QString deletingLastPathComponent(const QString &path);

private:
    Applications &m_applications;
    QString m_bundlePath;
};
