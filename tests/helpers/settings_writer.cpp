// A second process on the shared settings store: writes keys "<prefix>-<n>" as fast as it
// can, for the two-process and killed-while-writing tests.
#include "App/SettingsStore.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3) {
        std::fputs("usage: settings_writer PREFIX COUNT (COUNT 0: until killed)\n", stderr);
        return 2;
    }
    const QString prefix = arguments.at(1);
    const int count = arguments.at(2).toInt();
    SettingsStore &store = SettingsStore::shared();
    std::puts("ready");
    std::fflush(stdout);
    for (int i = 0; count == 0 || i < count; ++i) {
        store.setString(QStringLiteral("%1-%2").arg(prefix).arg(i % 1000),
                        QString(200, QLatin1Char('x')));
        store.setInteger(QStringLiteral("%1-count").arg(prefix), i + 1);
    }
    return store.synchronize() ? 0 : 1;
}
