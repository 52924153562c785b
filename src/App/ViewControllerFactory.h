#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// Creates view controllers by identifier, as the layout resources name them. A missing
// identifier is a fatal error at start-up: the program cannot work without its views.
class ViewControllerFactory
{
public:
    using Creator = std::function<std::unique_ptr<QObject>()>;

    ViewControllerFactory() = delete;

    static void registerCreator(const QString &identifier, Creator creator);
    [[nodiscard]] static bool contains(const QString &identifier);

    // Nothing when the identifier is unknown.
    [[nodiscard]] static std::unique_ptr<QObject> tryInstantiate(const QString &identifier);
    // Ends the program with missingMessage() when the identifier is unknown.
    [[nodiscard]] static std::unique_ptr<QObject> instantiate(const QString &identifier);

    template<typename T>
    [[nodiscard]] static std::unique_ptr<T> instantiate(const QString &identifier)
    {
        std::unique_ptr<QObject> object = instantiate(identifier);
        auto *typed = qobject_cast<T *>(object.get());
        if (!typed)
            fail(identifier);
        object.release();
        return std::unique_ptr<T>(typed);
    }

    [[nodiscard]] static QString missingMessage(const QString &identifier);

private:
    [[noreturn]] static void fail(const QString &identifier);
};
